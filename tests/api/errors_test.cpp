#include <gtest/gtest.h>

#include "ImvelaSdk.h"
#include "support/test_window.h"
#include "support/wait.h"

namespace {

class Notified : public ::testing::Test {
protected:
    void SetUp() override {
        handle = Imvela_Initialize(window.handle());
        ASSERT_NE(handle, 0);
        window.drain(20);
        drain_codes([this] { return Imvela_GetLastError(handle); });
    }
    void TearDown() override { Imvela_Release(handle); }
    TestWindow window;
    int32_t handle = 0;
};

}  // namespace

// The history keeps the 20 newest codes (ErrorHistory); every failure is posted.
TEST_F(Notified, EveryRecordedFailureIsPostedBeyondTheHistory) {
    for (int i = 0; i < 25; ++i) Imvela_SetColorMode(handle, 1000 + i);
    EXPECT_EQ(drain_codes([this] { return Imvela_GetLastError(handle); }), 20);
    EXPECT_EQ(window.drain().size(), 25u);
}

TEST_F(Notified, UnsupportedFunctionsPostOnlyForLiveHandle) {
    using Stub = int32_t (*)(int32_t, ...);
    const Stub stubs[] = {Imvela_Fpga_ReadRegister, Imvela_Fpga_WriteRegister, Imvela_Fps, Imvela_GetHalfClock,
                          Imvela_SetCrossbar, Imvela_SetHalfClock, Imvela_SetSamplingRate};
    for (Stub stub : stubs) {
        EXPECT_EQ(stub(handle, 1, 2, 3), 0);
        PostedMessage m{};
        ASSERT_TRUE(window.next(&m, 1000));
        EXPECT_EQ(m.message, static_cast<uint32_t>(WM_CAMERA_ERROR));
        EXPECT_EQ(m.wparam, 0u);
        EXPECT_EQ(m.lparam, ERR_NOT_SUPPORTED);
    }
    // Post-only: nothing reaches the history.
    EXPECT_EQ(Imvela_GetLastError(handle), 0);

    const int32_t other = Imvela_Initialize(nullptr);
    Imvela_Release(other);
    EXPECT_EQ(Imvela_Fps(other), 0);
    EXPECT_TRUE(window.drain(50).empty());
}

TEST_F(Notified, ReleasedCameraPostsNothingMore) {
    Imvela_Release(handle);
    EXPECT_EQ(Imvela_SetColorMode(handle, 12), 0);
    EXPECT_EQ(Imvela_GetLastError(handle), 0);
    EXPECT_TRUE(window.drain(50).empty());
    handle = 0;
}

TEST(NullNotificationWindow, HistoryStillFills) {
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(h, 0);
    EXPECT_EQ(Imvela_SetColorMode(h, 3), 0);
    EXPECT_EQ(Imvela_SetColorMode(h, 5), 0);
    EXPECT_EQ(Imvela_GetLastError(h), 9);
    EXPECT_EQ(Imvela_GetLastError(h), 9);
    EXPECT_EQ(Imvela_GetLastError(h), 0);
    EXPECT_EQ(Imvela_Release(h), 1);
}

TEST(TwoCameras, ErrorsGoToTheirOwnWindowAndHistory) {
    TestWindow first, second;
    const int32_t a = Imvela_Initialize(first.handle());
    const int32_t b = Imvela_Initialize(second.handle());
    first.drain(20);
    second.drain(20);
    drain_codes([a] { return Imvela_GetLastError(a); });
    drain_codes([b] { return Imvela_GetLastError(b); });
    Imvela_SetColorMode(b, 1);
    EXPECT_EQ(Imvela_GetLastError(a), 0);
    EXPECT_EQ(Imvela_GetLastError(b), 9);
    EXPECT_TRUE(first.drain(50).empty());
    EXPECT_EQ(second.drain(50).size(), 1u);
    Imvela_Release(a);
    Imvela_Release(b);
}
