#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "ImvelaSdk.h"
#include "support/test_clock.h"
#include "support/test_window.h"

namespace {

// A value no call of Imvela_Initialize in these tests hands out.
int32_t unknown_handle() {
    const int32_t h = Imvela_Initialize(nullptr);
    EXPECT_EQ(Imvela_Release(h), 1);
    return h;
}

}  // namespace

TEST(Handles, VersionNeedsNoCamera) { EXPECT_EQ(Imvela_GetDllVersion(), 28575007); }

TEST(Handles, HandleIsTickPlusRandPlusCount) {
    // Two cameras made with the same random value differ by the elapsed ticks plus one
    // for the entry already in the registry.
    std::srand(12345);
    const int32_t r = std::rand();
    std::srand(12345);
    const uint32_t before1 = test_tick_count();
    const int32_t h1 = Imvela_Initialize(nullptr);
    const uint32_t after1 = test_tick_count();
    std::srand(12345);
    const uint32_t before2 = test_tick_count();
    const int32_t h2 = Imvela_Initialize(nullptr);
    const uint32_t after2 = test_tick_count();
    ASSERT_NE(h1, 0);
    ASSERT_NE(h2, 0);
    const uint32_t t1 = static_cast<uint32_t>(h1) - static_cast<uint32_t>(r);
    const uint32_t t2 = static_cast<uint32_t>(h2) - static_cast<uint32_t>(r) - 1u;
    EXPECT_LE(t1 - before1, after1 - before1);
    EXPECT_LE(t2 - before2, after2 - before2);
    EXPECT_EQ(Imvela_Release(h2), 1);
    EXPECT_EQ(Imvela_Release(h1), 1);
}

TEST(Handles, ReleaseTwiceFailsTheSecondTime) {
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(Imvela_Release(h), 1);
    EXPECT_EQ(Imvela_Release(h), 0);
}

TEST(Handles, SeveralHandlesReachTheirOwnCameras) {
    std::vector<int32_t> handles;
    for (int i = 0; i < 5; ++i) handles.push_back(Imvela_Initialize(nullptr));
    // Each camera keeps its own settings whatever order they are reached in.
    const int32_t bits[5] = {8, 16, 24, 32, 48};
    for (int i = 4; i >= 0; --i) EXPECT_EQ(Imvela_SetColorMode(handles[i], bits[i]), 1);
    const int32_t reported[5] = {8, 12, 24, 32, 44};
    for (int i : {2, 0, 4, 1, 3}) EXPECT_EQ(Imvela_GetColorMode(handles[i]), reported[i]);
    for (int i : {3, 0, 4, 2, 1}) EXPECT_EQ(Imvela_Release(handles[i]), 1);
    for (int32_t h : handles) EXPECT_EQ(Imvela_GetColorMode(h), -1);
}

TEST(Handles, UnknownHandleGivesEachExportsFailureValue) {
    const int32_t h = unknown_handle();
    int32_t value = 77;
    EXPECT_EQ(Imvela_GetLastError(h), 0);
    EXPECT_EQ(Imvela_SetColorMode(h, 8), 0);
    EXPECT_EQ(Imvela_SetSubSample(h, 0), 0);
    EXPECT_EQ(Imvela_SetWaitTime(h, 5), 0);
    EXPECT_EQ(Imvela_GetVideoFormat(h, &value), 0);
    EXPECT_EQ(value, 77);  // untouched for an unknown handle
    EXPECT_EQ(Imvela_Fps(h), 0);
    EXPECT_EQ(Imvela_GetColorMode(h), -1);
    EXPECT_EQ(Imvela_GetSubSample(h), -1);
    EXPECT_EQ(Imvela_GetWaitTime(h), -1);
}

TEST(Handles, ThreadsInitialiseUseAndReleaseAtOnce) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures, t] {
            for (int i = 0; i < 8; ++i) {  // each initialisation waits for the sensor to settle
                const int32_t h = Imvela_Initialize(nullptr);
                if (h == 0 || Imvela_SetWaitTime(h, t * 1000 + i) != 1 || Imvela_GetWaitTime(h) != t * 1000 + i ||
                    Imvela_Release(h) != 1)
                    ++failures;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(ImageFormat, ColorModeReportsSignificantBits) {
    const int32_t h = Imvela_Initialize(nullptr);
    EXPECT_EQ(Imvela_GetColorMode(h), 24);  // the stored format of a fresh settings store
    const int32_t set[6] = {16, 48, 64, 24, 32, 8};
    const int32_t got[6] = {12, 44, 60, 24, 32, 8};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Imvela_SetColorMode(h, set[i]), 1);
        EXPECT_EQ(Imvela_GetColorMode(h), got[i]);
    }
    EXPECT_EQ(Imvela_GetLastError(h), 0);
    Imvela_Release(h);
}

TEST(ImageFormat, RejectedColorModeRecordsAndPostsArgumentError) {
    TestWindow window;
    const int32_t h = Imvela_Initialize(window.handle());
    window.drain(20);
    EXPECT_EQ(Imvela_SetColorMode(h, 24), 1);
    for (int32_t bad : {12, 0, -8, 65, 44}) {
        EXPECT_EQ(Imvela_SetColorMode(h, bad), 0) << bad;
        EXPECT_EQ(Imvela_GetColorMode(h), 24) << "mode changed by " << bad;
    }
    PostedMessage m{};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(window.next(&m, 1000));
        EXPECT_EQ(m.message, 0x8003u);
        EXPECT_EQ(m.wparam, 0u);
        EXPECT_EQ(m.lparam, 9);
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Imvela_GetLastError(h), 9);
    EXPECT_EQ(Imvela_GetLastError(h), 0);
    Imvela_Release(h);
}

TEST(ImageFormat, SubSampleAndWaitTimeRefuseSilently) {
    TestWindow window;
    const int32_t h = Imvela_Initialize(window.handle());
    window.drain(20);
    EXPECT_EQ(Imvela_GetSubSample(h), 0);
    EXPECT_EQ(Imvela_SetSubSample(h, 1), 0);
    EXPECT_EQ(Imvela_SetSubSample(h, 0), 1);
    EXPECT_EQ(Imvela_GetWaitTime(h), 1);  // the stored format of a fresh settings store
    EXPECT_EQ(Imvela_SetWaitTime(h, -1), 0);
    EXPECT_EQ(Imvela_GetWaitTime(h), 1);
    EXPECT_EQ(Imvela_SetWaitTime(h, 0), 1);
    EXPECT_EQ(Imvela_GetWaitTime(h), 0);
    EXPECT_EQ(Imvela_GetLastError(h), 0);
    EXPECT_TRUE(window.drain(50).empty());
    Imvela_Release(h);
}

TEST(ImageFormat, VideoFormatAndSamplingRateWriteZero) {
    const int32_t h = Imvela_Initialize(nullptr);
    int32_t v = 5;
    EXPECT_EQ(Imvela_GetVideoFormat(h, &v), 0);
    EXPECT_EQ(v, 0);
    v = 5;
    EXPECT_EQ(Imvela_GetSamplingRate(h, &v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(Imvela_GetVideoFormat(h, nullptr), 0);
    EXPECT_EQ(Imvela_GetLastError(h), 0);
    Imvela_Release(h);
}
