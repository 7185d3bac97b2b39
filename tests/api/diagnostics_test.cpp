// The diagnostics functions on the emulated camera: the stream's counts under injected
// faults, frame numbers and skipped frames, and the checks of their records.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "camera_fixture.h"

namespace {

class Diagnostics : public CameraTest {
protected:
    ImvelaStreamStats stats() {
        ImvelaStreamStats s{};
        s.size = sizeof s;
        EXPECT_EQ(ImvelaDiag_GetStreamStats(handle, &s), 1);
        return s;
    }
};

struct FaultCase {
    int32_t kind, count;
    bool stream_goes_on;
    uint32_t failed, short_transfers, timeouts, unplugs;
};

}  // namespace

TEST_F(Diagnostics, EachInjectedFaultIsCountedOnceUnderItsName) {
    const FaultCase cases[] = {
        {IMVELA_EMU_FAULT_SHORT_TRANSFER, 1, true, 0, 1, 0, 0},  // forgiven, read again
        {IMVELA_EMU_FAULT_SHORT_TRANSFER, 2, false, 0, 2, 0, 0},
        {IMVELA_EMU_FAULT_FAILED_REQUEST, 1, false, 1, 0, 0, 0},
        {IMVELA_EMU_FAULT_STALL, 1, false, 0, 0, 1, 0},
        {IMVELA_EMU_FAULT_UNPLUG, 1, false, 0, 0, 0, 1},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << c.kind << " x" << c.count);
        ASSERT_EQ(Imvela_StartPreview(handle), 1);
        ASSERT_TRUE(wait_until([&] { return stats().frames_delivered >= 2; }));
        ASSERT_EQ(ImvelaEmu_InjectFault(0, c.kind, c.count), 1);
        if (c.stream_goes_on) {
            const uint32_t before = stats().frames_delivered;
            EXPECT_TRUE(wait_until([&] { return stats().frames_delivered >= before + 3; }));
        } else {
            EXPECT_TRUE(wait_until([&] { return Imvela_GetLastError(handle) == ERR_TIMEOUT; }));
        }
        ASSERT_EQ(Imvela_StopPreview(handle), 1);
        const ImvelaStreamStats s = stats();
        EXPECT_EQ(s.transfers_failed, c.failed);
        EXPECT_EQ(s.transfers_short, c.short_transfers);
        EXPECT_EQ(s.timeouts, c.timeouts);
        EXPECT_EQ(s.unplugs, c.unplugs);
        EXPECT_EQ(s.frames_delivered + s.frames_skipped, s.last_sequence + 1);
        ImvelaEmu_Replug(0);
        errors();
    }
}

TEST_F(Diagnostics, FrameNumbersCountTheSkippedFramesExactly) {
    // Unpaced frames and a worker that waits 30 ms before each: most frames are skipped.
    ASSERT_EQ(Imvela_SetWaitTime(handle, 30), 1);
    ASSERT_EQ(Imvela_SetColorMode(handle, 8), 1);
    ASSERT_EQ(Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);  // no window of its own
    std::vector<uint8_t> image(1280 * 1024);
    const int32_t sent_before = ImvelaEmu_FrameCount(0);
    ASSERT_EQ(Imvela_CallBackPreview(handle, window.handle(), image.data(), static_cast<int32_t>(image.size()), 1), 1);
    std::vector<ImvelaFrameInfo> seen;
    for (Deadline deadline; seen.size() < 6 && !deadline.passed();) {
        PostedMessage m{};
        if (!window.next(&m, 1000) || m.message != WM_CAMERA_FRAME || m.wparam == 0) continue;
        ImvelaFrameInfo info{};
        info.size = sizeof info;
        ASSERT_EQ(ImvelaDiag_GetFrameInfo(handle, &info), 1);
        seen.push_back(info);
    }
    ASSERT_EQ(Imvela_StopPreview(handle), 1);
    const int32_t sent = ImvelaEmu_FrameCount(0) - sent_before;
    ASSERT_EQ(seen.size(), 6u);
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GT(seen[i].sequence, seen[i - 1].sequence);
        EXPECT_GT(seen[i].arrival_us, seen[i - 1].arrival_us);
    }
    const ImvelaStreamStats s = stats();
    EXPECT_GT(s.frames_skipped, 0u);
    EXPECT_EQ(s.frames_delivered + s.frames_skipped, s.last_sequence + 1);
    // Every frame the camera sent up to the last delivered one was delivered or skipped;
    // only those completed after it, until the stop, are in neither count.
    EXPECT_GE(static_cast<uint32_t>(sent), s.last_sequence + 1);
    EXPECT_EQ(s.transfers_failed + s.transfers_short + s.timeouts + s.unplugs, 0u);
}

