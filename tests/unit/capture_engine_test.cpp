// Capture engine on the emulated camera: capture modes, frame copy, delivered pixels in every
// colour mode with mirrors and windows, stream faults, trigger, start/stop under load.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "unit/emulated_camera_fixture.h"
#include "imaging/bayer_phase.h"
#include "imaging/color_mode.h"
#include "imaging/kernel_catalogue.h"
#include "support/test_image.h"
#include "support/test_window.h"
#include "support/wait.h"
#include "unit/stored_ranges.h"

using imvela::CaptureWindow;
using imvela::CImageBuffer;

namespace {

// The emulated ramp as the sensor delivers it: sample (X + 2Y) mod 256 or 4096 at the sensor
// position of delivered column c, row r (top row first).
int32_t ramp_at(const CaptureWindow& w, bool mirror_h, bool mirror_v, int32_t c, int32_t r, bool wide) {
    const int32_t x = mirror_h ? w.h_start + w.width - 1 - c : w.h_start + c;
    const int32_t y = mirror_v ? w.v_start + w.height - 1 - r : w.v_start + r;
    return (x + 2 * y) % (wide ? 4096 : 256);
}

void fill_ramp(CImageBuffer& raw, const CaptureWindow& w, bool mirror_h, bool mirror_v) {
    const bool wide = raw.bits_per_pixel() == 16;
    for (int32_t r = 0; r < raw.height(); ++r)
        for (int32_t c = 0; c < raw.width(); ++c) {
            const int32_t v = ramp_at(w, mirror_h, mirror_v, c, r, wide);
            if (wide)
                imvela::test::set_word(raw, c, r, 0, static_cast<uint16_t>(v));
            else
                *imvela::test::pixel(raw, c, r) = static_cast<uint8_t>(v);
        }
}

std::vector<PostedMessage> frame_messages(TestWindow& window, uint32_t wait_ms) {
    std::vector<PostedMessage> frames;
    for (const PostedMessage& m : window.drain(wait_ms))
        if (m.message == WM_CAMERA_FRAME) frames.push_back(m);
    return frames;
}

}  // namespace

// ---- capture modes ---------------------------------------------------------------------------

TEST_F(CameraTest, CaptureModesAllowOnlyTheirTransitions) {
    auto& c = open_camera(8);
    set_window(c, window_of(0, 0, 64, 32));
    EXPECT_EQ(c.start_preview(), 1);
    EXPECT_EQ(c.capture_mode(), imvela::kPreviewMode);
    EXPECT_EQ(c.start_preview(), 1);  // already previewing: one worker, no error
    EXPECT_EQ(c.last_error(), 0);
    EXPECT_TRUE(c.use_table().is_in_use(0));

    EXPECT_EQ(c.capture(), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);
    EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);
    EXPECT_EQ(c.trigger(nullptr, nullptr, 0, 0), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);

    EXPECT_EQ(c.stop_preview(), 1);
    EXPECT_EQ(c.capture_mode(), imvela::kIdle);
    EXPECT_FALSE(c.capture_engine().worker_running());
    EXPECT_FALSE(c.use_table().is_in_use(0));

    EXPECT_EQ(c.capture(), 1);
    EXPECT_EQ(c.capture(), 1);
    EXPECT_EQ(c.capture_mode(), imvela::kCaptureMode);
    EXPECT_FALSE(c.use_table().is_in_use(0));  // capture mode claims nothing
    EXPECT_FALSE(c.capture_engine().worker_running());
    EXPECT_EQ(c.start_preview(), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);
    EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(c.image_available(), 1);
    EXPECT_EQ(c.stop_preview(), 1);

    // Outside capture mode a snapshot prepares by itself and leaves the mode idle.
    EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(c.capture_mode(), imvela::kIdle);
    EXPECT_EQ(c.last_error(), 0);
    EXPECT_EQ(c.close(), 1);
    EXPECT_EQ(c.image_available(), 0);
}

