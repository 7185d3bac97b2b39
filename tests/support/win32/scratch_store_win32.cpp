#include <windows.h>

#include <atomic>

#include "support/scratch_store.h"

std::string unique_test_name() {
    static std::atomic<int> counter{0};
    return "ImvelaTest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount()) + "_" +
           std::to_string(counter.fetch_add(1));
}

void remove_test_shared_memory(const std::string&) {}

namespace {

bool delete_tree(HKEY parent, const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char child[256];
        DWORD length = sizeof child;
        while (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            if (!delete_tree(key, child)) break;
            length = sizeof child;
        }
        RegCloseKey(key);
    }
    return RegDeleteKeyA(parent, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

ScratchSettings::ScratchSettings() { root_ = "Software\\ImvelaTests\\" + unique_test_name(); }

ScratchSettings::~ScratchSettings() { delete_tree(HKEY_CURRENT_USER, root_); }
