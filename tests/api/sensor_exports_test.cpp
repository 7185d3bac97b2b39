// Mirrors, exposure in microseconds, registers, serial ROM and I/O port through the exports.
#include "camera_fixture.h"

namespace {

using SensorExports = CameraTest;

// The read-modify-write under update hold is the device's (SensorControlsTest).
TEST_F(SensorExports, MirrorsProgramTheSensor) {
    EXPECT_EQ(Imvela_SetMirrorH(handle, 1), 1);
    EXPECT_EQ(Imvela_SetMirrorV(handle, 7), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x02) & 3, 3);
    EXPECT_EQ(Imvela_SetMirrorH(handle, 0), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x02) & 3, 1);
    EXPECT_EQ(Imvela_GetMirrorH(handle), 0);
    EXPECT_EQ(Imvela_GetMirrorV(handle), 1);
    EXPECT_TRUE(errors().empty());
}

// The exports convert with the sensor's line length (the arithmetic itself is the unit test
// ExposureConversion's): the lines reach the sensor, a time the conversion refuses changes
// nothing, and the time read back is that of the lines.
TEST_F(SensorExports, RealExposureTimeConvertsToLines) {
    // Line length 0x09D0 + 6 periods of 12.5 ns: 20 ms are 635 lines.
    ASSERT_EQ(ImvelaEmu_ReadRegister(0, 0x2E), 0x09D0);
    EXPECT_EQ(Imvela_SetRealExposureTime(handle, 20000), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x0F), 635);
    EXPECT_EQ(Imvela_GetExposureTime(handle, nullptr), 635);
    int32_t ok = 0;
    const int32_t read_back = Imvela_GetRealExposureTime(handle, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_TRUE(read_back <= 20000 && read_back > 20000 - 32) << read_back;  // within the last line
    EXPECT_EQ(Imvela_SetRealExposureTime(handle, 31), 0);  // below one line
    EXPECT_EQ(errors(), Codes{ERR_ARGUMENT});
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x0F), 635);
}

TEST_F(SensorExports, ShortRegisterExportsCutTheAddressToEightBits) {
    EXPECT_EQ(Imvela_WriteRegisterEx(handle, 0x1234, 0xBEEF), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x1234), 0xBEEF);
    EXPECT_EQ(Imvela_WriteRegister(handle, 0x1234, 0x0055), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x34), 0x55);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x1234), 0xBEEF);
    int32_t ok = 0;
    EXPECT_EQ(Imvela_ReadRegister(handle, 0x1234, &ok), 0x55);
    EXPECT_EQ(ok, 1);
    ok = 0;
    EXPECT_EQ(Imvela_ReadRegisterEx(handle, 0x1234, &ok), 0xBEEF);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Imvela_ReadRegisterEx(handle, 0x1234, nullptr), 0xBEEF);
    // The full address is 16 bits.
    EXPECT_EQ(Imvela_ReadRegisterEx(handle, 0x71234, nullptr), 0xBEEF);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SensorExports, FailedRegisterTransfersReportDeviceErrors) {
    ScopedEnvironment unplugged("IMVELA_EMULATOR", "none");
    enumerate();
    int32_t ok = 1;
    EXPECT_EQ(Imvela_ReadRegister(handle, 0x0F, &ok), 0);
    EXPECT_EQ(ok, 0);
    ok = 1;
    EXPECT_EQ(Imvela_ReadRegisterEx(handle, 0x0F, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Imvela_WriteRegister(handle, 0x0F, 1), 0);
    EXPECT_EQ(Imvela_WriteRegisterEx(handle, 0x0F, 1), 0);
    EXPECT_EQ(errors(), (Codes{ERR_DEVICE_IO, ERR_DEVICE_IO, ERR_DEVICE_IO, ERR_DEVICE_IO}));
    // Without a line length no exposure time can be converted.
    EXPECT_EQ(Imvela_SetRealExposureTime(handle, 20000), 0);
    EXPECT_EQ(errors(), Codes{ERR_ARGUMENT});
}

TEST_F(SensorExports, SerialRomIdentifierAreaRoundTripsAndFailuresAreOnlyPosted) {
    EXPECT_EQ(Imvela_WriteSromID(handle, 5, 0xA5), 1);
    EXPECT_EQ(Imvela_WriteSromID(handle, 255, 0x01), 1);
    int32_t ok = 0;
    EXPECT_EQ(Imvela_ReadSromID(handle, 5, &ok), 0xA5);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Imvela_ReadSromID(handle, 255, &ok), 0x01);
    EXPECT_TRUE(posted().empty());

    // Outside the 256-byte identifier area, and values that are not a byte.
    for (int32_t address : {256, -1, 0x1800}) {
        ok = 1;
        EXPECT_EQ(Imvela_ReadSromID(handle, address, &ok), 0) << address;
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(Imvela_WriteSromID(handle, address, 1), 0) << address;
    }
    EXPECT_EQ(Imvela_WriteSromID(handle, 5, 256), 0);
    EXPECT_EQ(Imvela_WriteSromID(handle, 5, -1), 0);
    EXPECT_EQ(Imvela_ReadSromID(handle, 5, nullptr), 0xA5);  // untouched
    EXPECT_EQ(posted(), Posted(8, ERR_NOT_READY));
    EXPECT_TRUE(errors().empty());
}

