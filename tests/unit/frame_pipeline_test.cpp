// The frame pipeline alone (settings copy in, measurements out, no camera), then on the
// emulated camera: defect correction with mirrors, automatic exposure and gain, white
// balance, gray modes and the adjustment chain.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "camera/frame_pipeline.h"
#include "unit/emulated_camera_fixture.h"
#include "imaging/bayer_phase.h"
#include "imaging/color_mode.h"
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_selection.h"
#include "support/scratch_store.h"
#include "support/test_image.h"
#include "support/test_window.h"

using imvela::AnalogBlock;
using imvela::CaptureWindow;
using imvela::CImageBuffer;
using P = imvela::ImageProcessingBlock;

namespace {

// Sensor position (top-down rows) of image column c, row r.
void sensor_of(const CaptureWindow& w, bool mh, bool mv, int32_t c, int32_t r, int32_t* x, int32_t* y) {
    *x = mh ? w.h_start + w.width - 1 - c : w.h_start + c;
    *y = mv ? w.v_start + w.height - 1 - r : w.v_start + r;
}

struct DefectFile {
    std::string path = std::string(testing::TempDir()) + unique_test_name() + ".defects";
    // Records in list coordinates: rows counted from the sensor's bottom.
    explicit DefectFile(const std::vector<imvela::emulator::SensorPoint>& top_down) {
        FILE* f = std::fopen(path.c_str(), "wb");
        for (const auto& p : top_down) {
            const int32_t rec[2] = {p.x, 1039 - p.y};
            std::fwrite(rec, 4, 2, f);
        }
        std::fclose(f);
    }
    ~DefectFile() { std::remove(path.c_str()); }
};

int32_t sample(CImageBuffer& b, int32_t c, int32_t r) {
    return b.bits_per_pixel() == 16 ? imvela::test::word(b, c, r) : *imvela::test::pixel(b, c, r);
}

}  // namespace

// ---- the pipeline without a camera ---------------------------------------------------------

namespace {
// Settings with every adjustment at its neutral value.
imvela::FrameSettings neutral_settings() {
    imvela::FrameSettings settings;
    settings.filter[P::kGamma] = 100;
    return settings;
}
}  // namespace

TEST(FramePipeline, ReportsOnlyWhatItMeasured) {
    imvela::FramePipeline pipeline;
    CImageBuffer raw, out;
    ASSERT_EQ(raw.Create(16, 8, 8), 1);
    ASSERT_EQ(out.Create(16, 8, 24), 1);
    imvela::test::fill_random(raw, 7, 255);
    imvela::FrameBuffers buffers;
    buffers.raw = &raw;
    buffers.output = &out;
    struct Case {
        int32_t request, one_shot;
        uint32_t measured;
    };
    constexpr uint32_t kGains = 1u << P::kGainRed | 1u << P::kGainGreen | 1u << P::kGainBlue;
    constexpr uint32_t kFlags = 1u << P::kAutoColorGain | 1u << P::kAutoColorGainOneShot1 | 1u << P::kAutoColorGainOneShot2;
    for (const Case& k : {Case{0, 0, 0}, Case{1, 0, kGains}, Case{1, 1, kGains | kFlags}}) {
        imvela::FrameSettings settings = neutral_settings();
        settings.filter[P::kAutoColorGain] = k.request;
        settings.filter[P::kAutoColorGainOneShot1] = settings.filter[P::kAutoColorGainOneShot2] = k.one_shot;
        settings.analog[AnalogBlock::kAutoIris] = 1;  // 130 is just right: nothing to steer
        EXPECT_EQ(pipeline.process(settings, buffers, 2, CaptureWindow{}), imvela::FramePipeline::kKeepExposure);
        EXPECT_EQ(settings.measured, k.measured) << k.request << k.one_shot;
    }
    imvela::test::fill_samples(raw, [] { return 210; });
    imvela::FrameSettings bright = neutral_settings();
    EXPECT_EQ(pipeline.process(bright, buffers, 2, CaptureWindow{}), imvela::FramePipeline::kKeepExposure);
    bright.analog[AnalogBlock::kAutoIris] = 2;
    EXPECT_EQ(pipeline.process(bright, buffers, 2, CaptureWindow{}), 25);
    // Buffers of another mode's sample size are left alone.
    EXPECT_EQ(pipeline.process(bright, buffers, 4, CaptureWindow{}), imvela::FramePipeline::kKeepExposure);
}

