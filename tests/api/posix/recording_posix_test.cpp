// Recording limits only POSIX lets a test set up: thread and file counts, a full disk.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>

#include "../recording_fixture.h"

namespace {

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
