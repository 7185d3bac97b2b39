#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <cstdlib>
#include <thread>
#include <vector>

#include "ImvelaSdk.h"
#include "support/binary_exports.h"
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

namespace {

// Every export that takes a camera handle, called with a handle no camera has: its failure
// value, and its outputs as documented (flags cleared, other outputs left as they were). The
// one place this is checked; a new export needs its row (the list check below fails without).
constexpr int32_t kOutputTouched = 0x7E57;  // an output changed that must not be
// (Each row calls first and then passes the output: argument order is not sequenced.)
int32_t cleared(int32_t result, int32_t flag) { return flag == 0 ? result : kOutputTouched; }
int32_t untouched(int32_t result, int32_t output) { return output == 77 ? result : kOutputTouched; }
int32_t untouched(int32_t result, uint8_t output) { return untouched(result, int32_t{output}); }

struct UnknownHandleCase {
    const char* name;
    int32_t failure;
    int32_t (*call)(int32_t handle);
};

// clang-format off: one row a line
const UnknownHandleCase kUnknownHandleCases[] = {
    {"Imvela_Release", 0, [](int32_t h) { return Imvela_Release(h); }},
    {"Imvela_GetLastError", 0, [](int32_t h) { return Imvela_GetLastError(h); }},
    {"Imvela_EnumDevice", 0, [](int32_t h) { char names[10][256]; return Imvela_EnumDevice(h, names); }},
    {"Imvela_EnumDeviceW", 0, [](int32_t h) { IMVELA_WCHAR names[10][256]; return Imvela_EnumDeviceW(h, names); }},
    {"Imvela_GetDeviceName", 0, [](int32_t h) { char name[256]; return Imvela_GetDeviceName(h, 0, name, 256); }},
    {"Imvela_GetDeviceNameW", 0, [](int32_t h) { IMVELA_WCHAR name[256]; return Imvela_GetDeviceNameW(h, 0, name, 256); }},
    {"Imvela_SetDeviceNumber", 0, [](int32_t h) { return Imvela_SetDeviceNumber(h, 0); }},
    {"Imvela_GetCameraInfo", 0, [](int32_t h) { ImvelaCameraInfo info{}; info.size = sizeof info; return Imvela_GetCameraInfo(h, &info); }},
    {"Imvela_Preview", 0, [](int32_t h) { return Imvela_Preview(h); }},
    {"Imvela_CallBackPreview", 0, [](int32_t h) { uint8_t pixel = 0; return Imvela_CallBackPreview(h, nullptr, &pixel, 1, 0); }},
    {"Imvela_StartPreview", 0, [](int32_t h) { return Imvela_StartPreview(h); }},
    {"Imvela_StopPreview", 0, [](int32_t h) { return Imvela_StopPreview(h); }},
    {"Imvela_Capture", 0, [](int32_t h) { return Imvela_Capture(h); }},
    {"Imvela_SnapShot", 0, [](int32_t h) { uint8_t pixel = 77; const int32_t r = Imvela_SnapShot(h, &pixel, 1, 0); return untouched(r, pixel); }},
    {"Imvela_Trigger", 0, [](int32_t h) { return Imvela_Trigger(h, nullptr, nullptr, 0, 0); }},
    {"Imvela_GetImage", 0, [](int32_t h) { uint8_t pixel = 77; const int32_t r = Imvela_GetImage(h, &pixel, 1, 0); return untouched(r, pixel); }},
    {"Imvela_Close", 0, [](int32_t h) { return Imvela_Close(h); }},
    {"Imvela_GetStatus", 0, [](int32_t h) { return Imvela_GetStatus(h, 5); }},
    {"Imvela_SetPreviewWindow", 0, [](int32_t h) { return Imvela_SetPreviewWindow(h, nullptr, 0, 0, 0, 0); }},
    {"Imvela_SetCaptureWindow", 0, [](int32_t h) { return Imvela_SetCaptureWindow(h, 1280, 1024); }},
    {"Imvela_SetCaptureWindowEx", 0, [](int32_t h) { return Imvela_SetCaptureWindowEx(h, 1292, 0, 640, 1040, 0, 480); }},
    {"Imvela_GetCaptureWindowEx", 0, [](int32_t h) { int32_t v[6] = {77, 77, 77, 77, 77, 77}; int32_t result = Imvela_GetCaptureWindowEx(h, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]); for (int32_t x : v) result = untouched(result, x); return result; }},
    {"Imvela_Width", 0, [](int32_t h) { return Imvela_Width(h); }},
    {"Imvela_Height", 0, [](int32_t h) { return Imvela_Height(h); }},
    {"Imvela_SetColorMode", 0, [](int32_t h) { return Imvela_SetColorMode(h, 8); }},
    {"Imvela_GetColorMode", -1, [](int32_t h) { return Imvela_GetColorMode(h); }},
    {"Imvela_SetSubSample", 0, [](int32_t h) { return Imvela_SetSubSample(h, 0); }},
    {"Imvela_GetSubSample", -1, [](int32_t h) { return Imvela_GetSubSample(h); }},
    {"Imvela_SetWaitTime", 0, [](int32_t h) { return Imvela_SetWaitTime(h, 5); }},
    {"Imvela_GetWaitTime", -1, [](int32_t h) { return Imvela_GetWaitTime(h); }},
    {"Imvela_GetVideoFormat", 0, [](int32_t h) { int32_t v = 77; const int32_t r = Imvela_GetVideoFormat(h, &v); return untouched(r, v); }},
    {"Imvela_GetSamplingRate", 0, [](int32_t h) { int32_t v = 77; const int32_t r = Imvela_GetSamplingRate(h, &v); return untouched(r, v); }},
    {"Imvela_SetFilterValue", 0, [](int32_t h) { return Imvela_SetFilterValue(h, 1, 0); }},
    {"Imvela_GetFilterValue", 0, [](int32_t h) { int32_t ok = 1; const int32_t r = Imvela_GetFilterValue(h, 1, &ok); return cleared(r, ok); }},
    {"Imvela_SetConfigFilter", 0, [](int32_t h) { return Imvela_SetConfigFilter(h, 1); }},
    {"Imvela_GetConfigFilter", 0, [](int32_t h) { return Imvela_GetConfigFilter(h); }},
    {"Imvela_LoadConfigFileA", 0, [](int32_t h) { return Imvela_LoadConfigFileA(h, "x"); }},
    {"Imvela_LoadConfigFileW", 0, [](int32_t h) { return Imvela_LoadConfigFileW(h, nullptr); }},
    {"Imvela_SetMirrorH", 0, [](int32_t h) { return Imvela_SetMirrorH(h, 1); }},
    {"Imvela_GetMirrorH", 0, [](int32_t h) { return Imvela_GetMirrorH(h); }},
    {"Imvela_SetMirrorV", 0, [](int32_t h) { return Imvela_SetMirrorV(h, 1); }},
    {"Imvela_GetMirrorV", 0, [](int32_t h) { return Imvela_GetMirrorV(h); }},
    {"Imvela_SetAutoIris", 0, [](int32_t h) { return Imvela_SetAutoIris(h, 1); }},
    {"Imvela_GetAutoIris", 0, [](int32_t h) { int32_t ok = 1; const int32_t r = Imvela_GetAutoIris(h, &ok); return cleared(r, ok); }},
    {"Imvela_SetRealExposureTime", 0, [](int32_t h) { return Imvela_SetRealExposureTime(h, 20000); }},
    {"Imvela_GetRealExposureTime", 0, [](int32_t h) { int32_t ok = 1; const int32_t r = Imvela_GetRealExposureTime(h, &ok); return cleared(r, ok) | Imvela_GetRealExposureTime(h, nullptr); }},
    {"Imvela_ReadRegister", 0, [](int32_t h) { int32_t ok = 1; const int32_t r = Imvela_ReadRegister(h, 1, &ok); return cleared(r, ok); }},
    {"Imvela_ReadRegisterEx", 0, [](int32_t h) { int32_t ok = 1; const int32_t r = Imvela_ReadRegisterEx(h, 1, &ok); return cleared(r, ok); }},
    {"Imvela_WriteRegister", 0, [](int32_t h) { return Imvela_WriteRegister(h, 1, 1); }},
    {"Imvela_WriteRegisterEx", 0, [](int32_t h) { return Imvela_WriteRegisterEx(h, 1, 1); }},
    {"Imvela_ReadSromID", 0, [](int32_t h) { int32_t ok = 1; const int32_t r = Imvela_ReadSromID(h, 1, &ok); return cleared(r, ok); }},
    {"Imvela_WriteSromID", 0, [](int32_t h) { return Imvela_WriteSromID(h, 1, 1); }},
    {"Imvela_GetIOPort", 0, [](int32_t h) { uint8_t v = 77; const int32_t r = Imvela_GetIOPort(h, &v, 0, 0); return untouched(r, v); }},
    {"Imvela_SetIOPort", 0, [](int32_t h) { return Imvela_SetIOPort(h, 1); }},
    {"Imvela_SetImageDlg", 0, [](int32_t h) { return Imvela_SetImageDlg(h, nullptr); }},
    {"Imvela_SetAnalogDlg", 0, [](int32_t h) { return Imvela_SetAnalogDlg(h, nullptr); }},
    {"Imvela_SetCameraDlg", 0, [](int32_t h) { return Imvela_SetCameraDlg(h, nullptr); }},
    {"Imvela_SaveImage", 0, [](int32_t h) { return Imvela_SaveImage(h, "no-such-folder/still.bmp", 0); }},
    {"Imvela_SaveImageW", 0, [](int32_t h) { return Imvela_SaveImageW(h, nullptr, 0); }},
    {"Imvela_Record", 0, [](int32_t h) { return Imvela_Record(h, "no-such-folder/video.avi", 100, 0); }},
    {"Imvela_RecordW", 0, [](int32_t h) { return Imvela_RecordW(h, nullptr, 100, 0); }},
    {"Imvela_Fpga_ReadRegister", 0, [](int32_t h) { return Imvela_Fpga_ReadRegister(h, 1); }},
    {"Imvela_Fpga_WriteRegister", 0, [](int32_t h) { return Imvela_Fpga_WriteRegister(h, 1, 1); }},
    {"Imvela_Fps", 0, [](int32_t h) { return Imvela_Fps(h); }},
    {"Imvela_GetHalfClock", 0, [](int32_t h) { return Imvela_GetHalfClock(h); }},
    {"Imvela_SetCrossbar", 0, [](int32_t h) { return Imvela_SetCrossbar(h, 1); }},
    {"Imvela_SetHalfClock", 0, [](int32_t h) { return Imvela_SetHalfClock(h, 1); }},
    {"Imvela_SetSamplingRate", 0, [](int32_t h) { return Imvela_SetSamplingRate(h, 1); }},
    {"ImvelaDiag_GetFrameInfo", 0, [](int32_t h) { ImvelaFrameInfo info{}; info.size = sizeof info; return ImvelaDiag_GetFrameInfo(h, &info); }},
    {"ImvelaDiag_GetStreamStats", 0, [](int32_t h) { ImvelaStreamStats stats{}; stats.size = sizeof stats; return ImvelaDiag_GetStreamStats(h, &stats); }},
    {"ImvelaDiag_SelfTest", 0, [](int32_t h) { char report[64]; return ImvelaDiag_SelfTest(h, IMVELA_SELFTEST_PIPELINE, report, 64); }},
// The named filter values: each setter fails, each getter fails and clears its flag.
#define IMVELA_FILTER_VALUE(Name, ...)                                         \
    {"Imvela_Set" #Name, 0, [](int32_t h) { return Imvela_Set##Name(h, 0); }}, \
        {"Imvela_Get" #Name, 0, [](int32_t h) {                                \
             int32_t ok = 1;                                                   \
             const int32_t r = Imvela_Get##Name(h, &ok);                       \
             return cleared(r, ok);                                            \
         }},
#define IMVELA_UNNAMED_FILTER_VALUE(...)
#include "filter_value_list.inc"
#undef IMVELA_UNNAMED_FILTER_VALUE
#undef IMVELA_FILTER_VALUE
};
// clang-format on