TEST(FramePipeline, CorrectsTheListedPixelsOfTheWindowWhenAsked) {
    imvela::FramePipeline pipeline;
    CImageBuffer raw;
    ASSERT_EQ(raw.Create(8, 4, 8), 1);
    imvela::FrameBuffers buffers;
    buffers.raw = buffers.output = &raw;
    // The window's bottom row is the sensor's bottom row, list row 0.
    const CaptureWindow window = window_of(0, imvela::kSensorHeight - 4, 8, 4);
    ASSERT_TRUE(pipeline.replace_defects({{3, 1}}));
    struct Case {
        bool correction;
        bool listed;
        int32_t expected;
    };
    for (const Case& k : {Case{true, true, 10}, Case{false, true, 255}, Case{true, false, 255}}) {
        if (!k.listed) {
            ASSERT_TRUE(pipeline.replace_defects({}));
        }
        imvela::test::fill_samples(raw, [] { return 10; });
        *imvela::test::pixel(raw, 3, 2) = 255;  // list row 1 is memory row 2 of 4
        imvela::FrameSettings settings = neutral_settings();
        settings.defect_correction = k.correction;
        pipeline.process(settings, buffers, 0, window);
        EXPECT_EQ(*imvela::test::pixel(raw, 3, 2), k.expected) << k.correction << k.listed;
    }
}

// ---- defect correction ----------------------------------------------------------------------

TEST_F(CameraTest, StuckPixelsAreCorrectedAlikeWithAndWithoutMirrors) {
    const CaptureWindow w = window_of(200, 100, 40, 24);
    // Sensor positions (top-down rows): an isolated pixel, a horizontal pair, a pixel on the
    // window's left edge, a vertical pair, and one outside the window.
    const std::vector<imvela::emulator::SensorPoint> stuck = {
        {210, 110}, {220, 115}, {221, 115}, {200, 105}, {230, 104}, {230, 105}, {100, 50}};
    use_emulator(imvela::emulator::Scene::kRamp, stuck);
    DefectFile file(stuck);
    for (int32_t bits : {8, 16}) {
        auto& c = open_camera(bits);
        set_window(c, w);
        ASSERT_EQ(c.load_config_file(file.path.c_str()), 1);
        for (int mirrors = 0; mirrors < 4; ++mirrors) {
            SCOPED_TRACE(testing::Message() << bits << " bits, mirrors " << mirrors);
            const bool mh = mirrors & 1, mv = mirrors & 2;
            analog()[AnalogBlock::kHorizontalMirror] = mh;
            analog()[AnalogBlock::kVerticalMirror] = mv;

            ASSERT_EQ(c.set_config_filter(0), 1);
            ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
            CImageBuffer& raw = *c.capture_engine().raw_image();
            const int32_t full = bits == 16 ? 4095 : 255;
            auto at = [&](int32_t x, int32_t y) {  // image sample at a sensor position
                const int32_t c0 = mh ? w.h_start + w.width - 1 - x : x - w.h_start;
                const int32_t r0 = mv ? w.v_start + w.height - 1 - y : y - w.v_start;
                return sample(raw, c0, r0);
            };
            for (size_t i = 0; i + 1 < stuck.size(); ++i) ASSERT_EQ(at(stuck[i].x, stuck[i].y), full) << i;

            ASSERT_EQ(c.set_config_filter(1), 1);
            ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
            // On the ramp v = X + 2Y (no wrap-around near these pixels) the mean of the nearest unlisted neighbours left, right,
            // above and below is known: an isolated pixel gets v back; of the pair, the left
            // one (neighbours v-1, v+2, v-2, v+2) gets v, the right one gets v - 1; the edge
            // pixel (right, up, down) gets v; the vertical pair gets v and v - 1 likewise.
            const int32_t modulus = bits == 16 ? 4096 : 256;
            auto v = [&](int32_t x, int32_t y) { return (x + 2 * y) % modulus; };
            EXPECT_EQ(at(210, 110), v(210, 110));
            EXPECT_EQ(at(220, 115), v(220, 115));
            EXPECT_EQ(at(221, 115), v(221, 115) - 1);
            EXPECT_EQ(at(200, 105), v(200, 105));
            EXPECT_EQ(at(230, 104), v(230, 104));
            EXPECT_EQ(at(230, 105), v(230, 105) - 1);
            // Everything else is untouched.
            int32_t changed = 0;
            for (int32_t r = 0; r < w.height; ++r)
                for (int32_t col = 0; col < w.width; ++col) {
                    int32_t x, y;
                    sensor_of(w, mh, mv, col, r, &x, &y);
                    if (sample(raw, col, r) != v(x, y)) ++changed;
                }
            EXPECT_EQ(changed, 2);  // the right pixels of the two pairs
        }
    }
}

