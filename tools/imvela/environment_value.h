#pragma once
// An environment variable as the library reads it (on Windows the process environment, which
// the C runtime's copy does not follow); empty when unset.
#include <string>

std::string environment_value(const char* name);