// The exports that take no camera handle: they address devices, queues or nothing (the device
// holder's handle is optional).
const std::set<std::string> kWithoutHandle = {"Imvela_Initialize", "Imvela_GetDllVersion", "ImvelaDiag_GetDeviceHolder"};
bool takes_no_handle(const std::string& name) {
    return kWithoutHandle.count(name) || name.rfind("ImvelaEmu_", 0) == 0 || name.rfind("ImvelaMsg_", 0) == 0;
}

}  // namespace

TEST(Handles, UnknownHandleGivesEachExportsFailureValue) {
    for (const int32_t h : {unknown_handle(), 0, -1}) {
        for (const UnknownHandleCase& c : kUnknownHandleCases) EXPECT_EQ(c.call(h), c.failure) << c.name << " " << h;
    }
}

TEST(Handles, EveryExportTakingAHandleHasAnUnknownHandleCase) {
    const ExportList list = read_export_list(IMVELA_EXPORTS_LIST, true);
    std::set<std::string> covered;
    for (const UnknownHandleCase& c : kUnknownHandleCases) covered.insert(c.name);
    size_t checked = 0;
    for (const std::string& name : list.names) {
        if (takes_no_handle(name)) continue;
        EXPECT_TRUE(covered.count(name)) << name << " has no row in kUnknownHandleCases";
        ++checked;
    }
    EXPECT_GT(checked, 100u);
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
