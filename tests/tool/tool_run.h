#pragma once
// Runs the imvela tool's commands in the test process, against the emulated camera, and keeps
// what they printed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "support/test_environment.h"

struct ToolRun {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline ToolRun run_tool(std::vector<std::string> words) {
    words.insert(words.begin(), "imvela");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    ToolRun run;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    run.status = run_tool(static_cast<int>(argv.size()), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    run.out = testing::internal::GetCapturedStdout();
    run.err = testing::internal::GetCapturedStderr();
    return run;
}

// One emulated camera at device 0, on Windows too (where the driver is the default).
class ToolTest : public ::testing::Test {
protected:
    ScopedEnvironment camera{"IMVELA_EMULATOR", "0"};
};
