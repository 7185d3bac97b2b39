// Capture and pipeline exports as an application calls them, on the emulated camera.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ImvelaSdk.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/test_window.h"
#include "support/wait.h"

namespace {

class CaptureExports : public ::testing::Test {
protected:
    ScopedEnvironment cameras_{"IMVELA_EMULATOR", "0"};
    ScopedEnvironment scene_{"IMVELA_EMULATOR_SCENE", "ramp"};
    ScopedEnvironment fps_{"IMVELA_EMULATOR_FPS", "0"};
    ScratchSettings store_;
    ScopedEnvironment root_{"IMVELA_SETTINGS_ROOT", store_.root().c_str()};
};

std::vector<int32_t> drain_errors(int32_t handle) {
    std::vector<int32_t> codes;
    for (int32_t code; codes.size() < 64 && (code = Imvela_GetLastError(handle)) != 0;) codes.push_back(code);
    return codes;
}

std::vector<IMVELA_WCHAR> wide(const std::string& ascii) {
    std::vector<IMVELA_WCHAR> out(ascii.begin(), ascii.end());
    out.push_back(0);
    return out;
}

}  // namespace

TEST_F(CaptureExports, DeviceChoiceIsRefusedWhileACaptureRuns) {
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Imvela_SetPreviewWindow(h, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Imvela_SetCaptureWindowEx(h, 1292, 0, 64, 1040, 0, 16), 1);
    int32_t (*const starts[])(int32_t) = {
        [](int32_t x) { return Imvela_StartPreview(x); },
        [](int32_t x) { return Imvela_Capture(x); },
        [](int32_t x) { return Imvela_Trigger(x, nullptr, nullptr, 0, 0); },
    };
    for (auto start : starts) {
        drain_errors(h);
        ASSERT_EQ(start(h), 1);
        EXPECT_EQ(Imvela_SetDeviceNumber(h, 0), 0);
        EXPECT_EQ(drain_errors(h), std::vector<int32_t>{ERR_NOT_READY});
        EXPECT_EQ(Imvela_StopPreview(h), 1);
    }
    EXPECT_EQ(Imvela_SetDeviceNumber(h, 0), 1);
    Imvela_Release(h);
}