TEST_F(CameraTest, StreamedColourFramesAreTheSnapshotsBytes) {
    // The preview worker demosaics the colour modes where the frame lies in the ring, rows
    // 46 samples apart (the raw buffer pads them to 48), and corrects defects there.
    const CaptureWindow w = window_of(100, 60, 46, 20);
    use_emulator(imvela::emulator::Scene::kRamp, {{110, 70}});
    DefectFile file({{110, 70}});
    for (int32_t mode = 2; mode < imvela::kColorModeCount; ++mode) {
        SCOPED_TRACE(mode);
        const int32_t bits = imvela::kColorModeBits[mode];
        auto& c = open_camera(bits);
        set_window(c, w);
        c.set_wait_time(0);
        ASSERT_EQ(c.load_config_file(file.path.c_str()), 1);
        ASSERT_EQ(c.set_config_filter(1), 1);
        const size_t size = static_cast<size_t>(imvela::image_stride(w.width, bits)) * w.height;
        std::vector<uint8_t> snapped(size), streamed(size);
        ASSERT_EQ(c.snap_shot(snapped.data(), static_cast<int32_t>(size), 1), 1);
        TestWindow window;
        ASSERT_EQ(c.callback_preview(window.handle(), streamed.data(), static_cast<int32_t>(size), 1), 1);
        PostedMessage m{};
        ASSERT_TRUE(window.next(&m, 10000));
        c.stop_preview();
        EXPECT_EQ(m.lparam, 0);
        EXPECT_TRUE(streamed == snapped);
    }
}

TEST_F(CameraTest, DefectFileLoadingReplacesTheListOrKeepsIt) {
    auto& c = open_camera(8);
    const CaptureWindow w = window_of(0, 0, 16, 8);
    set_window(c, w);
    use_emulator(imvela::emulator::Scene::kRamp, {{5, 3}});
    DefectFile file({{5, 3}});
    ASSERT_EQ(c.load_config_file(file.path.c_str()), 1);
    ASSERT_EQ(c.set_config_filter(1), 1);
    EXPECT_EQ(c.load_config_file((file.path + ".missing").c_str()), 0);
    EXPECT_EQ(c.last_error(), 0);
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(*imvela::test::pixel(*c.capture_engine().raw_image(), 5, 3), 5 + 2 * 3);  // the first list is kept

    EXPECT_EQ(c.set_config_filter(2), 0);
    EXPECT_EQ(c.last_error(), ERR_ARGUMENT);
    FILE* f = std::fopen(file.path.c_str(), "wb");
    std::fclose(f);
    ASSERT_EQ(c.load_config_file(file.path.c_str()), 1);  // empty: empty list
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(*imvela::test::pixel(*c.capture_engine().raw_image(), 5, 3), 255);
}

// ---- automatic exposure and gain -------------------------------------------------------------

namespace {

// A 100 x 100 frame whose five measurement windows have the given means (the rest mid-gray).
// Windows: top left, bottom left, centre, top right, bottom right.
void five_means(CImageBuffer& raw, const int (&means)[5]) {
    const int kWindows[5][4] = {{10, 10, 20, 20}, {10, 80, 20, 90}, {45, 45, 55, 55}, {80, 10, 90, 20}, {80, 80, 90, 90}};
    imvela::test::fill_samples(raw, [] { return 130; });
    for (int i = 0; i < 5; ++i)
        for (int y = kWindows[i][1]; y < kWindows[i][3]; ++y)
            for (int x = kWindows[i][0]; x < kWindows[i][2]; ++x) *imvela::test::pixel(raw, x, y) = static_cast<uint8_t>(means[i]);
}

}  // namespace

