#include "platform/environment.h"

#include <stdlib.h>

namespace imvela::platform {

bool environment_variable(const char* name, std::string* value) {
    const char* text = getenv(name);
    if (!text) return false;
    *value = text;
    return true;
}

}  // namespace imvela::platform