TEST_F(CameraTest, PreparationFailuresLeaveTheirCodeThenNotReady) {
    auto& c = open_camera(24);
    // A colour mode index no setter accepts (a hand-edited store) is not taken.
    store_color_index(c, 7);
    EXPECT_EQ(c.color_mode(), 2);

    set_window(c, window_of(0, 0, 1300, 1024));
    EXPECT_EQ(c.start_preview(), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);
    EXPECT_EQ(c.last_error(), ERR_CAPTURE_WINDOW);

    // Valid by the window rule but narrower than the device reads out: refused, not
    // extracted past the buffer.
    set_window(c, window_of(0, 0, 2, 2));
    EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);
    EXPECT_EQ(c.last_error(), ERR_CAPTURE_WINDOW);

    set_window(c, window_of(0, 0, 64, 32));
    imvela::DeviceUseTable other(&c);
    ASSERT_TRUE(other.map());
    int owner = 0;
    other.claim_device(0, reinterpret_cast<HWND>(&owner));
    EXPECT_EQ(c.start_preview(), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);
    EXPECT_EQ(c.last_error(), ERR_DEVICE_UNAVAILABLE);
    EXPECT_EQ(c.capture_mode(), imvela::kIdle);
    other.release_device(0, reinterpret_cast<HWND>(&owner));
    EXPECT_EQ(c.start_preview(), 1);
    c.stop_preview();
}

TEST_F(CameraTest, ColourModeChangeWaitsForTheNextPreparation) {
    auto& c = open_camera(8);
    set_window(c, window_of(0, 0, 64, 32));
    ASSERT_EQ(c.capture(), 1);
    EXPECT_EQ(c.set_color_mode(48), 1);
    EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(c.capture_engine().output_image()->bits_per_pixel(), 8);
    std::vector<uint8_t> image(64 * 32);
    EXPECT_EQ(c.get_image(image.data(), static_cast<int32_t>(image.size()), 1), 1);  // still 8-bit
    c.stop_preview();
    ASSERT_EQ(c.capture(), 1);
    EXPECT_EQ(c.capture_engine().output_image()->bits_per_pixel(), 48);
    c.stop_preview();
}

// ---- frame copy ----------------------------------------------------------------------------

TEST_F(CameraTest, FrameCopyNeedsStrideTimesHeightAndOrdersRowsByTopDown) {
    auto& c = open_camera(24);
    ASSERT_EQ(c.capture(), 1);
    // 1280 x 1024 at 24 bits: stride 3840.
    std::vector<uint8_t> image(3932160);
    EXPECT_EQ(c.snap_shot(image.data(), 3932159, 1), 0);
    EXPECT_EQ(c.last_error(), ERR_BUFFER);
    EXPECT_EQ(c.last_error(), 0);
    EXPECT_EQ(c.get_image(image.data(), 3932160, 1), 1);
    EXPECT_EQ(c.get_image(nullptr, 3932160, 1), 0);
    EXPECT_EQ(c.last_error(), ERR_BUFFER);
    c.stop_preview();

    // 8-bit rows of 162 pixels are padded to 164 bytes.
    c.set_color_mode(8);
    const CaptureWindow w = window_of(10, 4, 162, 6);
    set_window(c, w);
    ASSERT_EQ(c.capture(), 1);
    std::vector<uint8_t> memory_order(164 * 6, 0xEE), reversed(164 * 6, 0xEE);
    ASSERT_EQ(c.snap_shot(memory_order.data(), 164 * 6, 1), 1);
    ASSERT_EQ(c.get_image(reversed.data(), 164 * 6, 0), 1);
    for (int32_t r = 0; r < 6; ++r)
        for (int32_t x = 0; x < 162; ++x) {
            ASSERT_EQ(memory_order[r * 164 + x], ramp_at(w, false, false, x, r, false)) << x << "," << r;
            ASSERT_EQ(reversed[r * 164 + x], ramp_at(w, false, false, x, 5 - r, false)) << x << "," << r;
        }
    c.stop_preview();
}