TEST_F(CameraTest, ExposureControlFactorFromTheFiveWindows) {
    auto& c = open_camera(8);
    CImageBuffer raw;
    ASSERT_EQ(raw.Create(100, 100, 8), 1);
    struct Case {
        int means[5];
        int32_t before, after;
    };
    const Case cases[] = {
        {{130, 130, 130, 130, 130}, 1000, 1000},  // factor 1.0
        {{210, 210, 210, 210, 210}, 1000, 250},   // 0.25
        {{210, 210, 210, 210, 210}, 2, 1},        // at least one line
        {{170, 170, 170, 170, 130}, 1000, 600},   // exactly 0.6 adjusts
        {{80, 80, 80, 80, 130}, 1000, 1200},      // exactly 1.2 adjusts
        {{210, 170, 170, 130, 130}, 1000, 1000},  // 0.65 does not
        {{40, 40, 40, 40, 40}, 30000, 0x7FFF},    // clamped to the longest exposure
    };
    analog()[AnalogBlock::kAutoIris] = 1;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.before);
        five_means(raw, k.means);
        EXPECT_TRUE(c.device()->set_exposure(k.before));
        analog()[AnalogBlock::kExposure] = k.before;
        c.auto_iris(raw, 0);
        int32_t lines = 0;
        EXPECT_TRUE(c.device()->read_exposure(&lines));
        EXPECT_EQ(lines, k.after);
        EXPECT_EQ(analog()[AnalogBlock::kExposure], k.after);
    }
}

TEST_F(CameraTest, GainControlStartsFromFourAndStaysInTheGainRange) {
    auto& c = open_camera(8);
    CImageBuffer raw;
    ASSERT_EQ(raw.Create(100, 100, 8), 1);
    struct Case {
        int means[5];
        int32_t before, after;
    };
    const Case cases[] = {
        {{40, 40, 40, 120, 120}, 5, 6},   // 1.3 x 5
        {{40, 40, 40, 120, 120}, 0, 5},   // 1.3 x at least 4
        {{40, 40, 40, 40, 40}, 10, 11},   // 1.5 x 10, capped at the largest gain
        {{210, 210, 210, 210, 210}, 8, 2},  // 0.25 x 8
        {{130, 130, 130, 130, 130}, 7, 7},
    };
    analog()[AnalogBlock::kAutoIris] = 2;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.before);
        five_means(raw, k.means);
        EXPECT_TRUE(c.device()->set_gain(k.before));
        c.auto_iris(raw, 0);
        EXPECT_EQ(c.device()->read_gain_index(), k.after);
        if (k.after != k.before) {
            for (int p : {AnalogBlock::kGlobalGain, AnalogBlock::kColorGainG1, AnalogBlock::kColorGainR,
                          AnalogBlock::kColorGainB, AnalogBlock::kColorGainG2})
                EXPECT_EQ(analog()[p], k.after);
        }
    }
}

TEST_F(CameraTest, AutomaticExposureAndGainConvergeOnTheBars) {
    use_emulator(imvela::emulator::Scene::kBars);
    for (int32_t mode : {1, 2}) {
        SCOPED_TRACE(mode);
        auto& c = open_camera(mode == 1 ? 24 : 48);
        set_window(c, window_of(0, 0, 320, 256));
        if (mode == 1) {
            analog()[AnalogBlock::kExposure] = 0x7FFF;  // far too bright
        } else {
            analog()[AnalogBlock::kExposure] = 637 * 8;
            analog()[AnalogBlock::kGlobalGain] = 11;
        }
        ASSERT_EQ(c.capture(), 1);
        ASSERT_EQ(c.set_auto_iris(mode), 1);
        int32_t previous = -1, settled = -1;
        for (int i = 0; i < 20 && settled < 0; ++i) {
            ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
            const int32_t now = analog()[mode == 1 ? AnalogBlock::kExposure : AnalogBlock::kGlobalGain];
            if (now == previous) settled = now;
            previous = now;
        }
        ASSERT_GE(settled, 0) << "no stable setting within 20 frames";
        if (mode == 1)
            EXPECT_LT(settled, 0x7FFF);
        else
            EXPECT_LT(settled, 11);
        c.stop_preview();
    }
}

// ---- white balance and gray modes ---------------------------------------------------------

// A camera in capture mode on the bars scene, its window inside the red bar.
class RedBarTest : public CameraTest {
protected:
    imvela::CImvela& capture_red_bar(int32_t bits) {
        use_emulator(imvela::emulator::Scene::kBars);
        auto& c = open_camera(bits);
        set_window(c, window_of(816, 0, 128, 64));
        EXPECT_EQ(c.capture(), 1);
        return c;
    }
};

