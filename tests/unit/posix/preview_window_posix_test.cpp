// X11 specifics of the preview window: no display, and repainting after the window's
// contents were lost.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/screen_probe.h"
#include "support/test_environment.h"
#include "imaging/image_set.h"
#include "preview/preview_window.h"

namespace imvela {
namespace {

TEST(PreviewWindowX11, WithoutADisplayNoWindowIsCreated) {
    PreviewWindow window;
    ImageSet images;
    window.place(nullptr, 0, 0, 64, 48);
    ScopedEnvironment noDisplay("DISPLAY", nullptr);
    EXPECT_FALSE(window.open(64, 48, 0));
    EXPECT_EQ(0u, window.native_window());
    EXPECT_FALSE(window.ready());
    window.paint(images, 0);
}

// Unmapping and mapping the window loses its contents (Xvfb keeps no backing store); the
// library paints the last picture again on Expose, without a new frame.
TEST(PreviewWindowX11, LostContentsArePaintedAgainFromTheLastPicture) {
    if (!screen_available()) GTEST_SKIP() << "no display";
    PreviewWindow window;
    ImageSet images;
    window.place(nullptr, 0, 0, 64, 48);
    CImageBuffer& raw = images[kRaw8];
    ASSERT_EQ(1, raw.Create(64, 48, 8));
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x) raw.bits()[y * raw.stride() + x] = static_cast<uint8_t>(200 + y % 50);
    ASSERT_TRUE(window.open(64, 48, 0));
    window.paint(images, 0);
    const uintptr_t native = window.native_window();

    ASSERT_TRUE(lose_window_contents(native));

    WindowShot shot;
    bool repainted = false;
    for (int i = 0; i < 300 && !repainted; ++i) {
        ASSERT_TRUE(take_window_shot(native, &shot));
        repainted = shot.at(0, 0) == 0xC8C8C8u && shot.at(63, 47) == 0xF7F7F7u;  // rows 0 and 47
        if (!repainted) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(repainted) << std::hex << shot.at(0, 0) << " " << shot.at(63, 47);
}

}  // namespace
}  // namespace imvela