TEST_F(SensorExports, IoPortWritesAndReadsPortSeven) {
    EXPECT_EQ(Imvela_SetIOPort(handle, 0x5A), 1);
    EXPECT_EQ(ImvelaEmu_ReadPort(0, 7), 0x5A);
    uint8_t value = 0;
    EXPECT_EQ(Imvela_GetIOPort(handle, &value, 0, 0), 1);
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(Imvela_GetIOPort(handle, nullptr, 0, 0), 0);
    EXPECT_EQ(posted(), Posted{ERR_ARGUMENT});
    EXPECT_TRUE(errors().empty());

    ScopedEnvironment unplugged("IMVELA_EMULATOR", "none");
    enumerate();
    value = 0x77;
    EXPECT_EQ(Imvela_GetIOPort(handle, &value, 0, 0), 0);
    EXPECT_EQ(value, 0x77);  // not written on failure
    EXPECT_EQ(Imvela_SetIOPort(handle, 1), 0);
    EXPECT_EQ(posted(), (Posted{ERR_NOT_READY, ERR_NOT_READY}));
    EXPECT_TRUE(errors().empty());
}

TEST_F(CameraWithoutDevice, SensorExportsReportNoDeviceAsTheirRowsSay) {
    errors();
    posted();
    // Recorded (and posted).
    EXPECT_EQ(Imvela_SetMirrorH(handle, 1), 0);
    EXPECT_EQ(Imvela_GetMirrorH(handle), 0);
    EXPECT_EQ(Imvela_SetRealExposureTime(handle, 20000), 0);
    int32_t ok = 1;
    EXPECT_EQ(Imvela_ReadRegister(handle, 1, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Imvela_WriteRegisterEx(handle, 1, 1), 0);
    EXPECT_EQ(errors(), Codes(5, ERR_NOT_READY));
    EXPECT_EQ(posted(), Posted(5, ERR_NOT_READY));
    // Posted only.
    EXPECT_EQ(Imvela_SetMirrorV(handle, 1), 0);
    EXPECT_EQ(Imvela_GetMirrorV(handle), 0);
    EXPECT_EQ(Imvela_ReadSromID(handle, 0, &ok), 0);
    EXPECT_EQ(Imvela_WriteSromID(handle, 0, 0), 0);
    uint8_t value = 0;
    EXPECT_EQ(Imvela_GetIOPort(handle, &value, 0, 0), 0);
    EXPECT_EQ(Imvela_GetIOPort(handle, nullptr, 0, 0), 0);
    EXPECT_EQ(Imvela_SetIOPort(handle, 1), 0);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(posted(), Posted(7, ERR_NOT_READY));
}

}  // namespace
