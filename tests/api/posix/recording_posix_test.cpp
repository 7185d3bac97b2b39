// Recordings as Debian's ffprobe and ffmpeg see them.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>

#include "../recording_fixture.h"
#include "support/media_probe.h"

namespace {

// Probes the file and checks that the frames it declares are the frames that decode.
ProbedVideo playable(const ScratchFile& file) {
    ProbedVideo video;
    EXPECT_TRUE(probe_video(file.path(), &video));
    EXPECT_EQ(video.read_frames, video.frames);
    EXPECT_EQ(video.frames, static_cast<long>(field32(file_bytes(file.path()), 140)));
    return video;
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

size_t entries(const char* folder) {
    size_t n = 0;
    if (DIR* d = opendir(folder)) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

TEST_F(RecordingTest, HundredRecordingsLeaveNoThreadOrFileBehind) {
    const size_t threads = entries("/proc/self/task"), files = entries("/proc/self/fd");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(Imvela_Record(handle, file.c_str(), 0, 0), 1) << i;
        finished(file);
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
    EXPECT_LE(file_bytes(file.path()).size(), kLimit);
    EXPECT_GT(playable(file).frames, 0);
}

}  // namespace
