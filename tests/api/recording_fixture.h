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
    // frame count: a plain file is finished when its index of that many frames ends it (the
    // header's count is brought up to date while recording); on Windows the file cannot even
    // be read before.
    static uint32_t frames_when_finished(const ScratchFile& file) {
        const auto finished = [](const std::vector<uint8_t>& b) {
            const uint64_t n = field32(b, 140), index = 8 + 16 * n;
            return n > 0 && n < 0xFFFFFFFFu && b.size() >= index && field32(b, b.size() - index) == 0x31786469u;
        };
        std::vector<uint8_t> b;
        for (int i = 0; i < 500 && !finished(b = file_bytes(file.path)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return finished(b) ? field32(b, 140) : 0;
    }

    ScopedEnvironment scene{"IMVELA_EMULATOR_SCENE", "ramp"};
    const int32_t width = 150, height = 40;  // rows of 450 bytes, padded in the file
    ScratchFile file;
};
