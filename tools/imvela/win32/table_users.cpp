#include "table_users.h"

// Windows does not tell which processes have a named section mapped.
std::vector<std::string> device_table_users(bool* available) {
    *available = false;
    return {};
}