// A store whose every value is poisoned (the integer extremes, -1, and each value's bounds
// and their neighbours) starts a camera that processes a frame in every colour mode with
// nothing the sanitizers object to, and stops at once.
TEST_F(CameraTest, PoisonedStoreProcessesFramesInEveryColourMode) {
    std::vector<uint8_t> image(64 * 48 * 8);
    for (size_t kind = 0; kind < 9; ++kind) {
        for (const StoredRange& v : stored_ranges()) {
            if (!v.key[0]) continue;  // the video format: judged by the capture-window rule
            const std::vector<int32_t> values = poisons(v);
            auto key = imvela::platform::SettingsKeyHandle::create(
                nullptr, (store_.root() + "\\Camera_00\\" + v.key).c_str());
            ASSERT_TRUE(key);
            ASSERT_TRUE(key.write(v.name, values[std::min(kind, values.size() - 1)]));
        }
        auto& c = open_camera(24);
        set_window(c, window_of(8, 8, 64, 48));
        for (const int32_t bits : {8, 16, 24, 32, 48, 64}) {
            ASSERT_EQ(c.set_color_mode(bits), 1);
            ASSERT_EQ(c.capture(), 1) << kind << " " << bits;
            EXPECT_EQ(c.snap_shot(image.data(), static_cast<int32_t>(image.size()), 1), 1) << kind << " " << bits;
            const auto stop_started = std::chrono::steady_clock::now();
            c.stop_preview();
            EXPECT_LT(std::chrono::steady_clock::now() - stop_started, std::chrono::seconds(1));
        }
        camera_.reset();
    }
}

TEST_F(CameraTest, GetImageBeforeAnyFrameFailsWithBufferError) {
    auto& c = open_camera(24);
    std::vector<uint8_t> image(16);
    EXPECT_EQ(c.get_image(image.data(), 16, 1), 0);
    EXPECT_EQ(c.last_error(), ERR_BUFFER);
}

// ---- delivered pixels ----------------------------------------------------------------------

TEST_F(CameraTest, DeliveredPixelsFollowTheRampInEveryModeWithMirrorsAndWindows) {
    auto& c = open_camera(8);
    const CaptureWindow w = window_of(100, 60, 48, 20);
    set_window(c, w);
    const int32_t phase_mode = filter()[imvela::ImageProcessingBlock::kBayerMode];
    for (int32_t mode = 0; mode < imvela::kColorModeCount; ++mode)
        for (int mirrors = 0; mirrors < 4; ++mirrors) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " mirrors " << mirrors);
            const bool mh = mirrors & 1, mv = mirrors & 2;
            c.set_color_mode(imvela::kColorModeBits[mode]);
            analog()[imvela::AnalogBlock::kHorizontalMirror] = mh;
            analog()[imvela::AnalogBlock::kVerticalMirror] = mv;
            const int32_t bits = imvela::kColorModeBits[mode];
            const int32_t stride = imvela::image_stride(w.width, bits);
            std::vector<uint8_t> image(static_cast<size_t>(stride) * w.height);
            ASSERT_EQ(c.snap_shot(image.data(), static_cast<int32_t>(image.size()), 1), 1);

            CImageBuffer raw, expected;
            ASSERT_EQ(raw.Create(w.width, w.height, imvela::color_mode_raw_bits(mode)), 1);
            fill_ramp(raw, w, mh, mv);
            if (mode <= 1) {
                ASSERT_EQ(expected.Create(w.width, w.height, bits), 1);
                std::memcpy(expected.bits(), raw.bits(), raw.size_bytes());
            } else {
                ASSERT_EQ(expected.Create(w.width, w.height, bits), 1);
                imvela::DemosaicBlock block{imvela::bayer_phase(phase_mode, mv, mh), 100, 100, 100};
                const bool wide = mode >= 4;
                expected.Apply(wide ? imvela::DemosaicBayer16 : imvela::DemosaicBayer8, raw, nullptr, 0, 0, &block);
                expected.Apply(wide ? imvela::DemosaicBayerBorder16 : imvela::DemosaicBayerBorder8, raw, nullptr, 0, 0,
                               &block);
            }
            const int32_t row_bytes = w.width * bits / 8;
            for (int32_t r = 0; r < w.height; ++r)
                ASSERT_EQ(std::memcmp(image.data() + r * stride, expected.bits() + r * stride, row_bytes), 0) << r;
        }
}