TEST_F(RedBarTest, OneShotWhiteBalanceRunsOnceContinuousOnEveryFrame) {
    auto& c = capture_red_bar(24);
    ASSERT_EQ(c.capture_mode(), imvela::kCaptureMode);

    filter()[P::kAutoColorGain] = 1;
    filter()[P::kAutoColorGainOneShot1] = 1;
    filter()[P::kAutoColorGainOneShot2] = 1;
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(filter()[P::kAutoColorGain], 0);
    EXPECT_EQ(filter()[P::kAutoColorGainOneShot1], 0);
    EXPECT_EQ(filter()[P::kAutoColorGainOneShot2], 0);
    const int32_t red = filter()[P::kGainRed], blue = filter()[P::kGainBlue];
    EXPECT_NE(red, 100);
    EXPECT_LE(red, 400);
    EXPECT_EQ(filter()[P::kGainGreen], 100);
    filter()[P::kGainRed] = 100;
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(filter()[P::kGainRed], 100);  // the one shot is over

    filter()[P::kAutoColorGain] = 1;  // continuous: the flags stay clear
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(filter()[P::kGainRed], red);
    EXPECT_EQ(filter()[P::kGainBlue], blue);
    filter()[P::kGainRed] = 100;
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(filter()[P::kGainRed], red);
    EXPECT_EQ(filter()[P::kAutoColorGain], 1);
    c.stop_preview();
}

TEST_F(RedBarTest, GrayBalanceRequestRunsOnExactlyTheNextFrame) {
    auto& c = capture_red_bar(8);
    ASSERT_EQ(c.capture_mode(), imvela::kCaptureMode);
    filter()[P::kGrayMode] = 1;
    filter()[P::kGrayOffsetR] = 3;
    filter()[P::kAutoGrayBalance] = 1;
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(filter()[P::kAutoGrayBalance], 0);
    const int32_t gains[4] = {filter()[P::kGrayGainR], filter()[P::kGrayGainG1], filter()[P::kGrayGainG2],
                              filter()[P::kGrayGainB]};
    EXPECT_TRUE(gains[0] != 128 || gains[3] != 128);
    EXPECT_EQ(filter()[P::kGrayOffsetR], 3);  // offsets stay
    filter()[P::kGrayGainR] = 128;
    ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
    EXPECT_EQ(filter()[P::kGrayGainR], 128);
    // A negative request (the image dialog's "All frames") measures every frame until cleared.
    filter()[P::kAutoGrayBalance] = -1;
    for (int frame = 0; frame < 2; ++frame) {
        filter()[P::kGrayGainR] = filter()[P::kGrayGainB] = 128;
        ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
        EXPECT_EQ(filter()[P::kGrayGainR] * 1000 + filter()[P::kGrayGainB], gains[0] * 1000 + gains[3]);
    }
    EXPECT_EQ(filter()[P::kAutoGrayBalance], -1);
    c.stop_preview();
}

TEST_F(CameraTest, GrayModesProduceBalancedOrLuminanceImagesAtTheirOwnDepth) {
    const CaptureWindow w = window_of(0, 0, 48, 16);
    for (int32_t bits : {8, 16}) {
        SCOPED_TRACE(bits);
        auto& c = open_camera(bits);
        set_window(c, w);
        ASSERT_EQ(c.capture(), 1);
        filter()[P::kGrayMode] = 0;
        ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
        CImageBuffer raw, colour, expected;
        ASSERT_EQ(raw.Create(w.width, w.height, bits), 1);
        std::memcpy(raw.bits(), c.capture_engine().raw_image()->bits(), raw.size_bytes());
        const int32_t phase = imvela::bayer_phase(filter()[P::kBayerMode], false, false);

        // Gray mode 1: gains and offsets by Bayer position.
        filter()[P::kGrayMode] = 1;
        filter()[P::kGrayGainR] = 200;
        filter()[P::kGrayOffsetB] = -5;
        ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
        imvela::GrayBlock block{phase, 200, 128, 128, 128, 0, 0, 0, -5, bits == 8 ? 8 : 12};
        ASSERT_EQ(expected.Create(w.width, w.height, bits), 1);
        std::memcpy(expected.bits(), raw.bits(), raw.size_bytes());
        expected.Apply(bits == 8 ? imvela::ApplyGrayGains8 : imvela::ApplyGrayGains16, expected, nullptr, 0, 0, &block);
        EXPECT_EQ(std::memcmp(c.capture_engine().raw_image()->bits(), expected.bits(), raw.size_bytes()), 0);

        // Gray mode 2: luminance of the demosaiced frame, 8 or 16 bits as delivered.
        filter()[P::kGrayMode] = 2;
        ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
        ASSERT_EQ(colour.Create(w.width, w.height, bits == 8 ? 24 : 48), 1);
        imvela::DemosaicBlock d{phase, filter()[P::kGainRed], filter()[P::kGainGreen], filter()[P::kGainBlue]};
        colour.Apply(bits == 8 ? imvela::DemosaicBayer8 : imvela::DemosaicBayer16, raw, nullptr, 0, 0, &d);
        colour.Apply(bits == 8 ? imvela::DemosaicBayerBorder8 : imvela::DemosaicBayerBorder16, raw, nullptr, 0, 0, &d);
        expected.Apply(bits == 8 ? imvela::ColorToGray : imvela::ColorToGray16, colour, nullptr, 0, 0, nullptr);
        EXPECT_EQ(std::memcmp(c.capture_engine().raw_image()->bits(), expected.bits(), raw.size_bytes()), 0);
        // The ramp is smooth: its luminance stays close to the samples themselves.
        EXPECT_NEAR(sample(*c.capture_engine().raw_image(), 20, 8), sample(raw, 20, 8), 3);
        c.stop_preview();
    }
}

