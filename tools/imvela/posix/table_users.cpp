#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "environment_value.h"
#include "table_users.h"

// The library maps the table as the shared memory object "/NAME.uUID" (NAME from
// IMVELA_SHM_NAME, default ORVANE_USBCAMERA) for as long as a camera handle lives.
std::vector<std::string> device_table_users(bool* available) {
    std::string name = environment_value("IMVELA_SHM_NAME");
    if (name.empty()) name = "ORVANE_USBCAMERA";
    if (name[0] == '/') name.erase(0, 1);
    const std::string object = "/dev/shm/" + name + ".u" + std::to_string(getuid());
    std::vector<std::string> users;
    DIR* proc = opendir("/proc");
    *available = proc != nullptr;
    if (!proc) return users;
    const long self = static_cast<long>(getpid());
    while (dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        const std::string dir = std::string("/proc/") + entry->d_name;
        std::ifstream maps(dir + "/maps");
        bool maps_table = false;
        for (std::string text; !maps_table && std::getline(maps, text);) {
            const size_t at = text.find(object);
            maps_table = at != std::string::npos && (at + object.size() == text.size() || text[at + object.size()] == ' ');
        }
        if (!maps_table) continue;
        std::string command;
        std::getline(std::ifstream(dir + "/comm"), command);
        users.push_back(std::to_string(pid) + " (" + command + ")");
    }
    closedir(proc);
    return users;
}
