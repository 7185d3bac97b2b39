#include <cstdlib>

#include "environment_value.h"

std::string environment_value(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}
