// The debug log: its settings, and the lines an injected transfer failure leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "ImvelaSdk.h"
#include "platform/debug_log.h"
#include "support/recorded_file.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/wait.h"

namespace {

namespace fs = std::filesystem;
using imvela::debug_log::Category;
using imvela::debug_log::configure;
using imvela::debug_log::enabled;
using imvela::debug_log::Level;

class DebugLog : public ::testing::Test {
protected:
    void TearDown() override {
        configure(nullptr, nullptr);
        fs::remove(path);
    }
    std::string text() const { return file_text(path); }
    const std::string path = (fs::temp_directory_path() / (unique_test_name() + ".log")).string();
};

}  // namespace

TEST_F(DebugLog, SettingsNameCategoriesAndTheirMostDetailedLevel) {
    struct {
        const char* spec;
        bool taken;
        Category category;
        Level level;
        bool on;
    } const cases[] = {
        {"device", true, Category::device, Level::debug, true},
        {"device:warn", true, Category::device, Level::info, false},
        {"device:warn", true, Category::device, Level::warn, true},
        {"device:warn", true, Category::capture, Level::error, false},
        {"all:error,files:debug", true, Category::files, Level::debug, true},
        {"all:error,files:debug", true, Category::preview, Level::warn, false},
        {"camera", false, Category::device, Level::error, false},  // unknown: the log stays off
        {"device:loud", false, Category::device, Level::error, false},
    };
    for (const auto& c : cases) {
        configure(nullptr, nullptr);
        EXPECT_EQ(configure(c.spec, nullptr), c.taken) << c.spec;
        EXPECT_EQ(enabled(c.category, c.level), c.on) << c.spec;
    }
}

TEST_F(DebugLog, AFailedTransferIsLoggedWithItsBytesAndTheRecordedCode) {
    ScopedEnvironment camera("IMVELA_EMULATOR", "0");
    ScopedEnvironment fps("IMVELA_EMULATOR_FPS", "0");
    ASSERT_TRUE(configure("device:error,capture:error", path.c_str()));
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_EQ(Imvela_StartPreview(h), 1);
    ASSERT_EQ(ImvelaEmu_InjectFault(0, IMVELA_EMU_FAULT_FAILED_REQUEST, 1), 1);
    EXPECT_TRUE(wait_until([&] { return Imvela_GetLastError(h) == ERR_TIMEOUT; }));
    Imvela_Release(h);
    configure(nullptr, nullptr);
    const std::string log = text();
    const std::regex line_start(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z \[\d+:\d+\] )");
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\] device error: stream: transfer of \d+ bytes failed after )")))
        << log;
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\] capture error: camera 0: error 13 ERR_TIMEOUT recorded)")))
        << log;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(std::regex_search(line, line_start, std::regex_constants::match_continuous)) << line;
}
