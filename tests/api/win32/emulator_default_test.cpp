#include <gtest/gtest.h>

#include "ImvelaSdk.h"
#include "support/test_environment.h"

// Without IMVELA_EMULATOR the camera driver is used: no emulated camera answers.
TEST(EmulatorExports, DefaultIsTheCameraDriver) {
    ScopedEnvironment unset("IMVELA_EMULATOR", nullptr);
    for (int32_t n = 0; n < 32; ++n) EXPECT_EQ(ImvelaEmu_ReadRegister(n, 0), -1);
    EXPECT_EQ(ImvelaEmu_Replug(0), 0);
}