TEST_F(CameraTest, ColourBarsComeOutInTheirColoursWhateverTheMirrors) {
    use_emulator(imvela::emulator::Scene::kBars);
    auto& c = open_camera(24);
    const CaptureWindow w = window_of(0, 100, 1292, 8);
    set_window(c, w);
    // White, yellow, cyan, green, magenta, red, blue, black as red/green/blue bits.
    const int kBars[8] = {7, 6, 3, 2, 5, 4, 1, 0};
    const int32_t stride = imvela::image_stride(w.width, 24);
    for (int mirrors = 0; mirrors < 4; ++mirrors) {
        SCOPED_TRACE(mirrors);
        const bool mh = mirrors & 1, mv = mirrors & 2;
        analog()[imvela::AnalogBlock::kHorizontalMirror] = mh;
        analog()[imvela::AnalogBlock::kVerticalMirror] = mv;
        std::vector<uint8_t> image(static_cast<size_t>(stride) * w.height);
        ASSERT_EQ(c.snap_shot(image.data(), static_cast<int32_t>(image.size()), 1), 1);
        for (int bar = 0; bar < 8; ++bar) {
            const int32_t x = bar * 1292 / 8 + 80;  // sensor column in the middle of the bar
            const int32_t column = mh ? w.width - 1 - x : x;
            const uint8_t* p = image.data() + 4 * stride + column * 3;
            const int expected = kBars[bar];
            EXPECT_EQ(p[2] > 60, (expected & 4) != 0) << "bar " << bar << " red " << int(p[2]);
            EXPECT_EQ(p[1] > 60, (expected & 2) != 0) << "bar " << bar << " green " << int(p[1]);
            EXPECT_EQ(p[0] > 60, (expected & 1) != 0) << "bar " << bar << " blue " << int(p[0]);
        }
    }
}

// ---- preview worker ------------------------------------------------------------------------

TEST_F(CameraTest, PreviewDeliversFramesWithTheirRecordIntoTheCallbackBuffer) {
    auto& c = open_camera(16);
    const CaptureWindow w = window_of(2, 2, 40, 10);
    set_window(c, w);
    c.set_wait_time(0);
    TestWindow window;
    std::vector<uint8_t> image(80 * 10);
    ASSERT_EQ(c.callback_preview(window.handle(), image.data(), static_cast<int32_t>(image.size()), 1), 1);
    PostedMessage m{};
    ASSERT_TRUE(window.next(&m, 10000));
    EXPECT_EQ(m.message, static_cast<uint32_t>(WM_CAMERA_FRAME));
    EXPECT_EQ(m.lparam, 0);
    EXPECT_EQ(m.wparam, reinterpret_cast<uintptr_t>(&c.frame_record()));
    c.stop_preview();
    const ImvelaFrameRecord& record = c.frame_record();
    EXPECT_EQ(record.size, static_cast<int32_t>(sizeof(ImvelaFrameRecord)));
    EXPECT_EQ(record.width, 40);
    EXPECT_EQ(record.height, 10);
    EXPECT_EQ(record.bit_count, 16);
    EXPECT_EQ(record.buffer, image.data());
    for (int32_t r = 0; r < 10; ++r)
        for (int32_t x = 0; x < 40; ++x) {
            uint16_t v;
            std::memcpy(&v, image.data() + r * 80 + 2 * x, 2);
            ASSERT_EQ(v, ramp_at(w, false, false, x, r, true));
        }
}

