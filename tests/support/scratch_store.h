#pragma once
// Private persistent state for one test: a settings tree and names that no other test (or
// other run) uses, removed again afterwards.
#include <string>

// A name unique to this process and call, e.g. "ImvelaTest_1234_7".
std::string unique_test_name();

// Removes the named shared memory a test made (POSIX: it outlives the process; on Windows a
// section goes with its last handle, so nothing is left to remove).
void remove_test_shared_memory(const std::string& name);

// A settings tree of its own. POSIX: a fresh temporary folder set as XDG_CONFIG_HOME (the
// earlier value is restored afterwards), root the library's default key. Windows: a unique
// key below HKEY_CURRENT_USER\Software\ImvelaTests as root. Deleted in the destructor.
class ScratchSettings {
public:
    ScratchSettings();
    ~ScratchSettings();
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;

    // The root to give CameraSettings.
    const std::string& root() const { return root_; }
    // POSIX: the folder that holds the root key's files; empty on Windows.
    const std::string& root_folder() const { return root_folder_; }
    // POSIX: the temporary configuration folder; empty on Windows.
    const std::string& config_home() const { return config_home_; }

private:
    std::string root_;
    std::string root_folder_;
    std::string config_home_;
    std::string saved_config_home_;
    bool had_config_home_ = false;
};
