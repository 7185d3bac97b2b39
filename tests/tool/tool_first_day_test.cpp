// What a user meets on a first day with the imvela tool: a camera another process holds,
// --json read back by a JSON parser, set and settings import all or none, and the messages
// for wrong input.
#include <nlohmann/json.hpp>
#include <png.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "ImvelaSdk.h"
#include "settings_store.h"
#include "support/child_process.h"
#include "support/recorded_file.h"
#include "support/scratch_store.h"
#include "support/wait.h"
#include "tool_run.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class ToolFirstDay : public ToolTest {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const char* name) const { return (folder / name).string(); }
    const fs::path folder = fs::temp_directory_path() / unique_test_name();
};

}  // namespace

// A camera another process streams from: list, the library and the doctor name the holder;
// every other command refuses in one line, prints no value and changes nothing; once the
// holder is killed its entry stays, stale.
TEST_F(ToolFirstDay, HeldCameraIsNamedAndNothingIsReadOrChanged) {
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    ImvelaDeviceHolder holder{};
    holder.size = sizeof holder;
    uint32_t holder_id = 0;
    // A handle of this process keeps the device-use table (on Windows a section that lives
    // while a process maps it) beyond the holder's end.
    const int32_t keeper = Imvela_Initialize(nullptr);
    {
        ChildProcess child(IMVELA_TOOL_FILE, {"stream", "60"});
        ASSERT_TRUE(child.started());
        holder_id = child.process_number();
        const std::string named = "in use by process " + std::to_string(holder_id) + " (" +
                                  fs::path(IMVELA_TOOL_FILE).filename().string() + ") since ";
        ASSERT_TRUE(wait_until([&] { return contains(run_tool({"list"}).out, named); }, 20000));
        EXPECT_EQ(json::parse(run_tool({"list", "--json"}).out)["cameras"][0]["holder"]["process_id"], holder_id);
        ASSERT_EQ(ImvelaDiag_GetDeviceHolder(0, 0, &holder), 1);
        EXPECT_EQ(holder.in_use, 1);
        EXPECT_EQ(holder.alive, 1);
        EXPECT_EQ(static_cast<uint32_t>(holder.process_id), holder_id);
        EXPECT_TRUE(holder.since >= before && holder.since <= static_cast<int64_t>(std::time(nullptr)));
        EXPECT_EQ(std::string(holder.executable), fs::path(IMVELA_TOOL_FILE).filename().string());
        const ToolRun doctor = run_tool({"doctor"});
        EXPECT_EQ(doctor.status, 1);
        EXPECT_TRUE(contains(doctor.out, "[FAIL] camera 0 is " + named)) << doctor.out;
        const std::vector<std::vector<std::string>> commands = {
            {"info"}, {"get", "exposure-us"}, {"register", "0x2E"}, {"set", "gamma", "60"},
            {"snapshot", path("s.png")}, {"stream", "1"}, {"record", "1", path("r.avi")}, {"trigger", "1"},
            {"settings", "export", path("e.txt")}, {"settings", "reset"}};
        for (const auto& command : commands) {
            const ToolRun run = run_tool(command);
            EXPECT_EQ(run.status, 1) << command[0];
            EXPECT_EQ(run.out, "") << command[0];
            EXPECT_EQ(run.err.rfind("imvela: camera 0 is in use by process ", 0), 0u) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
    }
    // Killed without releasing the camera: a stale entry, its process named but not alive.
    ASSERT_EQ(ImvelaDiag_GetDeviceHolder(0, 0, &holder), 1);
    EXPECT_EQ(holder.in_use, 1);
    EXPECT_EQ(holder.alive, 0);
    EXPECT_EQ(static_cast<uint32_t>(holder.process_id), holder_id);
    Imvela_Release(keeper);
    EXPECT_TRUE(contains(run_tool({"get", "gamma"}).out, "gamma              = 100 "));
}

TEST_F(ToolFirstDay, JsonOutputParsesWithItsDocumentedKeys) {
    const json list = json::parse(run_tool({"list", "--json"}).out);
    EXPECT_EQ(list["cameras"][0]["number"], 0);
    EXPECT_EQ(list["cameras"][0]["driver"], "emulated camera");
    EXPECT_TRUE(list["cameras"][0]["holder"].is_null());
    ASSERT_EQ(run_tool({"set", "gamma", "110", "brightness", "-51"}).status, 0);
    const json info = json::parse(run_tool({"info", "--json"}).out);
    EXPECT_EQ(info["sensor"]["width"], 1292);
    EXPECT_EQ(info["capture_window"]["height"], 1024);
    EXPECT_DOUBLE_EQ(info["gamma"]["exponent"].get<double>(), 2.0);
    EXPECT_DOUBLE_EQ(info["brightness"]["factor"].get<double>(), 0.8);
    const json get = json::parse(run_tool({"get", "gamma", "capture-window", "--json"}).out);
    EXPECT_EQ(get["settings"]["gamma"], 110);
    EXPECT_EQ(get["settings"]["capture-window"], json::array({1292, 0, 1280, 1040, 0, 1024}));
    const json show = json::parse(run_tool({"settings", "show", "--json"}).out);
    EXPECT_EQ(show["settings"]["brightness"], -51);
    EXPECT_EQ(show["handle"]["color-mode"], 24);
    const json doctor = json::parse(run_tool({"doctor", "--json"}).out);
    EXPECT_EQ(doctor["problems"], 0) << doctor.dump();
    EXPECT_EQ(doctor["checks"][0]["status"], "ok");
    std::istringstream lines(run_tool({"stream", "1", "--json"}).out);
    std::vector<json> stream;
    for (std::string line; std::getline(lines, line);) stream.push_back(json::parse(line));
    ASSERT_GE(stream.size(), 2u);
    EXPECT_TRUE(stream.back()["final"].get<bool>());
    EXPECT_GT(stream.back()["delivered"].get<int>(), 0);
    const json selftest = json::parse(run_tool({"selftest", "--pipeline", "--json"}).out);
    EXPECT_TRUE(selftest["passed"].get<bool>()) << selftest.dump();
    ASSERT_FALSE(selftest["checks"].empty());
    EXPECT_EQ(selftest["checks"][0]["part"], "pipeline");
    EXPECT_EQ(selftest["checks"][0]["check"], "baseline 1 thread");
    EXPECT_NE(selftest["checks"][0]["figures"].get<std::string>().find(" outputs as built"), std::string::npos);
}

// The region of interest of one run: the file has its size, and the next run the full window.
TEST_F(ToolFirstDay, WindowOptionCapturesTheRegion) {
    ASSERT_EQ(run_tool({"snapshot", path("roi.png"), "--window", "640", "480", "326", "280"}).status, 0);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path("roi.png").c_str()));
    png_image_free(&image);
    EXPECT_EQ(image.width, 640u);
    EXPECT_EQ(image.height, 480u);
    EXPECT_EQ(json::parse(run_tool({"info", "--json"}).out)["capture_window"]["width"], 1280);
}

