#pragma once
// The calling thread's last system error, for the debug log: "errno 2 (No such file or
// directory)", "system error 5 (Access is denied.)". Read it right after the failing call.
#include <string>

namespace imvela::platform {

std::string system_error_text();

}  // namespace imvela::platform
