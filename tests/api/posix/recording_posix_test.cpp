// Recordings as Debian's ffprobe and ffmpeg play them, and limits only POSIX lets a test set.
#include <signal.h>
#include <sys/resource.h>

#include "../recording_fixture.h"

namespace {

// Plays the file: the frames it declares are the frames that decode.
PlayedVideo playable(const ScratchFile& file) {
    PlayedVideo video = play_video(file.path);
    EXPECT_EQ(video.declared_frames, static_cast<long>(video.frames.size()));
    EXPECT_EQ(video.declared_frames, static_cast<long>(field32(file_bytes(file.path), 140)));
    return video;
}

TEST_F(RecordingTest, EveryDepthPlaysAsTheConvertedOutputImage) {
    for (const int32_t bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(Imvela_SetColorMode(handle, bits), 1);
        ASSERT_EQ(Imvela_Record(handle, file.c_str(), 200, 0), 1);
        frames_when_finished(file);
        const int32_t stride = (bits / 8 * width + 3) & ~3;
        std::vector<uint8_t> image(static_cast<size_t>(stride) * height), expected;
        ASSERT_EQ(Imvela_GetImage(handle, image.data(), static_cast<int32_t>(image.size()), 1), 1);
        Imvela_StopPreview(handle);
        // Blue, green, red: the first three bytes, the gray byte thrice, or the top 8 of the
        // 12 significant bits of samples.
        for (int32_t i = 0; i < width * height * 3; ++i) {
            const uint8_t* p = &image[size_t(i / (3 * width) * stride + i % (3 * width) / 3 * (bits / 8))];
            const int c = bits == 16 ? 0 : i % 3;
            expected.push_back(bits == 8 ? p[0] : bits == 24 || bits == 32 ? p[c] : uint8_t((p[2 * c] | p[2 * c + 1] << 8) >> 4));
        }
        const PlayedVideo video = playable(file);
        EXPECT_GE(video.declared_frames, 2);
        for (const auto& frame : video.frames) ASSERT_TRUE(frame == expected);
    }
    EXPECT_EQ(errors(), Codes{});
}

TEST_F(RecordingTest, RecordingsCutShortAreFinished) {
    enum Stop { kBeforeFirstFrame, kStopPreview, kClose, kRelease };
    for (const Stop stop : {kBeforeFirstFrame, kStopPreview, kClose, kRelease}) {
        SCOPED_TRACE(stop);
        if (!handle) open();
        if (stop == kBeforeFirstFrame) ImvelaEmu_InjectFault(0, IMVELA_EMU_FAULT_STALL, 1000);
        ASSERT_EQ(Imvela_Record(handle, file.c_str(), 10000, 0), 1);
        // Stopped once a frame chunk is in the file (at most 10 s), or after 300 ms of stall.
        for (int i = 0; i < (stop == kBeforeFirstFrame ? 15 : 500) && file_bytes(file.path).size() <= 232; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (stop == kRelease) close();
        else if (stop == kClose) Imvela_Close(handle);
        else Imvela_StopPreview(handle);
        ImvelaEmu_InjectFault(0, IMVELA_EMU_FAULT_STALL, 0);
        EXPECT_EQ(playable(file).declared_frames > 0, stop != kBeforeFirstFrame);
    }
}

TEST_F(RecordingTest, HundredRecordingsLeaveNoThreadOrFileBehind) {
    const auto entries = [](const char* folder) {
        return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
    };
    const auto threads = entries("/proc/self/task"), files = entries("/proc/self/fd");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Imvela_Record(handle, file.c_str(), 0, 0), 1) << i;
        frames_when_finished(file);
    }
    Imvela_StopPreview(handle);
    EXPECT_EQ(entries("/proc/self/task"), threads);
    EXPECT_EQ(entries("/proc/self/fd"), files);
}

TEST_F(RecordingTest, FullDiskStopsTheRecordingWithAPlayableFileAndError12) {
    constexpr rlim_t kLimit = 200 * 1024;
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{kLimit, saved.rlim_max};
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t started = Imvela_Record(handle, file.c_str(), 10000, 0);
    bool posted = false;
    for (PostedMessage m; !posted && started && window.next(&m, 5000);)
        posted = m.message == WM_CAMERA_ERROR && m.lparam == ERR_FILE;
    Imvela_StopPreview(handle);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);
    ASSERT_EQ(started, 1);
    EXPECT_TRUE(posted);
    EXPECT_EQ(errors(), Codes{ERR_FILE});
    EXPECT_LE(file_bytes(file.path).size(), kLimit);
    EXPECT_GT(playable(file).declared_frames, 0);
}

}  // namespace