TEST_F(CameraTest, OutputImageHoldsTheFrameDeliveredIntoTheCallbackBuffer) {
    // The bars' moving object crosses these rows: every frame differs from the one before.
    use_emulator(imvela::emulator::Scene::kBars);
    using P = imvela::ImageProcessingBlock;
    struct Case {
        int32_t bits;
        bool adjusted;       // every adjustment on: the frame goes through the output image
        bool white_balance;  // measured on every frame, applied by the demosaic
        int32_t top_down;    // 0: rows delivered top row first, the other way round from the image
    };
    for (const Case& k : {Case{24, false, false, 1}, Case{32, true, true, 1}, Case{48, false, true, 1},
                          Case{24, false, false, 0}, Case{32, false, false, 1}}) {
        SCOPED_TRACE(testing::Message() << k.bits << " bits, top_down " << k.top_down);
        auto& c = open_camera(k.bits);
        set_window(c, window_of(0, 512, 1280, 80));
        c.set_wait_time(0);
        // Set either way: the camera before stored its values.
        filter()[P::kAutoColorGain] = k.white_balance ? 1 : 0;
        for (auto [position, value, neutral] :
             {std::tuple{P::kHue, 30, 0}, {P::kSaturation, 40, 0}, {P::kGamma, 150, 100}, {P::kSharpness, 5, 0},
              {P::kBrightness, -20, 0}})
            filter()[position] = k.adjusted ? value : neutral;
        const size_t size = static_cast<size_t>(imvela::image_stride(1280, k.bits)) * 80;
        // Bytes the frame does not set must not come from what the buffer held before.
        std::vector<uint8_t> delivered(size, 0xA5), image(size);
        TestWindow window;
        ASSERT_EQ(c.callback_preview(window.handle(), delivered.data(), static_cast<int32_t>(size), k.top_down), 1);
        for (int frames = 0; frames < 3;) {
            PostedMessage m{};
            ASSERT_TRUE(window.next(&m, 10000));
            if (m.message == WM_CAMERA_FRAME && m.lparam == 0) ++frames;
        }
        c.stop_preview();
        ASSERT_EQ(c.get_image(image.data(), static_cast<int32_t>(size), k.top_down), 1);
        EXPECT_TRUE(image == delivered);
    }
}

TEST_F(CameraTest, SmallCallbackBufferGetsNoFrameButABufferMessage) {
    auto& c = open_camera(8);
    set_window(c, window_of(0, 0, 16, 4));
    c.set_wait_time(0);
    TestWindow window;
    std::vector<uint8_t> image(63);
    ASSERT_EQ(c.callback_preview(window.handle(), image.data(), 63, 1), 1);
    PostedMessage m{};
    ASSERT_TRUE(window.next(&m, 10000));
    c.stop_preview();
    EXPECT_EQ(m.message, static_cast<uint32_t>(WM_CAMERA_FRAME));
    EXPECT_EQ(m.wparam, 0u);
    EXPECT_EQ(m.lparam, ERR_BUFFER);
    EXPECT_EQ(c.last_error(), ERR_BUFFER);
}

