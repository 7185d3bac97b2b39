// The preview window as an application sees it, on the emulated camera: made by the capture
// exports, painted with every frame (checked by a screenshot against the delivered image),
// gone after Imvela_Close. How each colour mode and client size is painted is the preview
// window's own test (PreviewWindowTest).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "support/screen_probe.h"
#include "support/test_environment.h"
#include "support/test_window.h"
#include "support/wait.h"

namespace {

constexpr int32_t kWidth = 1280, kHeight = 1024;
constexpr uint32_t kFrameMessage = 0x8002;

class PreviewExports : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cameras_.reset(new ScopedEnvironment("IMVELA_EMULATOR", "0"));
        handle_ = Imvela_Initialize(nullptr);
    }
    static void TearDownTestSuite() {
        Imvela_Release(handle_);
        cameras_.reset();
    }
    void SetUp() override {
        if (!screen_available()) GTEST_SKIP() << "no screen to show windows on";
        ASSERT_NE(0, handle_);
        drain_codes([this] { return Imvela_GetLastError(handle_); });
    }
    void TearDown() override {
        Imvela_Close(handle_);
        Imvela_SetPreviewWindow(handle_, nullptr, 0, 0, kWidth, kHeight);
        if (parent_) destroy_parent_window(parent_);
    }

    // Starts the preview in a colour mode and scene with frames announced to the test window.
    void start(int32_t bits, const char* scene) {
        ScopedEnvironment sceneVariable("IMVELA_EMULATOR_SCENE", scene);
        static char names[32][256];
        ASSERT_EQ(1, Imvela_EnumDevice(handle_, names));  // the emulator takes the scene here
        ASSERT_EQ(1, Imvela_SetColorMode(handle_, bits));
        ASSERT_EQ(1, Imvela_CallBackPreview(handle_, events_.handle(), nullptr, 0, 0));
    }
    // Waits until `count` more frames were processed (and painted).
    void wait_frames(int count) {
        int frames = 0;
        EXPECT_TRUE(wait_until([&] {
            PostedMessage m;
            while (frames < count && events_.next(&m, 0)) frames += m.message == kFrameMessage && m.wparam != 0;
            return frames == count;
        })) << frames << " of " << count << " frames";
    }
    // Rows of the window's screenshot that differ from the last processed 8-bit frame,
    // whose memory row 0 (the top row of the picture) belongs at the top.
    int rows_unlike_the_last_frame(const WindowShot& shot) {
        EXPECT_EQ(kWidth, shot.width);
        EXPECT_EQ(kHeight, shot.height);
        if (shot.width != kWidth || shot.height != kHeight) return -1;
        const int32_t stride = (kWidth + 3) & ~3;
        std::vector<uint8_t> image(static_cast<size_t>(stride) * kHeight);
        EXPECT_EQ(1, Imvela_GetImage(handle_, image.data(), static_cast<int32_t>(image.size()), 1));
        int wrong = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            int32_t x = 0;
            const uint8_t* row = image.data() + static_cast<size_t>(y) * stride;
            while (x < kWidth && shot.at(x, y) == row[x] * 0x010101u) ++x;
            if (x < kWidth && wrong++ < 3)
                ADD_FAILURE() << "row " << y << " differs from column " << x << ": " << std::hex << shot.at(x, y)
                              << " instead of " << row[x] * 0x010101u;
        }
        return wrong;
    }

    static std::unique_ptr<ScopedEnvironment> cameras_;
    static int32_t handle_;
    TestWindow events_;
    uintptr_t parent_ = 0;
};

std::unique_ptr<ScopedEnvironment> PreviewExports::cameras_;
int32_t PreviewExports::handle_ = 0;

TEST_F(PreviewExports, DefaultPreviewShowsTheImageUprightInACentredWindow) {
    start(8, "ramp");
    wait_frames(3);
    const uintptr_t window = find_window_titled("Active Window");
    ASSERT_NE(0u, window);
    WindowFacts facts;
    ASSERT_TRUE(describe_window(window, &facts));
    EXPECT_EQ(kWidth, facts.client_width);
    EXPECT_EQ(kHeight, facts.client_height);
    EXPECT_EQ(std::max(0, (screen_width() - facts.outer_width) / 2), facts.outer_x);
    // The last frame stays in the window once the preview stops.
    ASSERT_EQ(1, Imvela_StopPreview(handle_));
    WindowShot shot;
    ASSERT_TRUE(take_window_shot(window, &shot));
    EXPECT_EQ(0, rows_unlike_the_last_frame(shot));

    ASSERT_EQ(1, Imvela_Close(handle_));
    EXPECT_FALSE(window_exists(window));
    EXPECT_FALSE(window_class_registered(facts.class_name.c_str()));
}

TEST_F(PreviewExports, ChildWindowShowsTheImageInsideTheApplicationsWindow) {
    parent_ = create_parent_window(700, 600);
    ASSERT_EQ(1, Imvela_SetPreviewWindow(handle_, reinterpret_cast<HWND>(parent_), 10, 20, kWidth / 4, kHeight / 4));
    start(24, "ramp");
    wait_frames(3);
    ASSERT_EQ(1, Imvela_StopPreview(handle_));
    const uintptr_t child = find_child_titled(parent_, "ActiveMovie Window");
    ASSERT_NE(0u, child);
    WindowFacts facts;
    ASSERT_TRUE(describe_window(child, &facts));
    EXPECT_EQ(10, facts.client_x);
    EXPECT_EQ(20, facts.client_y);
    EXPECT_EQ(kWidth / 4, facts.client_width);
    EXPECT_EQ(0, count_windows_titled("Active Window"));
}

TEST_F(PreviewExports, WindowlessPreviewProcessesFramesWithoutAnyWindow) {
    ASSERT_EQ(1, Imvela_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0));
    start(24, "bars");
    wait_frames(3);
    EXPECT_EQ(0, count_windows_titled("Active Window"));
    EXPECT_EQ(0, Imvela_GetLastError(handle_));
}

TEST_F(PreviewExports, ClosingTheWindowByHandLeavesTheCaptureRunning) {
    start(8, "bars");
    wait_frames(2);
    ASSERT_TRUE(close_window_as_user(find_window_titled("Active Window")));
    wait_frames(3);
    EXPECT_EQ(1, Imvela_Close(handle_));
    EXPECT_EQ(0, count_windows_titled("Active Window"));
}

TEST_F(PreviewExports, RepeatedPreviewsAndClosesLeaveNothingBehind) {
    std::vector<std::string> classes;
    auto cycle = [&] {
        start(24, "ramp");
        wait_frames(1);
        WindowFacts facts;
        ASSERT_TRUE(describe_window(find_window_titled("Active Window"), &facts));
        classes.push_back(facts.class_name);
        ASSERT_EQ(1, Imvela_Close(handle_));
    };
    cycle();  // first use may set up lasting state
    const int64_t before = process_resource_count();
    for (int i = 0; i < 4; ++i) cycle();
    EXPECT_EQ(before, process_resource_count());
    EXPECT_EQ(0, count_windows_titled("Active Window"));
    for (const std::string& name : classes) EXPECT_FALSE(window_class_registered(name.c_str())) << name;
}

}  // namespace
