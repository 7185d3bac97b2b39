// Initialisation with and without cameras, enumeration, names, camera information and the
// choice of device with its settings.
#include <cstring>
#include <string>

#include "camera_fixture.h"

namespace {

class ThreeCameras : public CameraTest {
protected:
    ThreeCameras() : CameraTest("0,2,5") {}
};

std::u16string wide(const IMVELA_WCHAR* text) {
    std::u16string s;
    for (; *text; ++text) s.push_back(static_cast<char16_t>(*text));
    return s;
}

TEST_F(ThreeCameras, EnumerationNumbersTheCamerasByOrderFound) {
    char names[12][256];
    std::memset(names, 'x', sizeof names);
    EXPECT_EQ(Imvela_EnumDevice(handle, names), 3);
    EXPECT_STREQ(names[0], "ImvelaM52-ZKR_01");
    EXPECT_STREQ(names[1], "ImvelaM52-ZKR_02");
    EXPECT_STREQ(names[2], "ImvelaM52-ZKR_03");
    for (int i = 3; i < 10; ++i) EXPECT_EQ(names[i][0], '\0') << i;
    EXPECT_EQ(names[10][0], 'x');  // exactly ten entries written
    EXPECT_EQ(Imvela_EnumDevice(handle, nullptr), 0);
    EXPECT_EQ(errors(), Codes{ERR_ARGUMENT});

    IMVELA_WCHAR wnames[10][256];
    std::memset(wnames, 0x55, sizeof wnames);
    EXPECT_EQ(Imvela_EnumDeviceW(handle, wnames), 3);
    EXPECT_EQ(wide(wnames[0]), u"ImvelaM52-ZKR_01");
    EXPECT_EQ(wide(wnames[2]), u"ImvelaM52-ZKR_03");
    for (int i = 3; i < 10; ++i) EXPECT_EQ(wnames[i][0], 0) << i;
}

TEST_F(ThreeCameras, NamesCarryTheDeviceNumberPlusOne) {
    char name[32];
    EXPECT_EQ(Imvela_GetDeviceName(handle, 5, name, sizeof name), 1);
    EXPECT_STREQ(name, "ImvelaM52-ZKR_06");
    EXPECT_EQ(Imvela_GetDeviceName(handle, 0, name, 17), 1);  // exactly the name and its end
    EXPECT_STREQ(name, "ImvelaM52-ZKR_01");
    EXPECT_TRUE(errors().empty());

    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(Imvela_GetDeviceName(handle, 5, name, 14), 0);
    EXPECT_EQ(Imvela_GetDeviceName(handle, 5, name, 16), 0);  // no room for the end
    EXPECT_EQ(Imvela_GetDeviceName(handle, 5, nullptr, 32), 0);
    EXPECT_EQ(Imvela_GetDeviceName(handle, 32, name, 32), 0);
    EXPECT_EQ(Imvela_GetDeviceName(handle, -1, name, 32), 0);
    EXPECT_EQ(Imvela_GetDeviceName(handle, INT32_MAX, name, 32), 0);
    EXPECT_EQ(errors(), Codes(6, ERR_ARGUMENT));
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(Imvela_GetDeviceName(handle, 1, name, 32), 0);
    EXPECT_EQ(errors(), Codes{ERR_DEVICE_UNAVAILABLE});

    IMVELA_WCHAR wname[32];
    EXPECT_EQ(Imvela_GetDeviceNameW(handle, 2, wname, 32), 1);
    EXPECT_EQ(wide(wname), u"ImvelaM52-ZKR_03");
    EXPECT_EQ(Imvela_GetDeviceNameW(handle, 2, wname, 14), 0);
    EXPECT_EQ(Imvela_GetDeviceNameW(handle, 3, wname, 32), 0);
    EXPECT_EQ(errors(), (Codes{ERR_DEVICE_UNAVAILABLE, ERR_ARGUMENT}));
}

TEST_F(ThreeCameras, CameraInformationNeedsARecordOfThirtySixBytes) {
    ImvelaCameraInfo info{};
    info.size = 35;
    EXPECT_EQ(Imvela_GetCameraInfo(handle, &info), 0);
    EXPECT_EQ(info.total_width, 0);
    EXPECT_EQ(Imvela_GetCameraInfo(handle, nullptr), 0);
    EXPECT_EQ(errors(), (Codes{ERR_ARGUMENT, ERR_BUFFER}));
    info.size = 36;
    EXPECT_EQ(Imvela_GetCameraInfo(handle, &info), 1);
    EXPECT_EQ(info.size, 36);
    EXPECT_EQ(info.total_width, 1292);
    EXPECT_EQ(info.total_height, 1040);
    EXPECT_EQ(info.gain_min, 0);
    EXPECT_EQ(info.gain_max, 11);
    EXPECT_EQ(info.reserved1, 0);
    EXPECT_EQ(info.reserved2, 0);
    EXPECT_EQ(info.exposure_min, 1);
    EXPECT_EQ(info.exposure_max, 32767);
}

TEST_F(ThreeCameras, MissingDeviceNumberKeepsTheCurrentDevice) {
    for (int32_t n : {7, 1, 32, -1}) {
        EXPECT_EQ(Imvela_SetDeviceNumber(handle, n), 0) << n;
        EXPECT_EQ(errors(), Codes{ERR_DEVICE_UNAVAILABLE}) << n;
    }
    ASSERT_EQ(Imvela_SetGlobalGain(handle, 5), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x23), 0x1717);
}

