#pragma once
// imvela soak: the long-running robustness run (not part of the test suites).
int soak(int argc, char** argv);
