#pragma once
// A camera that records a small capture window of the emulator's ramp into a scratch file.
#include <chrono>
#include <thread>

#include "camera_fixture.h"
#include "support/recorded_file.h"

class RecordingTest : public CameraTest {
protected:
    void SetUp() override {
        CameraTest::SetUp();
        Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
        ASSERT_EQ(Imvela_SetCaptureWindowEx(handle, 1292, 0, width, 1040, 0, height), 1);
    }
    // Waits (at most 10 s) until a recording has finished its file by itself, and returns its
    // frame count: "idx1" of that many frames ends a finished plain file.
    static uint32_t frames_when_finished(const ScratchFile& file) {
        const auto frames = [](const std::vector<uint8_t>& b) {
            const uint64_t n = field32(b, 140) & 0xFFFFFF, index = 8 + 16 * n;
            return n && b.size() >= index && field32(b, b.size() - index) == 0x31786469u ? uint32_t(n) : 0;
        };
        uint32_t n = 0;
        for (int i = 0; i < 500 && !(n = frames(file_bytes(file.path))); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return n;
    }

    ScopedEnvironment scene{"IMVELA_EMULATOR_SCENE", "ramp"};
    const int32_t width = 150, height = 40;  // rows of 450 bytes, padded in the file
    ScratchFile file;
};
