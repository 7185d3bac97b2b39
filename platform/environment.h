#pragma once
#include <string>

namespace imvela::platform {

// The process environment variable's value; false when it is not set.
bool environment_variable(const char* name, std::string* value);

}  // namespace imvela::platform
