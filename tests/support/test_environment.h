#pragma once
// Environment variables for the emulator's selection, set the way the library reads them.
#include <string>

// Sets name to value; a null value removes the variable.
void set_test_environment(const char* name, const char* value);
// The value, and whether the variable is set.
bool get_test_environment(const char* name, std::string* value);

// Sets a variable for one scope and restores what was there before.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        had_ = get_test_environment(name, &old_);
        set_test_environment(name, value);
    }
    ~ScopedEnvironment() { set_test_environment(name_.c_str(), had_ ? old_.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};