// ---- adjustments ------------------------------------------------------------------------

TEST_F(CameraTest, AdjustmentsRunInOrderAndOnlyAwayFromNeutral) {
    use_emulator(imvela::emulator::Scene::kBars);
    const CaptureWindow w = window_of(0, 0, 64, 32);
    for (int32_t mode = 0; mode < imvela::kColorModeCount; ++mode) {
        auto& c = open_camera(imvela::kColorModeBits[mode]);
        set_window(c, w);
        for (bool all : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << (all ? " all on" : " contrast only"));
            // Settings saved by the previous camera object come back: neutral first.
            filter()[P::kHue] = filter()[P::kSaturation] = filter()[P::kSharpness] = filter()[P::kBrightness] = 0;
            filter()[P::kContrast] = 0;
            filter()[P::kGamma] = 100;
            ASSERT_EQ(c.capture(), 1);
            ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);
            CImageBuffer raw, expected, work;
            CImageBuffer& got = *c.capture_engine().output_image();
            ASSERT_EQ(raw.CreateLike(c.capture_engine().raw_image()), 1);
            std::memcpy(raw.bits(), c.capture_engine().raw_image()->bits(), raw.size_bytes());
            ASSERT_EQ(expected.CreateLike(&got), 1);

            filter()[P::kContrast] = 10;
            if (all) {
                filter()[P::kHue] = 30;
                filter()[P::kSaturation] = 40;
                filter()[P::kGamma] = 150;
                filter()[P::kSharpness] = 5;
                filter()[P::kBrightness] = -20;
            }
            ASSERT_EQ(c.snap_shot(nullptr, 0, 0), 1);

            const int32_t phase = imvela::bayer_phase(filter()[P::kBayerMode], false, false);
            if (mode >= 2) {
                imvela::DemosaicBlock d{phase, filter()[P::kGainRed], filter()[P::kGainGreen], filter()[P::kGainBlue]};
                const bool wide = mode >= 4;
                expected.Apply(wide ? imvela::DemosaicBayer16 : imvela::DemosaicBayer8, raw, nullptr, 0, 0, &d);
                expected.Apply(wide ? imvela::DemosaicBayerBorder16 : imvela::DemosaicBayerBorder8, raw, nullptr, 0, 0, &d);
            } else {
                std::memcpy(expected.bits(), raw.bits(), raw.size_bytes());
            }
            using imvela::KernelOperation;
            auto run = [&](KernelOperation op, int32_t value) {
                imvela::AdjustmentBlock a{value, 12};
                expected.Apply(imvela::select_kernel(op, mode), expected, nullptr, 0, 0, &a);
            };
            if (all) {
                if (mode >= 2) {
                    imvela::HueBlock h{30, 40, 12};
                    expected.Apply(imvela::select_kernel(KernelOperation::HueSaturation, mode), expected, nullptr, 0, 0, &h);
                }
                run(KernelOperation::Gamma, 150);
            }
            run(KernelOperation::Contrast, 10);
            if (all) {
                ASSERT_EQ(work.CreateLike(&expected), 1);
                std::memcpy(work.bits(), expected.bits(), expected.size_bytes());
                imvela::AdjustmentBlock a{5, 12};
                expected.Apply(imvela::select_kernel(KernelOperation::Sharpness, mode), work, nullptr, 0, 0, &a);
                run(KernelOperation::Brightness, -20);
            }
            EXPECT_EQ(std::memcmp(got.bits(), expected.bits(), got.size_bytes()), 0);
            c.stop_preview();
        }
    }
}
