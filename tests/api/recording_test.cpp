#include <string>

#include "recording_fixture.h"

namespace {

TEST_F(RecordingTest, StartsWithoutANameOrWithAnUnconvertibleOneAreRefused) {
    const std::vector<IMVELA_WCHAR> too_long(1100, 'a');
    std::vector<IMVELA_WCHAR> wide_name(too_long);
    wide_name.push_back(0);
    EXPECT_EQ(Imvela_Record(handle, nullptr, 0, 0), 0);
    EXPECT_EQ(Imvela_Record(handle, "", 0, 0), 0);
    EXPECT_EQ(Imvela_RecordW(handle, wide_name.data(), 0, 0), 0);
    EXPECT_EQ(errors(), (Codes{ERR_FILE, ERR_ARGUMENT, ERR_ARGUMENT}));
}

TEST_F(RecordingTest, DurationZeroEndsWithTheSecondFrame) {
    ScopedEnvironment paced("IMVELA_EMULATOR_FPS", "30");
    ASSERT_EQ(Imvela_Record(handle, file.c_str(), 0, 0), 1);
    const std::vector<uint8_t> b = finished(file);
    Imvela_StopPreview(handle);
    EXPECT_EQ(plain_frames(b), 2u);
    EXPECT_EQ(errors(), Codes{});
}

TEST_F(RecordingTest, RecordWhileRecordingIsRefusedAndTheRunningOneGoesOn) {
    ASSERT_EQ(Imvela_Record(handle, file.c_str(), 400, 0), 1);
    ScratchFile second;
    EXPECT_EQ(Imvela_Record(handle, second.c_str(), 400, 0), 0);
    EXPECT_EQ(errors(), Codes{ERR_FILE});
    EXPECT_GT(plain_frames(finished(file)), 2u);
    EXPECT_TRUE(file_bytes(second.path()).empty());
    // A finished recording makes way for the next one.
    ASSERT_EQ(Imvela_Record(handle, second.c_str(), 0, 0), 1);
    EXPECT_EQ(plain_frames(finished(second)), 2u);
}

// The output image's pixel as the recording converts it: blue, green, red.
void converted(const uint8_t* p, int32_t bits, uint8_t* out) {
    const auto reduced = [&](int i) { return static_cast<uint8_t>((p[2 * i] | p[2 * i + 1] << 8) >> 2); };
    for (int i = 0; i < 3; ++i)
        out[i] = bits == 8 ? p[0] : bits == 16 ? reduced(0) : bits >= 48 ? reduced(i) : p[i];
}

TEST_F(RecordingTest, EveryDepthPlaysAsTheConvertedOutputImage) {
    for (const int32_t bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(Imvela_SetColorMode(handle, bits), 1);
        ASSERT_EQ(Imvela_Record(handle, file.c_str(), 200, 0), 1);
        finished(file);
        const int32_t stride = (bits / 8 * width + 3) & ~3;
        std::vector<uint8_t> image(static_cast<size_t>(stride) * height);
        ASSERT_EQ(Imvela_GetImage(handle, image.data(), static_cast<int32_t>(image.size()), 1), 1);
        Imvela_StopPreview(handle);
        const ProbedVideo video = playable(file);
        EXPECT_EQ(video.width, width);
        EXPECT_EQ(video.height, height);
        EXPECT_GT(video.frames, 2);
        EXPECT_GT(video.rate, 0.0);
        std::vector<uint8_t> expected;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                uint8_t bgr[3];
                converted(&image[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * (bits / 8)], bits, bgr);
                expected.insert(expected.end(), bgr, bgr + 3);
            }
        const auto frames = decode_frames(file.path(), width, height);
        ASSERT_EQ(static_cast<long>(frames.size()), video.frames);
        for (const auto& frame : frames) ASSERT_TRUE(frame == expected);
    }
    EXPECT_EQ(errors(), Codes{});
}

TEST_F(RecordingTest, RecordingsCutShortAreFinished) {
    enum Stop { kStalledStop, kStop, kClose, kRelease };
    for (const Stop stop : {kStalledStop, kStop, kClose, kRelease}) {
        SCOPED_TRACE(stop);
        if (!handle) open();
        if (stop == kStalledStop) ImvelaEmu_InjectFault(0, IMVELA_EMU_FAULT_STALL, 1000);
        ASSERT_EQ(Imvela_Record(handle, file.c_str(), 10000, 0), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (stop == kRelease) close();
        else if (stop == kClose) Imvela_Close(handle);
        else Imvela_StopPreview(handle);
        ImvelaEmu_InjectFault(0, IMVELA_EMU_FAULT_STALL, 0);
        const ProbedVideo video = playable(file);
        EXPECT_EQ(video.frames > 0, stop != kStalledStop);
    }
}

}  // namespace