TEST_F(ThreeCameras, ChosenDeviceStaysChosenAcrossEnumeration) {
    ASSERT_EQ(Imvela_SetDeviceNumber(handle, 5), 1);
    char names[10][256];
    EXPECT_EQ(Imvela_EnumDevice(handle, names), 3);
    ASSERT_EQ(Imvela_WriteRegisterEx(handle, 0x1111, 0x5005), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(5, 0x1111), 0x5005);
    EXPECT_NE(ImvelaEmu_ReadRegister(0, 0x1111), 0x5005);
}

TEST_F(ThreeCameras, DeviceSwitchSavesAndReloadsEachDevicesSettings) {
    ASSERT_EQ(Imvela_SetBrightness(handle, 10), 1);
    ASSERT_EQ(Imvela_SetExposureTime(handle, 1000), 1);
    ASSERT_EQ(Imvela_SetGrayGainB(handle, 7), 1);
    ASSERT_EQ(Imvela_SetMirrorH(handle, 1), 1);

    // A device never used before starts from the defaults, applied to its sensor.
    ASSERT_EQ(Imvela_SetDeviceNumber(handle, 2), 1);
    EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), 0);
    EXPECT_EQ(Imvela_GetGrayGainB(handle, nullptr), 128);
    EXPECT_EQ(Imvela_GetBayerGainRed(handle, nullptr), 100);
    EXPECT_EQ(Imvela_GetExposureTime(handle, nullptr), 637);
    EXPECT_EQ(ImvelaEmu_ReadRegister(2, 0x0F), 637);
    // Mirrors default to the device object's state, which a device change keeps
    // (horizontal) or clears (vertical), and are applied to the new sensor.
    EXPECT_EQ(Imvela_GetMirrorH(handle), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(2, 0x02) & 3, 2);
    ASSERT_EQ(Imvela_SetMirrorH(handle, 0), 1);
    ASSERT_EQ(Imvela_SetBrightness(handle, 20), 1);
    ASSERT_EQ(Imvela_SetGlobalGain(handle, 3), 1);

    ASSERT_EQ(Imvela_SetDeviceNumber(handle, 0), 1);
    EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), 10);
    EXPECT_EQ(Imvela_GetGrayGainB(handle, nullptr), 7);
    EXPECT_EQ(Imvela_GetMirrorH(handle), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x0F), 1000);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x02) & 2, 2);

    ASSERT_EQ(Imvela_SetDeviceNumber(handle, 2), 1);
    EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), 20);
    EXPECT_EQ(Imvela_GetMirrorH(handle), 0);
    EXPECT_EQ(Imvela_GetGlobalGain(handle, nullptr), 3);

    // A failed switch still saves the current device's groups first: another camera
    // object that chooses device 2 finds them.
    ASSERT_EQ(Imvela_SetBrightness(handle, 30), 1);
    EXPECT_EQ(Imvela_SetDeviceNumber(handle, 9), 0);
    EXPECT_EQ(errors(), Codes{ERR_DEVICE_UNAVAILABLE});
    const int32_t other = Imvela_Initialize(nullptr);
    ASSERT_EQ(Imvela_SetDeviceNumber(other, 2), 1);
    EXPECT_EQ(Imvela_GetBrightness(other, nullptr), 30);
    EXPECT_EQ(Imvela_Release(other), 1);

    // Release saves; a new camera object starts on device 0 with its settings.
    ASSERT_EQ(Imvela_SetDeviceNumber(handle, 0), 1);
    ASSERT_EQ(Imvela_SetBrightness(handle, 11), 1);
    close();
    open();
    EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), 11);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x0F), 1000);
}