TEST_F(CameraTest, StreamFaultEndsTheWorkerButTheModeStaysUntilStop) {
    for (int32_t kind : {imvela::emulator::kFaultFailedRequest, imvela::emulator::kFaultStall}) {
        SCOPED_TRACE(kind);
        auto& c = open_camera(8);
        set_window(c, window_of(0, 0, 16, 4));
        c.set_wait_time(0);
        // The stall lasts one driver timeout: keep it short.
        EXPECT_TRUE(c.device()->set_driver_timeout(200));
        TestWindow window;
        emulated().inject_fault(kind, 1);
        ASSERT_EQ(c.callback_preview(window.handle(), nullptr, 0, 1), 1);
        PostedMessage m{};
        bool stopped = false;
        const Deadline deadline;
        while (!stopped && !deadline.passed())
            stopped = window.next(&m, 100) && m.message == WM_CAMERA_FRAME && m.wparam == 0;
        ASSERT_TRUE(stopped);
        EXPECT_EQ(m.lparam, ERR_TIMEOUT);
        EXPECT_EQ(c.last_error(), ERR_TIMEOUT);
        EXPECT_EQ(c.capture_mode(), imvela::kPreviewMode);
        EXPECT_EQ(c.capture(), 0);
        EXPECT_EQ(c.stop_preview(), 1);
        EXPECT_EQ(c.capture_mode(), imvela::kIdle);
        EXPECT_FALSE(c.use_table().is_in_use(0));
    }
}

TEST_F(CameraTest, FailedSnapshotReadRecordsTransferError) {
    auto& c = open_camera(8);
    set_window(c, window_of(0, 0, 16, 4));
    ASSERT_EQ(c.capture(), 1);
    emulated().inject_fault(imvela::emulator::kFaultFailedRequest, 1);
    EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 0);
    EXPECT_EQ(c.last_error(), ERR_TRANSFER);
    EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 1);  // the held file reopens for the next one
    c.stop_preview();
}

TEST_F(CameraTest, StartAndStopTwoHundredTimes) {
    auto& c = open_camera(8);
    set_window(c, window_of(0, 0, 32, 8));
    c.set_wait_time(0);
    TestWindow window;
    std::vector<uint8_t> image(32 * 8);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(c.callback_preview(window.handle(), image.data(), static_cast<int32_t>(image.size()), i & 1), 1) << i;
        if (i % 50 == 0) {
            PostedMessage m{};
            ASSERT_TRUE(window.next(&m, 10000));
        }
        ASSERT_EQ(c.stop_preview(), 1);
        ASSERT_FALSE(c.capture_engine().worker_running());
        ASSERT_FALSE(c.use_table().is_in_use(0));
    }
    EXPECT_EQ(c.last_error(), 0);
}

TEST_F(CameraTest, StopFromAnotherThreadWhileFramesFlow) {
    auto& c = open_camera(24);
    set_window(c, window_of(0, 0, 64, 16));
    c.set_wait_time(0);
    std::vector<uint8_t> image(64 * 3 * 16), copy(64 * 3 * 16);
    TestWindow window;
    ASSERT_EQ(c.callback_preview(window.handle(), image.data(), static_cast<int32_t>(image.size()), 1), 1);
    std::thread reader([&] {
        for (int i = 0; i < 20; ++i) c.get_image(copy.data(), static_cast<int32_t>(copy.size()), 0);
    });
    std::thread stopper([&] { c.stop_preview(); });
    reader.join();
    stopper.join();
    EXPECT_EQ(c.stop_preview(), 1);
    EXPECT_EQ(c.capture_mode(), imvela::kIdle);
}

// ---- trigger -------------------------------------------------------------------------------

namespace {
// Waits (bounded) until the camera has a read waiting for its trigger.
bool read_waits(imvela::emulator::EmulatedCamera& camera) {
    return wait_until([&camera] { return camera.waiting_reads() > 0; });
}
}  // namespace

