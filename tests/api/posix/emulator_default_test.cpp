#include <gtest/gtest.h>

#include "ImvelaSdk.h"
#include "support/test_environment.h"

// Without IMVELA_EMULATOR there is no camera driver here: one emulated camera at 0.
TEST(EmulatorExports, DefaultIsOneCameraAtZero) {
    ScopedEnvironment unset("IMVELA_EMULATOR", nullptr);
    EXPECT_GE(ImvelaEmu_ReadRegister(0, 0), 0);  // present (earlier tests may have written it)
    EXPECT_EQ(ImvelaEmu_Replug(0), 1);
    EXPECT_EQ(ImvelaEmu_Replug(1), 0);
}
