// The element's frame targets through the exports alone (no GStreamer, so ThreadSanitizer sees
// every hand-over): each frame lands whole in the buffer named for it, and a buffer that was
// replaced is never written again.
#include <gtest/gtest.h>

#include <vector>

#include "ImvelaSdk.h"
#include "frame_targets.h"
#include "support/test_environment.h"
#include "support/wait.h"

namespace {

TEST(FrameTargets, EachFrameFillsTheBufferNamedForItAndNoneAfterItWasReplaced) {
    ScopedEnvironment scene("IMVELA_EMULATOR_SCENE", "ramp");
    ScopedEnvironment unpaced("IMVELA_EMULATOR_FPS", "0");
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(h, 0);
    Imvela_SetColorMode(h, 24);
    Imvela_SetCaptureWindowEx(h, 1292, 0, 320, 1040, 0, 240);
    Imvela_SetPreviewWindow(h, nullptr, 0, 0, 0, 0);
    Imvela_SetWaitTime(h, 0);  // frames back to back: the hand-over is tried hard
    const size_t size = 320 * 3 * 240;
    std::vector<uint8_t> expected(size);
    ASSERT_EQ(Imvela_SnapShot(h, expected.data(), static_cast<int32_t>(size), 0), 1);
    const std::vector<uint8_t> poison(size, 0x55);

    std::vector<std::vector<uint8_t>> buffers(3, poison);
    FrameTargets targets;
    ASSERT_TRUE(targets.start(h, false, buffers[0].data(), static_cast<int32_t>(size)));
    int current = 0, frames = 0, whole = 0, untouched = 0;
    const Deadline deadline;
    uint32_t last_sequence = 0;
    while (frames < 40 && !deadline.passed()) {
        if (targets.wait(100) != FrameTargets::Event::frame) continue;
        const int next = (current + 1) % 3, idle = (current + 2) % 3;
        ASSERT_TRUE(targets.retarget(buffers[next].data(), static_cast<int32_t>(size)));
        // The buffer replaced a frame ago has not been named since.
        untouched += frames == 0 || buffers[idle] == poison;
        whole += buffers[current] == expected;
        EXPECT_TRUE(targets.stamp().has_sequence);
        EXPECT_TRUE(frames == 0 || targets.stamp().sequence > last_sequence);
        last_sequence = targets.stamp().sequence;
        buffers[current] = poison;
        current = next;
        ++frames;
    }
    Imvela_StopPreview(h);
    Imvela_Release(h);
    EXPECT_EQ(frames, 40);
    EXPECT_EQ(whole, 40);
    EXPECT_EQ(untouched, 40);
}

}  // namespace