// One refused value leaves every other one of the command as it was.
TEST_F(ToolFirstDay, SetAppliesAllOrNone) {
    ASSERT_EQ(run_tool({"set", "brightness", "5", "exposure", "700"}).status, 0);
    const ToolRun refused = run_tool({"set", "brightness", "20", "exposure-us", "30000", "contrast", "999"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "-127 to 127; nothing was changed")) << refused.err;
    const std::string after = run_tool({"get", "brightness", "exposure"}).out;
    EXPECT_TRUE(contains(after, "brightness         = 5 ")) << after;
    EXPECT_TRUE(contains(after, "exposure           = 700 ")) << after;
}

// Exported settings come back whole after a reset; a file with one wrong line changes nothing.
TEST_F(ToolFirstDay, SettingsExportImportRoundTrip) {
    ASSERT_EQ(run_tool({"set", "gamma", "150", "mirror-v", "1", "gray-offset-b", "-7"}).status, 0);
    ASSERT_EQ(run_tool({"settings", "export", path("a.txt")}).status, 0);
    const std::string exported = file_text(path("a.txt"));
    std::string expected = exported;
    expected.replace(expected.find("size = 0"), 8, "size = 1");
    std::ofstream(path("b.txt")) << expected << "size-01 = 1292 1040 640 480 8 8 4\n";
    ASSERT_EQ(run_tool({"settings", "reset"}).status, 0);
    ASSERT_EQ(run_tool({"settings", "import", path("b.txt")}).status, 0);
    ASSERT_EQ(run_tool({"settings", "export", path("c.txt")}).status, 0);
    expected.insert(expected.find("# analog"), "size-01 = 1292 1040 640 480 8 8 4\n");
    EXPECT_EQ(file_text(path("c.txt")), expected);
    EXPECT_TRUE(contains(run_tool({"get", "capture-window"}).out, "1292 8 640 1040 8 480"));

    std::ofstream(path("bad.txt")) << "gamma = 90\nbrightness = 999\n";
    EXPECT_EQ(run_tool({"settings", "import", path("bad.txt")}).status, 1);
    EXPECT_TRUE(contains(run_tool({"get", "gamma"}).out, "= 150 "));
}