TEST_F(CameraTest, TriggerDeliversOneFramePerTriggerWithOneWorkerAndStopsAPendingRead) {
    auto& c = open_camera(8);
    const CaptureWindow w = window_of(0, 0, 16, 4);
    set_window(c, w);
    TestWindow window;
    std::vector<uint8_t> image(16 * 4);
    ASSERT_EQ(c.trigger(window.handle(), image.data(), 64, 1), 1);
    EXPECT_EQ(c.capture_mode(), imvela::kTriggerMode);
    EXPECT_EQ(c.device()->driver_timeout(), 60000);
    EXPECT_FALSE(c.use_table().is_in_use(0));  // single reads claim nothing
    EXPECT_EQ(c.start_preview(), 0);
    EXPECT_EQ(c.last_error(), ERR_NOT_READY);

    ASSERT_TRUE(read_waits(emulated()));
    ASSERT_EQ(emulated().trigger(), 1);
    PostedMessage m{};
    ASSERT_TRUE(window.next(&m, 10000));
    EXPECT_EQ(m.wparam, reinterpret_cast<uintptr_t>(&c.frame_record()));

    // A second trigger start only retargets the one worker.
    TestWindow second;
    ASSERT_EQ(c.trigger(second.handle(), image.data(), 64, 0), 1);
    EXPECT_EQ(c.last_error(), 0);
    ASSERT_TRUE(read_waits(emulated()));
    // A second worker would start a read of its own.
    EXPECT_FALSE(wait_until([&] { return emulated().waiting_reads() > 1; }, 50));
    ASSERT_EQ(emulated().trigger(), 1);
    ASSERT_TRUE(second.next(&m, 10000));
    EXPECT_EQ(frame_messages(window, 50).size(), 0u);

    // The worker now waits in a read; stopping switches the trigger off, which ends it.
    ASSERT_TRUE(read_waits(emulated()));
    EXPECT_EQ(c.stop_preview(), 1);
    EXPECT_FALSE(c.capture_engine().worker_running());
    EXPECT_EQ(c.capture_mode(), imvela::kIdle);
    EXPECT_EQ(c.device()->driver_timeout(), imvela::kDefaultDriverTimeoutMs);
    EXPECT_EQ(emulated().trigger(), 0);  // disarmed
    EXPECT_EQ(c.frame_record().frame_rate, 0);
    // Top row last (top_down 0) in the second target.
    for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(image[x], ramp_at(w, false, false, x, 3, false));
}

namespace {
// Runs a stopping call with a bound; true when it returned within a second.
template <class Call>
bool returns_within_a_second(Call&& call) {
    const auto start = std::chrono::steady_clock::now();
    auto result = std::async(std::launch::async, call);
    result.wait_for(std::chrono::seconds(5));
    return std::chrono::steady_clock::now() - start < std::chrono::seconds(1);
}

// The next frame message within the bound: its wParam and lParam, or -1, -1.
std::pair<intptr_t, intptr_t> next_frame(TestWindow& window) {
    PostedMessage m{};
    while (window.next(&m, 5000))
        if (m.message == WM_CAMERA_FRAME) return {static_cast<intptr_t>(m.wparam), m.lparam};
    return {-1, -1};
}
}  // namespace

// No stop waits on the driver or on the wait between frames: a stalled transfer, a read
// waiting for a trigger the driver would wait a minute for, or a long wait time.
TEST_F(CameraTest, StopAndCloseReturnWithinASecondWhateverTheDriverDoes) {
    using imvela::emulator::kFaultStall;
    enum Setup { kTriggerStalled, kPreviewStalled, kLongWaitTime, kSnapshotWaiting };
    for (const Setup setup : {kTriggerStalled, kPreviewStalled, kLongWaitTime, kSnapshotWaiting}) {
        SCOPED_TRACE(setup);
        auto& c = open_camera(8);
        set_window(c, window_of(0, 0, 16, 4));
        TestWindow window;
        std::thread snapper;
        if (setup == kTriggerStalled) {
            emulated().inject_fault(kFaultStall, 1);
            ASSERT_EQ(c.trigger(window.handle(), nullptr, 0, 0), 1);
        } else if (setup == kSnapshotWaiting) {
            ASSERT_EQ(c.capture(), 1);
            EXPECT_TRUE(c.device()->set_driver_timeout(60000));
            EXPECT_TRUE(c.device()->set_trigger_mode(1));
            snapper = std::thread([&] { c.snap_shot(nullptr, 0, 0); });
            ASSERT_TRUE(read_waits(emulated()));
        } else {
            EXPECT_TRUE(c.device()->set_driver_timeout(60000));
            c.set_wait_time(setup == kLongWaitTime ? 15000 : 0);
            if (setup == kPreviewStalled) emulated().inject_fault(kFaultStall, 1);
            ASSERT_EQ(c.callback_preview(window.handle(), nullptr, 0, 0), 1);
        }
        // What stopping must not wait for has begun: the stalled transfer took its fault, or
        // the stream runs while the worker waits out its wait time.
        ASSERT_TRUE(wait_until([&] {
            return setup == kLongWaitTime ? emulated().frame_count() > 0 : emulated().faults_pending() == 0;
        }));
        EXPECT_TRUE(returns_within_a_second([&] { return c.close(); }));
        if (snapper.joinable()) snapper.join();
        EXPECT_FALSE(c.capture_engine().worker_running());
        // The camera works on: a frame is read right after.
        emulated().inject_fault(kFaultStall, 0);
        EXPECT_EQ(c.snap_shot(nullptr, 0, 0), 1);
        c.stop_preview();
    }
}