TEST_F(CameraTest, FirstUseGivesTheDefaults) {
    EXPECT_EQ(Imvela_GetColorMode(handle), 24);  // "Color" 2 written on first use
    EXPECT_EQ(Imvela_GetWaitTime(handle), 1);
    EXPECT_EQ(Imvela_GetSubSample(handle), 0);
    // One value of each stored group; the whole table of defaults is the store's (CameraSettingsTest).
    const int32_t stored_defaults[][2] = {{7, 100}, {11, 100}, {12, 3}, {23, 128}};
    for (const auto& d : stored_defaults) EXPECT_EQ(Imvela_GetFilterValue(handle, d[0], nullptr), d[1]) << d[0];
    EXPECT_EQ(Imvela_GetGlobalGain(handle, nullptr), 0);
    EXPECT_EQ(Imvela_GetExposureTime(handle, nullptr), 637);
    EXPECT_EQ(Imvela_GetMirrorH(handle), 0);
    EXPECT_EQ(Imvela_GetMirrorV(handle), 0);
}

TEST_F(CameraWithoutDevice, InitialisationFailureKeepsTheHandleUsable) {
    EXPECT_EQ(posted(), Posted{ERR_BUFFER});
    EXPECT_EQ(errors(), Codes{ERR_BUFFER});
    char names[10][256];
    EXPECT_EQ(Imvela_EnumDevice(handle, names), 0);
    IMVELA_WCHAR wnames[10][256];
    EXPECT_EQ(Imvela_EnumDeviceW(handle, wnames), 0);
    EXPECT_EQ(Imvela_GetDeviceName(handle, 0, names[0], 256), 0);
    EXPECT_EQ(Imvela_GetDeviceNameW(handle, 0, wnames[0], 256), 0);
    EXPECT_EQ(Imvela_SetDeviceNumber(handle, 0), 0);
    ImvelaCameraInfo info{};
    info.size = 36;
    EXPECT_EQ(Imvela_GetCameraInfo(handle, &info), 0);
    EXPECT_EQ(errors(), Codes(6, ERR_NOT_READY));
    // Settings that need no device still work.
    EXPECT_EQ(Imvela_SetColorMode(handle, 16), 1);
    EXPECT_EQ(Imvela_GetColorMode(handle), 12);
    EXPECT_EQ(Imvela_Width(handle), 1280);
    EXPECT_EQ(Imvela_Release(handle), 1);
    handle = 0;
}

TEST_F(CameraTest, FailedCameraDoesNotOverwriteStoredSettings) {
    ASSERT_EQ(Imvela_SetBrightness(handle, 42), 1);
    close();
    {
        ScopedEnvironment unmappable("IMVELA_SHM_NAME", "ImvelaTests/no\\such\\table");
        open();  // fails: nothing loaded, so nothing may be saved
        close();
    }
    open();
    EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), 42);
}

TEST_F(CameraWithoutCamera, CameraObjectWorksWithoutAnyCamera) {
    EXPECT_TRUE(posted().empty());  // initialisation itself does not fail
    char names[10][256];
    EXPECT_EQ(Imvela_EnumDevice(handle, names), 0);
    for (auto& name : names) EXPECT_EQ(name[0], '\0');
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(Imvela_GetDeviceName(handle, 0, names[0], 256), 0);
    EXPECT_EQ(Imvela_SetDeviceNumber(handle, 0), 0);
    EXPECT_EQ(errors(), (Codes{ERR_DEVICE_UNAVAILABLE, ERR_DEVICE_UNAVAILABLE}));
    ImvelaCameraInfo info{};
    info.size = 36;
    EXPECT_EQ(Imvela_GetCameraInfo(handle, &info), 1);  // the model's constants
    EXPECT_EQ(info.exposure_max, 32767);
    // Stored settings work; requests to the sensor fail as device errors.
    EXPECT_EQ(Imvela_SetBrightness(handle, 5), 1);
    EXPECT_EQ(Imvela_GetBrightness(handle, nullptr), 5);
    int32_t ok = 1;
    EXPECT_EQ(Imvela_GetGlobalGain(handle, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Imvela_ReadRegisterEx(handle, 0x0F, &ok), 0);
    EXPECT_EQ(errors(), (Codes{ERR_DEVICE_IO, ERR_DEVICE_IO}));
}

}  // namespace