TEST_F(CaptureExports, WithoutACameraCaptureReportsTheMissingDevice) {
    ScopedEnvironment none("IMVELA_EMULATOR", "none");
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(h, 0);
    drain_errors(h);
    std::vector<uint8_t> image(64);
    int32_t ok = 0;
    EXPECT_EQ(Imvela_StartPreview(h), 0);
    EXPECT_EQ(Imvela_Capture(h), 0);
    EXPECT_EQ(Imvela_SnapShot(h, image.data(), 64, 0), 0);
    EXPECT_EQ(Imvela_GetImage(h, image.data(), 64, 0), 0);
    // Preparation finds no device (2), the export adds "not ready" (1); no image yet (5).
    EXPECT_EQ(drain_errors(h), (std::vector<int32_t>{5, 1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(Imvela_StopPreview(h), 1);
    EXPECT_EQ(Imvela_Close(h), 1);
    // No register to read: no line length, no exposure time.
    EXPECT_EQ(Imvela_GetRealExposureTime(h, &ok), 0);
    EXPECT_EQ(ok, 1);
    // Settings of the pipeline need no camera.
    EXPECT_EQ(Imvela_SetAutoIris(h, 2), 1);
    EXPECT_EQ(Imvela_GetAutoIris(h, &ok), 2);
    EXPECT_EQ(Imvela_SetConfigFilter(h, 1), 1);
    EXPECT_EQ(Imvela_GetConfigFilter(h), 1);
    EXPECT_EQ(drain_errors(h), std::vector<int32_t>{});
    Imvela_Release(h);
}

TEST_F(CaptureExports, SnapShotDeliversTheFrameAndChecksTheBufferSize) {
    TestWindow notify;
    const int32_t h = Imvela_Initialize(notify.handle());
    ASSERT_EQ(drain_errors(h), std::vector<int32_t>{});
    ASSERT_EQ(Imvela_SetColorMode(h, 8), 1);
    std::vector<uint8_t> image(1280 * 1024);
    EXPECT_EQ(Imvela_SnapShot(h, image.data(), 1280 * 1024 - 1, 1), 0);
    EXPECT_EQ(drain_errors(h), std::vector<int32_t>{ERR_BUFFER});
    notify.drain();
    ASSERT_EQ(Imvela_SnapShot(h, image.data(), 1280 * 1024, 1), 1);
    for (int32_t r : {0, 1, 517, 1023})
        for (int32_t x : {0, 3, 640, 1279}) EXPECT_EQ(image[r * 1280 + x], (x + 2 * r) % 256) << x << "," << r;
    std::vector<uint8_t> again(1280 * 1024);
    ASSERT_EQ(Imvela_GetImage(h, again.data(), 1280 * 1024, 0), 1);
    for (int32_t x : {0, 700}) EXPECT_EQ(again[x], image[1023 * 1280 + x]);
    EXPECT_EQ(Imvela_SnapShot(h, nullptr, 0, 0), 1);  // processed, not copied
    EXPECT_EQ(drain_errors(h), std::vector<int32_t>{});
    Imvela_Release(h);
}

TEST_F(CaptureExports, PreviewOwnsTheCameraUntilStopped) {
    const int32_t a = Imvela_Initialize(nullptr);
    const int32_t b = Imvela_Initialize(nullptr);
    drain_errors(a);
    drain_errors(b);
    ASSERT_EQ(Imvela_StartPreview(a), 1);
    EXPECT_EQ(Imvela_StartPreview(a), 1);
    EXPECT_EQ(Imvela_Capture(a), 0);
    EXPECT_EQ(Imvela_SnapShot(a, nullptr, 0, 0), 0);
    EXPECT_EQ(drain_errors(a), (std::vector<int32_t>{ERR_NOT_READY, ERR_NOT_READY}));
    // The other handle sees the device in use.
    EXPECT_EQ(Imvela_Capture(b), 0);
    EXPECT_EQ(drain_errors(b), (std::vector<int32_t>{ERR_NOT_READY, ERR_DEVICE_UNAVAILABLE}));
    EXPECT_EQ(Imvela_StopPreview(a), 1);
    EXPECT_EQ(Imvela_Capture(b), 1);
    EXPECT_EQ(Imvela_StopPreview(b), 1);
    EXPECT_EQ(Imvela_Capture(a), 1);
    Imvela_Release(a);
    Imvela_Release(b);
}

TEST_F(CaptureExports, ASecondHandleLeavesTheStreamingCameraAsProgrammed) {
    // A 16-bit stream on device 0, then a new handle, which opens device 0 first: the stream
    // goes on with its sample width and transfer size.
    const int32_t a = Imvela_Initialize(nullptr);
    ASSERT_EQ(Imvela_SetColorMode(a, 48), 1);
    ASSERT_EQ(Imvela_StartPreview(a), 1);
    const int32_t b = Imvela_Initialize(nullptr);
    ASSERT_NE(b, 0);
    const int32_t frames = ImvelaEmu_FrameCount(0);
    EXPECT_TRUE(wait_until([&] { return ImvelaEmu_FrameCount(0) >= frames + 3; }));
    EXPECT_EQ(drain_errors(a), std::vector<int32_t>{});
    Imvela_Release(b);
    Imvela_Release(a);
}

TEST_F(CaptureExports, FailedTransferStopsTheStreamButNotThePreviewMode) {
    const int32_t h = Imvela_Initialize(nullptr);
    drain_errors(h);
    ASSERT_EQ(Imvela_StartPreview(h), 1);
    ASSERT_EQ(ImvelaEmu_InjectFault(0, IMVELA_EMU_FAULT_FAILED_REQUEST, 1), 1);
    int32_t code = 0;
    EXPECT_TRUE(wait_until([&] { return (code = Imvela_GetLastError(h)) != 0; }));
    EXPECT_EQ(code, ERR_TIMEOUT);
    EXPECT_EQ(Imvela_Capture(h), 0);  // still previewing until stopped
    EXPECT_EQ(Imvela_GetLastError(h), ERR_NOT_READY);
    EXPECT_EQ(Imvela_StopPreview(h), 1);
    EXPECT_EQ(Imvela_Capture(h), 1);
    // A failed single read: transfer error.
    ASSERT_EQ(ImvelaEmu_InjectFault(0, IMVELA_EMU_FAULT_FAILED_REQUEST, 1), 1);
    EXPECT_EQ(Imvela_SnapShot(h, nullptr, 0, 0), 0);
    EXPECT_EQ(drain_errors(h), std::vector<int32_t>{ERR_TRANSFER});
    Imvela_Release(h);
}


TEST_F(CaptureExports, PipelineSettingsRefuseOutOfRangeValues) {
    TestWindow notify;
    const int32_t h = Imvela_Initialize(notify.handle());
    drain_errors(h);
    notify.drain();
    int32_t ok = 0;
    EXPECT_EQ(Imvela_SetAutoIris(h, 3), 0);
    EXPECT_EQ(Imvela_SetAutoIris(h, -1), 0);
    const auto posted = notify.drain();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].message, static_cast<uint32_t>(WM_CAMERA_ERROR));
    EXPECT_EQ(posted[0].lparam, ERR_ARGUMENT);
    EXPECT_EQ(Imvela_GetLastError(h), 0);  // posted only
    EXPECT_EQ(Imvela_GetAutoIris(h, &ok), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Imvela_SetAutoIris(h, 1), 1);
    EXPECT_EQ(Imvela_GetAutoIris(h, nullptr), 1);

    EXPECT_EQ(Imvela_SetConfigFilter(h, 2), 0);
    EXPECT_EQ(Imvela_GetLastError(h), ERR_ARGUMENT);
    EXPECT_EQ(Imvela_GetConfigFilter(h), 0);
    Imvela_Release(h);
}

TEST_F(CaptureExports, ConfigFileLoadsThroughBothNameForms) {
    const int32_t h = Imvela_Initialize(nullptr);
    drain_errors(h);
    const std::string path = std::string(testing::TempDir()) + unique_test_name() + ".defects";
    FILE* f = std::fopen(path.c_str(), "wb");
    const int32_t records[5] = {10, 20, 30, 40, 99};  // two records and a partial one
    std::fwrite(records, 4, 5, f);
    std::fclose(f);
    EXPECT_EQ(Imvela_LoadConfigFileA(h, path.c_str()), 1);
    EXPECT_EQ(Imvela_LoadConfigFileW(h, wide(path).data()), 1);
    EXPECT_EQ(Imvela_LoadConfigFileA(h, (path + ".missing").c_str()), 0);
    EXPECT_EQ(Imvela_LoadConfigFileA(h, nullptr), 0);
    EXPECT_EQ(Imvela_GetLastError(h), 0);
    const IMVELA_WCHAR unpaired[] = {'a', 0xD800, 'b', 0};
    EXPECT_EQ(Imvela_LoadConfigFileW(h, unpaired), 0);
    EXPECT_EQ(Imvela_GetLastError(h), ERR_FILE);
    std::remove(path.c_str());
    Imvela_Release(h);
}

// The application handles WM_CAMERA_FRAME on its own thread: from there it may read the
// image, stop and re-arm the trigger, close and release, each within a second, and the
// stream of triggered frames goes on between them.
TEST_F(CaptureExports, FrameHandlerMayStopReArmCloseAndRelease) {
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Imvela_SetPreviewWindow(h, nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(Imvela_SetCaptureWindowEx(h, 1292, 0, 64, 1040, 0, 16), 1);
    ASSERT_EQ(Imvela_SetColorMode(h, 8), 1);
    std::vector<uint8_t> image(64 * 16);
    TestWindow window;
    auto arm = [&] { return Imvela_Trigger(h, window.handle(), image.data(), static_cast<int32_t>(image.size()), 0); };
    // The handler's calls in turn, one per delivered frame; 20 stop-and-re-arm rounds first.
    std::vector<std::pair<const char*, std::function<int32_t()>>> calls;
    for (int i = 0; i < 20; ++i) calls.emplace_back("stop and re-arm", [&] { return Imvela_StopPreview(h) & arm(); });
    calls.emplace_back("get image", [&] { return Imvela_GetImage(h, image.data(), static_cast<int32_t>(image.size()), 0); });
    calls.emplace_back("close and re-arm", [&] { return Imvela_Close(h) & arm(); });
    calls.emplace_back("release", [&] { return Imvela_Release(h); });
    ASSERT_EQ(arm(), 1);
    for (auto& call : calls) {
        SCOPED_TRACE(call.first);
        ASSERT_EQ(ImvelaEmu_Trigger(0), 1);
        PostedMessage m{};
        bool framed = false;
        while (!framed && window.next(&m, 5000)) framed = m.message == WM_CAMERA_FRAME;
        ASSERT_TRUE(framed);
        ASSERT_EQ(m.lparam, 0);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(call.second(), 1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
}
