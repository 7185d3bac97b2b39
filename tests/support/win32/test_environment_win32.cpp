#include <windows.h>

#include "support/test_environment.h"

void set_test_environment(const char* name, const char* value) { SetEnvironmentVariableA(name, value); }

bool get_test_environment(const char* name, std::string* value) {
    char buffer[4096];
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return false;
    value->assign(buffer, n);
    return true;
}
