// The sample viewer as a user runs it with no camera attached: it opens the emulated camera,
// shows its picture, saves stills in the colour mode chosen and records through its
// commands, and ends promptly when its window is closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/recorded_file.h"
#include "support/screen_probe.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/viewer_process.h"
#include "support/wait.h"

namespace {

namespace fs = std::filesystem;

// Presses "save still" until a new BMP still of `bits` appears (the viewer saves none before
// the first frame of a mode); its bytes, or none when none came.
std::vector<uint8_t> save_still(ViewerProcess& viewer, const fs::path& folder, int bits) {
    std::vector<fs::path> before;
    for (const auto& entry : fs::directory_iterator(folder)) before.push_back(entry.path());
    std::vector<uint8_t> still;
    auto appeared = [&] {
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".bmp" && std::find(before.begin(), before.end(), entry.path()) == before.end()) {
                still = file_bytes(entry.path().string());
                if (still.size() > 28 && still[28] == bits) return true;
            }
        return false;
    };
    if (!wait_until([&] { return viewer.command(kSaveStill) && wait_until(appeared, 1000); })) still.clear();
    return still;
}

// Rows of the screenshot unlike the BMP file (8-bit gray or 24-bit colour, bottom-up).
int rows_unlike(const WindowShot& shot, const std::vector<uint8_t>& bmp) {
    const int32_t width = static_cast<int32_t>(field32(bmp, 18)), height = static_cast<int32_t>(field32(bmp, 22));
    const int bytes = bmp.size() > 28 ? bmp[28] / 8 : 0;
    EXPECT_EQ(shot.width, width);
    EXPECT_EQ(shot.height, height);
    if (shot.width != width || shot.height != height || (bytes != 1 && bytes != 3)) return -1;
    const size_t stride = (static_cast<size_t>(width) * bytes + 3) & ~size_t{3};
    int unlike = 0;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = bmp.data() + field32(bmp, 10) + (height - 1 - y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + x * bytes;
            const uint32_t pixel = bytes == 1 ? p[0] * 0x010101u : p[0] | p[1] << 8 | p[2] << 16;
            if (shot.at(x, y) != pixel) {
                if (unlike++ < 3) ADD_FAILURE() << "row " << y << " column " << x << ": " << std::hex << shot.at(x, y);
                break;
            }
        }
    }
    return unlike;
}

TEST(Viewer, ShowsTheEmulatedCameraSavesRecordsAndCloses) {
    if (!screen_available()) GTEST_SKIP() << "no screen to show windows on";
    ScopedEnvironment noChoice("IMVELA_EMULATOR", nullptr);
    ScopedEnvironment still("IMVELA_EMULATOR_SCENE", "ramp");
    const fs::path folder = fs::temp_directory_path() / unique_test_name();
    fs::create_directories(folder);
    ViewerProcess viewer(IMVELA_VIEWER_FILE, {"--bits", "8", "--output", folder.string(), "--record-seconds", "1"});
    ASSERT_NE(0u, viewer.window());

    // The ramp scene stands still: the picture on the screen is the saved still, in each mode.
    for (ViewerCommand mode : {kShowGray8, kShowColor24}) {
        ASSERT_TRUE(viewer.command(mode));
        const std::vector<uint8_t> bmp = save_still(viewer, folder, mode == kShowGray8 ? 8 : 24);
        ASSERT_FALSE(bmp.empty()) << "no still in mode " << mode;
        const uintptr_t picture = find_child_titled(find_child_titled(viewer.window(), "Picture"), "ActiveMovie Window");
        ASSERT_NE(0u, picture);
        WindowShot shot;
        ASSERT_TRUE(take_window_shot(picture, &shot));
        EXPECT_EQ(0, rows_unlike(shot, bmp)) << "mode " << mode;
    }

    ASSERT_TRUE(viewer.command(kRecord));
    // The header's frame count is written when the recording is finished.
    const std::string avi = (folder / "recording-001.avi").string();
    EXPECT_TRUE(wait_until([&] {
        std::ifstream in(avi, std::ios::binary);
        std::vector<uint8_t> head(64);
        in.read(reinterpret_cast<char*>(head.data()), 64);
        return in && field32(head, 48) > 0 && field32(head, 48) != 0xFFFFFFFFu;
    })) << avi;

    ASSERT_TRUE(close_window_as_user(viewer.window()));
    int status = -1;
    EXPECT_TRUE(viewer.wait_exit(5000, &status));
    EXPECT_EQ(0, status);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

}  // namespace