TEST_F(Diagnostics, SnapshotsAreNumberedFromTheStartOfTheCapture) {
    ImvelaFrameInfo info{};
    info.size = sizeof info;
    EXPECT_EQ(ImvelaDiag_GetFrameInfo(handle, &info), 0);  // no frame yet
    EXPECT_EQ(errors(), Codes{ERR_NOT_READY});
    ASSERT_EQ(Imvela_SnapShot(handle, nullptr, 0, 0), 1);
    ASSERT_EQ(ImvelaDiag_GetFrameInfo(handle, &info), 1);
    EXPECT_EQ(info.sequence, 0u);
    ASSERT_EQ(Imvela_Capture(handle), 1);
    for (uint32_t n = 0; n < 3; ++n) {
        ASSERT_EQ(Imvela_SnapShot(handle, nullptr, 0, 0), 1);
        ASSERT_EQ(ImvelaDiag_GetFrameInfo(handle, &info), 1);
        EXPECT_EQ(info.sequence, n);
    }
    EXPECT_EQ(stats().frames_delivered, 3u);
}

TEST_F(Diagnostics, RecordsAreCheckedBeforeAnythingIsWritten) {
    ImvelaStreamStats small{};
    small.size = sizeof small - 1;
    ImvelaDeviceHolder holder{};
    holder.size = sizeof holder;
    const int32_t h = handle;
    struct {
        std::function<int32_t()> call;
        Codes codes;
    } const cases[] = {
        {[&] { return ImvelaDiag_GetStreamStats(h, nullptr); }, {ERR_ARGUMENT}},
        {[&] { return ImvelaDiag_GetStreamStats(h, &small); }, {ERR_BUFFER}},
        {[&] { return ImvelaDiag_GetFrameInfo(h, nullptr); }, {ERR_ARGUMENT}},
        {[&] { return ImvelaDiag_GetDeviceHolder(h, 32, &holder); }, {ERR_ARGUMENT}},
        {[&] { return ImvelaDiag_GetDeviceHolder(h, -1, &holder); }, {ERR_ARGUMENT}},
        {[&] { return ImvelaDiag_GetDeviceHolder(h, 0, nullptr); }, {ERR_ARGUMENT}},
        {[&] { return ImvelaDiag_GetDeviceHolder(0, 32, &holder); }, {}},  // no handle: nothing recorded
        {[&] { return ImvelaDiag_GetStreamStats(h + 1, &small); }, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(), 0);
        EXPECT_EQ(errors(), c.codes);
    }
    // A larger record of a later version: the fields after the first version stay.
    struct {
        ImvelaStreamStats known;
        uint32_t later;
    } grown{};
    grown.known.size = sizeof grown;
    grown.later = 0xABCD;
    EXPECT_EQ(ImvelaDiag_GetStreamStats(handle, &grown.known), 1);
    EXPECT_EQ(grown.known.size, static_cast<int32_t>(sizeof grown));
    EXPECT_EQ(grown.later, 0xABCDu);
    // This process's own preview holds the device, named as such.
    ASSERT_EQ(Imvela_StartPreview(handle), 1);
    ASSERT_EQ(ImvelaDiag_GetDeviceHolder(0, 0, &holder), 1);
    EXPECT_EQ(holder.in_use, 1);
    EXPECT_EQ(holder.alive, 1);
    EXPECT_NE(holder.executable[0], '\0');
    ASSERT_EQ(Imvela_StopPreview(handle), 1);
    ASSERT_EQ(ImvelaDiag_GetDeviceHolder(handle, 0, &holder), 1);
    EXPECT_EQ(holder.in_use, 0);
}

TEST_F(Diagnostics, SelfTestPassesOnThisBuildAndReportsEveryCheck) {
    // A slowly paced camera and a small window: every colour mode keeps up with the camera,
    // also under the sanitizers on a busy machine.
    ScopedEnvironment paced("IMVELA_EMULATOR_FPS", "10");
    ASSERT_EQ(Imvela_SetCaptureWindowEx(handle, 1292, 0, 64, 1040, 0, 48), 1);
    std::vector<char> report(8192);
    EXPECT_EQ(ImvelaDiag_SelfTest(handle, IMVELA_SELFTEST_PIPELINE | IMVELA_SELFTEST_CAMERA, report.data(),
                                  static_cast<int32_t>(report.size())),
              1)
        << report.data();
    const std::string text = report.data();
    EXPECT_NE(text.find("all checks passed\n"), std::string::npos) << text;
    for (const char* check : {"pipeline  baseline 1 thread  12 of 12", "enumeration", "ROM identifier         \"EMU",
                              "sensor register", "stream 64-bit", "streamed frame", "snapshot", "stop"})
        EXPECT_NE(text.find(check), std::string::npos) << check;
    EXPECT_EQ(errors(), Codes{});
    // Cut to the room given, terminated, and said so.
    std::vector<char> small(40, 'x');
    EXPECT_EQ(ImvelaDiag_SelfTest(handle, IMVELA_SELFTEST_PIPELINE, small.data(), 40), 0);
    EXPECT_EQ(std::string(small.data()), text.substr(0, 39));
    EXPECT_EQ(errors(), Codes{ERR_BUFFER});
    for (int32_t parts : {0, 4}) {
        EXPECT_EQ(ImvelaDiag_SelfTest(handle, parts, report.data(), 100), 0);
        EXPECT_EQ(errors(), Codes{ERR_ARGUMENT});
    }
    ASSERT_EQ(Imvela_StartPreview(handle), 1);
    EXPECT_EQ(ImvelaDiag_SelfTest(handle, IMVELA_SELFTEST_CAMERA, report.data(), 100), 0);
    EXPECT_EQ(errors(), Codes{ERR_NOT_READY});
}
