#pragma once
// A camera that records a small capture window of the emulator's ramp into scratch files.
#include <chrono>
#include <thread>

#include "camera_fixture.h"
#include "support/media_probe.h"
#include "support/recorded_file.h"

class RecordingTest : public CameraTest {
protected:
    void SetUp() override {
        CameraTest::SetUp();
        Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
        ASSERT_EQ(Imvela_SetCaptureWindowEx(handle, 1292, 0, width, 1040, 0, height), 1);
    }
    // Waits (at most 10 s) until the recording has finished its file by itself.
    static std::vector<uint8_t> finished(const ScratchFile& file) {
        // The frame count is patched in last; the file cannot even be read before on Windows.
        const auto counted = [](uint32_t n) { return n != 0 && n != 0xFFFFFFFFu; };
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 500 && !counted(field32(bytes = file_bytes(file.path()), 140)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return bytes;
    }
    // The frame count of a finished plain file whose lengths agree with it.
    static uint32_t plain_frames(const std::vector<uint8_t>& b) {
        const uint32_t n = field32(b, 140), chunk = field32(b, 60);
        EXPECT_EQ(field32(b, 4), b.size() - 8);
        EXPECT_EQ(b.size(), 232 + uint64_t{n} * chunk + 8 + 16 * n);
        return n;
    }

    // Probes the file and checks that the frames it declares are the frames that decode.
    static ProbedVideo playable(const ScratchFile& file) {
        ProbedVideo video;
        EXPECT_TRUE(probe_video(file.path(), &video));
        EXPECT_EQ(video.read_frames, video.frames);
        EXPECT_EQ(video.frames, static_cast<long>(field32(file_bytes(file.path()), 140)));
        return video;
    }

    ScopedEnvironment scene{"IMVELA_EMULATOR_SCENE", "ramp"};
    int32_t width = 150, height = 40;  // rows of 450 bytes, padded in the file
    ScratchFile file;
};
