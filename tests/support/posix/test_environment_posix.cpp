#include <stdlib.h>

#include "support/test_environment.h"

void set_test_environment(const char* name, const char* value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

bool get_test_environment(const char* name, std::string* value) {
    const char* v = getenv(name);
    if (!v) return false;
    *value = v;
    return true;
}
