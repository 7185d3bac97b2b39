// The POSIX settings store: human-readable files, written atomically, safe against
// concurrent writers in other threads and processes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "camera/imvela.h"
#include "settings/camera_settings.h"
#include "platform/settings_tree.h"
#include "support/recorded_file.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/wait.h"

using imvela::AnalogBlock;
using imvela::CameraSettings;
using imvela::ImageProcessingBlock;
using imvela::platform::SettingsKeyHandle;

namespace {

void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
}

std::set<std::string> folder_entries(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

TEST(SettingsStorePosix, SavedGroupIsAReadableFileUnderTheConfigurationFolder) {
    ScratchSettings store;
    CameraSettings settings(store.root());
    AnalogBlock analog;
    for (int i = 0; i < AnalogBlock::kCount; ++i) analog[i] = i - 1;
    ASSERT_EQ(settings.save_analog(2, analog), 1);
    EXPECT_EQ(file_text(store.config_home() + "/Orvane/ImvelaM52ZKRSdk/Camera_02/Gain/values"),
              "Global = -1\nColorG1 = 0\nColorR = 1\nColorB = 2\nColorG2 = 3\nExposure = 4\n"
              "V_Mirror = 5\nH_Mirror = 6\nAutoIris = 7\n");
    EXPECT_EQ(folder_entries(store.root_folder()), (std::set<std::string>{"Camera_02"}));
    EXPECT_EQ(folder_entries(store.root_folder() + "/Camera_02/Gain"), (std::set<std::string>{"values", "values.lock"}));
}

TEST(SettingsStorePosix, HandWrittenStoreIsRead) {
    ScratchSettings store;
    const std::string camera = store.root_folder() + "/Camera_00";
    ASSERT_EQ(system(("mkdir -p '" + camera + "/Size_00' '" + camera + "/Filter'").c_str()), 0);
    write_text(camera + "/values", "# video format\nSize = 0\n  color=3  \nClock = 0x1\nbogus line\nWaitTime = 12x\n");
    write_text(camera + "/Size_00/values", "TH = 1292\nTV = 1040\nEH = 640\nEV = 480\nEHS = 4\nEVS = 8\nBuf = 4294967295\n");
    write_text(camera + "/Filter/values", "Brightness = -255\nGAMMA = 120\nHue = -2147483648\nSaturation = 2147483648\n");
    // A temporary file left by a writer that crashed is ignored.
    write_text(camera + "/Filter/values.tmp.999.0", "Brightness = 1\n");

    CameraSettings settings(store.root());
    imvela::CaptureWindow window;
    ASSERT_EQ(settings.load_size_entry(0, &window), 1);
    EXPECT_EQ(window.width, 640);
    EXPECT_EQ(window.v_start, 8);
    EXPECT_EQ(window.buffer_count, -1);
    imvela::VideoFormat format;
    ASSERT_EQ(settings.load_video_format(0, &format), 1);
    EXPECT_EQ(format.color, 3);
    EXPECT_EQ(format.clock, 1);
    EXPECT_EQ(format.wait_time, 10);  // "12x" does not parse: missing
    ImageProcessingBlock block;
    ASSERT_EQ(settings.load_filter(0, &block), 1);
    EXPECT_EQ(block[ImageProcessingBlock::kBrightness], -255);
    EXPECT_EQ(block[ImageProcessingBlock::kGamma], 120);
    // Both read as -2^31 (2^31 wraps as a DWORD does): outside the range, so the default.
    EXPECT_EQ(block[ImageProcessingBlock::kHue], 0);
    EXPECT_EQ(block[ImageProcessingBlock::kSaturation], 0);
}

TEST(SettingsStorePosix, KeyNamesThatWouldLeaveTheStoreAreRefused) {
    ScratchSettings store;
    for (const char* bad : {"..", "a\\..\\b", "a/b", "a\\\\b", "."}) {
        EXPECT_FALSE(SettingsKeyHandle::create(nullptr, (store.root() + "\\" + bad).c_str())) << bad;
    }
    SettingsKeyHandle key = SettingsKeyHandle::create(nullptr, store.root().c_str());
    ASSERT_TRUE(key);
    EXPECT_FALSE(key.write("A = B", 1));
    EXPECT_FALSE(key.write("line\nbreak", 1));
    EXPECT_FALSE(key.write("", 1));
}

// Writers add disjoint names to one key; a read-modify-write without the lock would lose
// some of them.
void write_names(const std::string& root, const std::string& prefix, int count) {
    SettingsKeyHandle key = SettingsKeyHandle::create(nullptr, (root + "\\Camera_00\\Shared").c_str());
    for (int i = 0; i < count; ++i) ASSERT_TRUE(key.write((prefix + std::to_string(i)).c_str(), i));
}

void expect_all_names(const std::string& root, const std::string& prefix, int count) {
    SettingsKeyHandle key = SettingsKeyHandle::open(nullptr, (root + "\\Camera_00\\Shared").c_str());
    ASSERT_TRUE(key);
    for (int i = 0; i < count; ++i) {
        int32_t value = -1;
        EXPECT_TRUE(key.read((prefix + std::to_string(i)).c_str(), &value)) << prefix << i;
        EXPECT_EQ(value, i);
    }
}

TEST(SettingsStorePosix, ConcurrentThreadsLoseNoValues) {
    ScratchSettings store;
    const std::string root = store.root();
    std::thread a(write_names, root, "A", 60), b(write_names, root, "B", 60);
    a.join();
    b.join();
    expect_all_names(root, "A", 60);
    expect_all_names(root, "B", 60);
}

TEST(SettingsStorePosix, ConcurrentProcessesLoseNoValuesAndReadersAlwaysSeeAWholeStore) {
    ScratchSettings store;
    CameraSettings settings(store.root());
    ImageProcessingBlock first;  // in every value's range: 0, 1 and 2, 3
    for (int i = 0; i < ImageProcessingBlock::kCount; ++i) first[i] = i % 2;
    ASSERT_EQ(settings.save_filter(0, first), 1);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ImageProcessingBlock other;
        for (int i = 0; i < ImageProcessingBlock::kCount; ++i) other[i] = 2 + i % 2;
        CameraSettings child_settings(store.root());
        for (int round = 0; round < 40; ++round)
            if (child_settings.save_filter(0, round % 2 ? other : first) != 1) _exit(1);
        SettingsKeyHandle key = SettingsKeyHandle::create(nullptr, (store.root() + "\\Camera_00\\Shared").c_str());
        for (int i = 0; i < 40; ++i)
            if (!key.write(("C" + std::to_string(i)).c_str(), i)) _exit(2);
        _exit(0);
    }
    write_names(store.root(), "P", 40);
    for (int round = 0; round < 40; ++round) {
        ImageProcessingBlock seen;
        ASSERT_EQ(settings.load_filter(0, &seen), 1);
        for (int i = 0; i <= ImageProcessingBlock::kBayerMode; ++i)
            ASSERT_TRUE(seen[i] == i % 2 || seen[i] == 2 + i % 2) << "position " << i << ": " << seen[i];
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    expect_all_names(store.root(), "P", 40);
    expect_all_names(store.root(), "C", 40);
}

// A damaged store can neither hang nor slow a reader, and a lock that another process keeps
// makes a writer give up without touching the file. Each case runs on a thread with a
// bound, and is unblocked by `release` when it overruns.
TEST(SettingsStorePosix, DamagedFilesAndStuckLocksNeitherHangNorCorrupt) {
    ScratchSettings store;
    const std::string folder = store.root_folder() + "/Camera_00";
    ASSERT_EQ(system(("mkdir -p '" + folder + "'").c_str()), 0);
    const std::string values = folder + "/values", lock = folder + "/values.lock";
    SettingsKeyHandle key = SettingsKeyHandle::open(nullptr, (store.root() + "\\Camera_00").c_str());
    ASSERT_TRUE(key);
    auto bounded = [](auto&& call, auto&& release) {
        auto result = std::async(std::launch::async, call);
        const bool in_time = result.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
        if (!in_time) release();
        EXPECT_TRUE(in_time);
        return result.get();
    };
    int32_t value = 0;
    auto read_color = [&] { return key.read("Color", &value); };

    ASSERT_EQ(mkfifo(values.c_str(), 0600), 0);
    EXPECT_FALSE(bounded(read_color, [&] { close(open(values.c_str(), O_WRONLY | O_NONBLOCK)); }));
    EXPECT_FALSE(key.write("Color", 3));  // not replaced either
    unlink(values.c_str());

    // A key holds a few hundred bytes; of a larger file only the whole lines of its first
    // 64 KiB are read, at once, and the next write leaves a clean file.
    for (const off_t size : {off_t{64 * 1024}, off_t{600} << 20}) {
        write_text(values, "Color = 4\n" + std::string(64 * 1024 - 16, '#') + "\nWait = 3\n");
        ASSERT_EQ(truncate(values.c_str(), size), 0);
        EXPECT_TRUE(bounded(read_color, [] {})) << size;
        EXPECT_EQ(value, 4);
        EXPECT_FALSE(key.read("Wait", &value)) << size;  // the cut line
    }
    EXPECT_TRUE(key.write("Size", 1));
    EXPECT_EQ(file_text(values), "Color = 4\nSize = 1\n");
    write_text(values, "Color = 5\n");
    const int holder = open(lock.c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);
    EXPECT_FALSE(bounded([&] { return key.write("Color", 6); }, [&] { close(holder); }));
    EXPECT_EQ(file_text(values), "Color = 5\n");
    close(holder);
    EXPECT_TRUE(key.write("Color", 6));
}

// Temporary files left by a crash, here of an earlier process with this one's id, are never
// taken for this write's own.
TEST(SettingsStorePosix, LeftoverTemporaryFilesNeverBlockASave) {
    ScratchSettings store;
    const std::string folder = store.root_folder() + "/Camera_00";
    ASSERT_EQ(system(("mkdir -p '" + folder + "'").c_str()), 0);
    for (int n = 0; n < 2000; ++n)
        write_text(folder + "/values.tmp." + std::to_string(getpid()) + "." + std::to_string(n), "Color = 1\n");
    SettingsKeyHandle key = SettingsKeyHandle::open(nullptr, (store.root() + "\\Camera_00").c_str());
    ASSERT_TRUE(key);
    for (int32_t color : {42, 77}) {
        ASSERT_TRUE(key.write("Color", color));
        int32_t read = 0;
        EXPECT_TRUE(key.read("Color", &read));
        EXPECT_EQ(read, color);
    }
}

// Eight processes that start on an empty store at the same moment each begin with the
// first-use defaults (colour index 2, wait time 1), never with a half-made tree.
TEST(SettingsStorePosix, ProcessesStartingTogetherSeeAWholeFirstUseTree) {
    ScratchSettings store;
    for (int round = 0; round < 10; ++round) {
        const std::string root = "Software\\Orvane\\Round" + std::to_string(round);
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < 8; ++i) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                close(gate[1]);
                char go;
                if (read(gate[0], &go, 1) != 0) _exit(3);  // released when the gate closes
                CameraSettings settings(root);
                imvela::CaptureWindow window;
                imvela::VideoFormat format;  // a new camera object's values: index 0, wait 10
                format.color = 0, format.wait_time = 10;
                settings.load_size_entry(0, &window);
                settings.load_video_format(0, &format);
                _exit(format.color == 2 && format.wait_time == 1 ? 0 : 1);
            }
            children.push_back(child);
        }
        close(gate[0]);
        close(gate[1]);
        for (const pid_t child : children) {
            int status = -1;
            for (int waited = 0; waited < 1000 && waitpid(child, &status, WNOHANG) == 0; ++waited) usleep(10000);
            if (!WIFEXITED(status)) kill(child, SIGKILL), waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
    }
}

// Settings that cannot be saved (here a file stands where the group's folder goes) are
// reported with error 12, not lost in silence.
TEST(SettingsStorePosix, GroupsThatCannotBeSavedAreReported) {
    ScratchSettings store;
    ScopedEnvironment root("IMVELA_SETTINGS_ROOT", store.root().c_str());
    ScopedEnvironment cameras("IMVELA_EMULATOR", "0");
    imvela::CImvela camera;
    ASSERT_EQ(camera.initialize(nullptr), 1);
    drain_codes([&camera] { return camera.last_error(); }, 20);
    ASSERT_EQ(system(("mkdir -p '" + store.root_folder() + "/Camera_00'").c_str()), 0);
    write_text(store.root_folder() + "/Camera_00/Gain", "not a folder\n");
    EXPECT_EQ(camera.set_device_number(0), 1);
    EXPECT_EQ(camera.last_error(), ERR_FILE);
}

}  // namespace