// In trigger mode a failed or short transfer is reported as in the other modes and never
// delivered as a frame, and the next trigger delivers again; a camera that is gone ends the
// worker with code 13, and stop and re-arm start over once it is back.
TEST_F(CameraTest, TriggerFaultsAreReportedNeverDelivered) {
    using namespace imvela::emulator;
    for (const int32_t kind : {kFaultFailedRequest, kFaultShortTransfer, kFaultUnplug}) {
        SCOPED_TRACE(kind);
        auto& c = open_camera(8);
        set_window(c, window_of(0, 0, 16, 4));
        TestWindow window;
        std::vector<uint8_t> image(16 * 4);
        emulated().inject_fault(kind, 1);  // the first read meets it
        ASSERT_EQ(c.trigger(window.handle(), image.data(), 64, 0), 1);
        if (kind == kFaultShortTransfer) {  // comes short once triggered; the others fail at once
            ASSERT_TRUE(read_waits(emulated()));
            emulated().trigger();
        }
        const auto frame = std::make_pair(static_cast<intptr_t>(reinterpret_cast<uintptr_t>(&c.frame_record())),
                                          intptr_t{0});
        EXPECT_EQ(next_frame(window), std::make_pair(intptr_t{0}, intptr_t{ERR_TRANSFER}));
        if (kind == kFaultUnplug) {
            EXPECT_EQ(next_frame(window), std::make_pair(intptr_t{0}, intptr_t{ERR_TIMEOUT}));
            EXPECT_EQ(c.last_error(), ERR_TIMEOUT);
            emulated().replug();
            ASSERT_EQ(c.stop_preview(), 1);
            ASSERT_EQ(c.trigger(window.handle(), image.data(), 64, 0), 1);
        }
        EXPECT_EQ(c.last_error(), ERR_TRANSFER);
        ASSERT_TRUE(read_waits(emulated()));
        emulated().trigger();
        EXPECT_EQ(next_frame(window), frame);
        c.stop_preview();
    }
}

TEST_F(CameraTest, GetImageIsNotHeldUpByASnapshotWaitingForItsFrame) {
    auto& c = open_camera(8);
    set_window(c, window_of(0, 0, 16, 4));
    ASSERT_EQ(c.capture(), 1);
    EXPECT_TRUE(c.device()->set_driver_timeout(60000));
    EXPECT_TRUE(c.device()->set_trigger_mode(1));  // the snapshot's read now waits for a trigger
    std::thread snapper([&] { c.snap_shot(nullptr, 0, 0); });
    const bool waiting = read_waits(emulated());
    std::vector<uint8_t> image(16 * 4);
    auto got = std::async(std::launch::async, [&] { return c.get_image(image.data(), 64, 1); });
    const bool prompt = got.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    emulated().trigger();
    snapper.join();
    EXPECT_TRUE(waiting);
    EXPECT_TRUE(prompt);
    c.stop_preview();
}

