#include <ftw.h>
#include <sys/mman.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <stdexcept>

#include "support/scratch_store.h"

std::string unique_test_name() {
    static std::atomic<int> counter{0};
    return "ImvelaTest_" + std::to_string(getpid()) + "_" + std::to_string(counter.fetch_add(1));
}

// The library keeps one object per user, "/NAME.uUID".
void remove_test_shared_memory(const std::string& name) {
    shm_unlink(("/" + name + ".u" + std::to_string(static_cast<unsigned long>(geteuid()))).c_str());
}

namespace {

int remove_entry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

}  // namespace

ScratchSettings::ScratchSettings() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/imvela-settings-XXXXXX";
    if (!mkdtemp(&pattern[0])) throw std::runtime_error("mkdtemp failed");
    config_home_ = pattern;
    if (const char* old = getenv("XDG_CONFIG_HOME")) {
        had_config_home_ = true;
        saved_config_home_ = old;
    }
    setenv("XDG_CONFIG_HOME", config_home_.c_str(), 1);
    root_ = "Software\\Orvane\\ImvelaM52ZKRSdk";
    root_folder_ = config_home_ + "/Orvane/ImvelaM52ZKRSdk";
}

ScratchSettings::~ScratchSettings() {
    nftw(config_home_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    if (had_config_home_) setenv("XDG_CONFIG_HOME", saved_config_home_.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}
