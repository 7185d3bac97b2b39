// The preview window as an application sees it, on the emulated camera: made by the capture
// exports, painted with every frame (checked by screenshots against the delivered image),
// gone after Imvela_Close.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "support/screen_probe.h"
#include "support/test_environment.h"
#include "support/test_window.h"

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
        while (Imvela_GetLastError(handle_) != 0) {
        }
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
        PostedMessage m;
        int frames = 0;
        while (frames < count && events_.next(&m, 10000)) frames += m.message == kFrameMessage && m.wparam != 0;
        ASSERT_EQ(count, frames);
    }
    // The last processed frame in the buffer's own row order (memory row 0, the top row of
    // the picture, first), as 0xRRGGBB per pixel.
    std::vector<uint32_t> last_image(int32_t bits) {
        const int32_t stride = ((bits / 8) * kWidth + 3) & ~3;
        std::vector<uint8_t> raw(static_cast<size_t>(stride) * kHeight);
        std::vector<uint32_t> out(static_cast<size_t>(kWidth) * kHeight);
        EXPECT_EQ(1, Imvela_GetImage(handle_, raw.data(), static_cast<int32_t>(raw.size()), 1));
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                const uint8_t* p = raw.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * (bits / 8);
                uint32_t v;
                if (bits == 8) {
                    v = p[0] * 0x010101u;
                } else if (bits == 16) {
                    uint16_t w;
                    std::memcpy(&w, p, 2);
                    v = ((w >> 4) & 0xFF) * 0x010101u;
                } else {
                    v = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
                }
                out[static_cast<size_t>(y) * kWidth + x] = v;
            }
        return out;
    }
    // Rows of the screenshot that differ from the image sampled at (column(x), row(y)).
    template <typename Column, typename Row>
    int wrong_rows(const WindowShot& shot, const std::vector<uint32_t>& image, Column column, Row row) {
        int wrong = 0;
        for (int32_t y = 0; y < shot.height; ++y) {
            bool same = true;
            for (int32_t x = 0; x < shot.width && same; ++x)
                same = shot.at(x, y) == image[static_cast<size_t>(row(y)) * kWidth + column(x)];
            if (!same && wrong++ < 3) {
                int32_t x = 0;
                while (shot.at(x, y) == image[static_cast<size_t>(row(y)) * kWidth + column(x)]) ++x;
                ADD_FAILURE() << "row " << y << " differs from column " << x << ": " << std::hex << shot.at(x, y)
                              << " instead of " << image[static_cast<size_t>(row(y)) * kWidth + column(x)];
            }
        }
        return wrong;
    }
    int wrong_rows_at_own_size(const WindowShot& shot, const std::vector<uint32_t>& image) {
        EXPECT_EQ(kWidth, shot.width);
        EXPECT_EQ(kHeight, shot.height);
        if (shot.width != kWidth || shot.height != kHeight) return -1;
        return wrong_rows(shot, image, [](int32_t x) { return x; }, [](int32_t y) { return y; });
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
    EXPECT_EQ(0u, facts.class_name.rfind("VideoRenderer_", 0)) << facts.class_name;
    // The last frame stays in the window once the preview stops.
    ASSERT_EQ(1, Imvela_StopPreview(handle_));
    WindowShot shot;
    ASSERT_TRUE(take_window_shot(window, &shot));
    EXPECT_EQ(0, wrong_rows_at_own_size(shot, last_image(8)));
    // The ramp's first sensor rows ((X + 2Y) mod 256) at the top of the window.
    for (int32_t y = 0; y < 4; ++y) EXPECT_EQ(uint32_t(2 * y) * 0x010101u, shot.at(0, y)) << y;

    ASSERT_EQ(1, Imvela_Close(handle_));
    EXPECT_FALSE(window_exists(window));
    EXPECT_FALSE(window_class_registered(facts.class_name.c_str()));
}

TEST_F(PreviewExports, ColourBarsAtTheImagesSizeAndAfterTheUserResizesTheWindow) {
    start(24, "bars");
    wait_frames(2);
    const uintptr_t window = find_window_titled("Active Window");
    ASSERT_TRUE(resize_window_client(window, kWidth / 2, kHeight / 2));
    wait_frames(3);
    ASSERT_EQ(1, Imvela_StopPreview(handle_));
    WindowShot shot;
    ASSERT_TRUE(take_window_shot(window, &shot));
    ASSERT_EQ(kWidth / 2, shot.width);
    ASSERT_EQ(kHeight / 2, shot.height);
    // Every second column from the first, every second row from the last.
    EXPECT_EQ(0, wrong_rows(shot, last_image(24), [](int32_t x) { return 2 * x; },
                            [](int32_t y) { return 2 * y + 1; }));

    ASSERT_TRUE(resize_window_client(window, kWidth, kHeight));
    ASSERT_EQ(1, Imvela_StartPreview(handle_));
    wait_frames(3);
    ASSERT_EQ(1, Imvela_StopPreview(handle_));
    ASSERT_TRUE(take_window_shot(window, &shot));
    EXPECT_EQ(0, wrong_rows_at_own_size(shot, last_image(24)));
}

TEST_F(PreviewExports, SixteenBitGrayIsShownByItsUpperEightBits) {
    start(16, "ramp");
    wait_frames(3);
    ASSERT_EQ(1, Imvela_StopPreview(handle_));
    WindowShot shot;
    ASSERT_TRUE(take_window_shot(find_window_titled("Active Window"), &shot));
    EXPECT_EQ(0, wrong_rows_at_own_size(shot, last_image(16)));
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
    WindowShot shot;
    ASSERT_TRUE(take_window_shot(child, &shot));
    ASSERT_EQ(kWidth / 4, shot.width);
    EXPECT_EQ(0, wrong_rows(shot, last_image(24), [](int32_t x) { return 4 * x; },
                            [](int32_t y) { return 4 * y + 3; }));
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
