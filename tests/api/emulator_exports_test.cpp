#include <gtest/gtest.h>

#include "ImvelaSdk.h"
#include "support/test_environment.h"

TEST(EmulatorExports, CamerasAtTheListedNumbers) {
    ScopedEnvironment cameras("IMVELA_EMULATOR", "0,2,5");
    for (int32_t n : {0, 2, 5}) {
        EXPECT_GE(ImvelaEmu_ReadRegister(n, 0x2E), 0) << n;
        EXPECT_EQ(ImvelaEmu_ReadPort(n, 200), 0) << n;  // nothing wrote it
        EXPECT_GE(ImvelaEmu_FrameCount(n), 0) << n;
        EXPECT_EQ(ImvelaEmu_Replug(n), 1) << n;
        EXPECT_EQ(ImvelaEmu_Trigger(n), 0) << n;  // trigger not armed
    }
    for (int32_t n : {1, 3, 4, 6, 31, 32, -1, 1000}) {
        EXPECT_EQ(ImvelaEmu_ReadRegister(n, 0x2E), -1) << n;
        EXPECT_EQ(ImvelaEmu_ReadPort(n, 11), -1) << n;
        EXPECT_EQ(ImvelaEmu_FrameCount(n), -1) << n;
        EXPECT_EQ(ImvelaEmu_Replug(n), 0) << n;
        EXPECT_EQ(ImvelaEmu_Trigger(n), 0) << n;
        EXPECT_EQ(ImvelaEmu_InjectFault(n, 1, 1), 0) << n;
    }
    EXPECT_EQ(ImvelaEmu_InjectFault(5, 0, 1), 0);
    EXPECT_EQ(ImvelaEmu_InjectFault(5, 5, 1), 0);
    for (int32_t kind = 1; kind <= 4; ++kind) EXPECT_EQ(ImvelaEmu_InjectFault(5, kind, 1), 1) << kind;
    EXPECT_EQ(ImvelaEmu_InjectFault(5, 1, 0), 1);  // clears it
}

TEST(EmulatorExports, NoCamera) {
    ScopedEnvironment cameras("IMVELA_EMULATOR", "none");
    for (int32_t n = 0; n < 36; ++n) {
        EXPECT_EQ(ImvelaEmu_ReadRegister(n, 0), -1);
        EXPECT_EQ(ImvelaEmu_FrameCount(n), -1);
        EXPECT_EQ(ImvelaEmu_Replug(n), 0);
    }
}

TEST(EmulatorExports, SelectionFollowsTheEnvironment) {
    {
        ScopedEnvironment cameras("IMVELA_EMULATOR", "7");
        EXPECT_GE(ImvelaEmu_ReadRegister(7, 0), 0);  // present (earlier tests may have written it)
        EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0), -1);
    }
    ScopedEnvironment cameras("IMVELA_EMULATOR", "0");
    EXPECT_EQ(ImvelaEmu_ReadRegister(7, 0), -1);
    EXPECT_GE(ImvelaEmu_ReadRegister(0, 0), 0);  // present (earlier tests may have written it)
}
