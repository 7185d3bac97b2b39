#pragma once
// The screen belongs to one window test at a time, across processes: windows of parallel
// tests would cover each other in screenshots and in window counts.

// Takes the screen until the running test ends: tries `try_take` (the platform's lock,
// without waiting) for up to two minutes; `give_back` releases it after the test. True
// when the screen is this test's.
bool claim_screen_for_this_test(bool (*try_take)(), void (*give_back)());
