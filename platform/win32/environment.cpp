#include "platform/environment.h"

#include <windows.h>

namespace imvela::platform {

bool environment_variable(const char* name, std::string* value) {
    char small[256];
    DWORD n = GetEnvironmentVariableA(name, small, sizeof small);
    if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        value->clear();
        return true;
    }
    if (n < sizeof small) {
        value->assign(small, n);
        return true;
    }
    std::string big(n, '\0');
    n = GetEnvironmentVariableA(name, &big[0], static_cast<DWORD>(big.size()));
    if (n == 0 || n >= big.size()) return false;
    big.resize(n);
    *value = big;
    return true;
}

}  // namespace imvela::platform