// A stored window outside the sensor is found by the doctor and mended by settings reset.
TEST_F(ToolFirstDay, DoctorFindsAStoredWindowOutsideTheSensor) {
    ASSERT_EQ(run_tool({"settings", "reset"}).status, 0);
    ASSERT_TRUE(write_stored_key(0, "Size_00", {{"EH", 5000}}));
    const ToolRun doctor = run_tool({"doctor"});
    EXPECT_EQ(doctor.status, 1);
    EXPECT_TRUE(contains(doctor.out, "[FAIL] the stored capture window of camera 0 (Size_00")) << doctor.out;
    ASSERT_EQ(run_tool({"settings", "reset"}).status, 0);
    EXPECT_EQ(run_tool({"doctor"}).status, 0);
}

TEST_F(ToolFirstDay, WrongInputSaysWhatIsWrong) {
    std::ofstream(path("bad.bin"), std::ios::binary) << "abc";
    const struct {
        std::vector<std::string> words;
        int status;
        const char* message;
    } cases[] = {
        {{"snapshot", path("no/x.png")}, 1, "cannot write "},
        {{"record", "2", path("no/x.avi")}, 1, "cannot write "},
        {{"record", "2", path("x.mp4")}, 2, "uncompressed AVI file"},
        {{"set", "sub-sample", "3"}, 2, "must be 0: full resolution"},
        {{"set", "wait-time", "-1"}, 2, "must be 0 to 2147483647 milliseconds"},
        {{"set", "mirror-h", "2"}, 2, "must be 0 (off) or 1 (on), not 2"},
        {{"set", "gamma", "abc"}, 2, "\"abc\" is not a whole number (0 to 200"},
        {{"set", "exposure-us", "0"}, 1, "this camera takes 32 to 1031372 microseconds"},
        {{"defects", path("bad.bin")}, 1, "is not a defect-pixel list: 3 bytes"},
        {{"stream", "1", "-m", "8"}, 2, "unknown option -m (options are long: --mode)"},
        {{"get", "gama"}, 2, "imvela get: no setting \"gama\"; did you mean gamma?"},
        {{"snapshot", "--window", "5000", "1040", "0", "0"}, 2, "not inside the 1292 x 1040 sensor"},
    };
    for (const auto& c : cases) {
        const ToolRun run = run_tool(c.words);
        EXPECT_EQ(run.status, c.status) << c.words[0] << " " << c.words[1];
        EXPECT_EQ(run.err.rfind(c.message, 0) == 0 || contains(run.err.substr(0, run.err.find('\n')), c.message), true)
            << run.err;
        EXPECT_EQ(run.out, "") << run.out;
    }
    ScopedEnvironment off("IMVELA_EMULATOR", "off");
    EXPECT_TRUE(contains(run_tool({"list"}).err, "give device numbers 0 to 31 separated by commas"));
}
