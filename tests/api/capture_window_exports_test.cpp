// The capture window and the preview placement through the exports.
#include "camera_fixture.h"

namespace {

using CaptureWindowExports = CameraTest;

struct Window {
    int32_t total_width, h_start, width, total_height, v_start, height;
    bool operator==(const Window& o) const {
        return total_width == o.total_width && h_start == o.h_start && width == o.width &&
               total_height == o.total_height && v_start == o.v_start && height == o.height;
    }
};

Window window_of(int32_t handle) {
    Window w{-1, -1, -1, -1, -1, -1};
    EXPECT_EQ(Imvela_GetCaptureWindowEx(handle, &w.total_width, &w.h_start, &w.width, &w.total_height, &w.v_start,
                                        &w.height),
              1);
    return w;
}

TEST_F(CaptureWindowExports, DefaultsAndNullPointers) {
    EXPECT_TRUE(window_of(handle) == (Window{1292, 0, 1280, 1040, 0, 1024}));
    EXPECT_EQ(Imvela_Width(handle), 1280);
    EXPECT_EQ(Imvela_Height(handle), 1024);
    EXPECT_EQ(Imvela_GetCaptureWindowEx(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    int32_t height = 0;
    EXPECT_EQ(Imvela_GetCaptureWindowEx(handle, nullptr, nullptr, nullptr, nullptr, nullptr, &height), 1);
    EXPECT_EQ(height, 1024);
}

TEST_F(CaptureWindowExports, ValidWindowIsStoredAndProgrammed) {
    EXPECT_EQ(Imvela_SetCaptureWindowEx(handle, 700, 3, 640, 600, 5, 480), 1);
    EXPECT_TRUE(window_of(handle) == (Window{700, 3, 640, 600, 5, 480}));  // totals are not judged
    EXPECT_EQ(Imvela_Width(handle), 640);
    EXPECT_EQ(Imvela_Height(handle), 480);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x07), 640);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x05), 480);
    EXPECT_TRUE(errors().empty());
    // The sensor's last column and row.
    EXPECT_EQ(Imvela_SetCaptureWindowEx(handle, 1292, 1288, 4, 1040, 1039, 1), 1);
}

TEST_F(CaptureWindowExports, WindowOutsideTheSensorIsStoredButRefused) {
    EXPECT_EQ(Imvela_SetCaptureWindowEx(handle, 1292, 20, 1280, 1040, 0, 1024), 0);
    EXPECT_EQ(errors(), Codes{ERR_CAPTURE_WINDOW});
    EXPECT_TRUE(window_of(handle) == (Window{1292, 20, 1280, 1040, 0, 1024}));
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x06), 132);  // the device keeps its window
}

TEST_F(CaptureWindowExports, WindowTheSensorCannotReadOutIsRefused) {
    // Inside the sensor, but fewer than 4 columns: programming it fails.
    EXPECT_EQ(Imvela_SetCaptureWindowEx(handle, 1292, 0, 3, 1040, 0, 100), 0);
    EXPECT_EQ(errors(), Codes{ERR_CAPTURE_WINDOW});
    EXPECT_EQ(Imvela_Width(handle), 3);  // stored all the same
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x07), 1280);
}

TEST_F(CaptureWindowExports, StoredSizeIsLookedUpByEffectiveSize) {
    ASSERT_EQ(Imvela_SetCaptureWindowEx(handle, 700, 8, 640, 600, 8, 480), 1);
    EXPECT_EQ(Imvela_SetCaptureWindow(handle, 1280, 1024), 1);  // the default entry 00
    EXPECT_TRUE(window_of(handle) == (Window{1292, 0, 1280, 1040, 0, 1024}));
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x07), 1280);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x05), 1024);
    for (auto size : {std::pair<int32_t, int32_t>{640, 480}, {1024, 1280}, {0, 0}}) {
        EXPECT_EQ(Imvela_SetCaptureWindow(handle, size.first, size.second), 0);
        EXPECT_EQ(errors(), Codes{ERR_WINDOW});
    }
    EXPECT_TRUE(window_of(handle) == (Window{1292, 0, 1280, 1040, 0, 1024}));
}

TEST_F(CaptureWindowExports, StoredSizeOfAnotherDeviceKeyIsMissing) {
    // Camera_02 has no key yet: no size table to look in.
    ScopedEnvironment more("IMVELA_EMULATOR", "0,2");
    char names[10][256];
    ASSERT_EQ(Imvela_EnumDevice(handle, names), 2);
    ASSERT_EQ(Imvela_SetDeviceNumber(handle, 2), 1);
    EXPECT_EQ(Imvela_SetCaptureWindow(handle, 1280, 1024), 0);
    EXPECT_EQ(errors(), Codes{ERR_WINDOW});
}

TEST_F(CaptureWindowExports, PreviewPlacementIsStored) {
    EXPECT_EQ(Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
    EXPECT_EQ(Imvela_SetPreviewWindow(handle, window.handle(), 10, 20, 320, 240), 1);
    EXPECT_EQ(Imvela_SetPreviewWindow(handle, nullptr, -5, -5, -1, -1), 1);
    EXPECT_TRUE(errors().empty());
}

TEST_F(CameraWithoutDevice, WindowSettersNeedTheDeviceButTheGetterDoesNot) {
    errors();
    EXPECT_EQ(Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 10, 10), 0);
    EXPECT_EQ(Imvela_SetCaptureWindow(handle, 1280, 1024), 0);
    EXPECT_EQ(Imvela_SetCaptureWindowEx(handle, 1292, 0, 640, 1040, 0, 480), 0);
    EXPECT_EQ(errors(), (Codes{ERR_NOT_READY, ERR_NOT_READY, ERR_NOT_READY}));
    EXPECT_TRUE(window_of(handle) == (Window{1292, 0, 1280, 1040, 0, 1024}));
    EXPECT_EQ(Imvela_Width(handle), 1280);
    EXPECT_EQ(Imvela_Height(handle), 1024);
}

}  // namespace
