// The viewers' shared session driven as their windows drive it, without a window: the mouse
// over the picture area, keys, regions that become the capture window, actions asked for
// while recording, and a camera another handle holds.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/test_window.h"
#include "support/wait.h"
#include "viewer_session.h"

namespace {

namespace fs = std::filesystem;

struct RegionCase {
    SensorWindow current;
    int32_t x0, y0, x1, y1;
    SensorWindow expected;  // width 0: no region
};

TEST(ViewerRegion, MapsPicturePixelsToAWindowTheSensorTakes) {
    const SensorWindow full{1292, 1040, 1280, 1024, 0, 0};
    const RegionCase cases[] = {
        {full, 200, 100, 602, 502, {1292, 1040, 402, 402, 200, 100}},  // even already
        {full, 201, 101, 600, 500, {1292, 1040, 400, 400, 200, 100}},  // starts down, ends up to even
        {{1292, 1040, 302, 252, 400, 350}, 10, 10, 20, 20, {1292, 1040, 16, 16, 410, 360}},  // offset, smallest side
        {{1292, 1040, 40, 40, 1250, 1000}, 30, 30, 40, 40, {1292, 1040, 16, 16, 1276, 1024}},  // back inside
        {full, 700, 600, 400, 350, {1292, 1040, 300, 250, 400, 350}},  // dragged up and left
        {full, 1300, 10, 1400, 20, {}},                                // off the picture
    };
    for (const RegionCase& c : cases) {
        SensorWindow got;
        const bool made = region_window(c.current, c.x0, c.y0, c.x1, c.y1, &got);
        EXPECT_EQ(made, c.expected.width != 0) << c.x0 << "," << c.y0;
        if (!made || !c.expected.width) continue;
        EXPECT_EQ(std::make_tuple(got.width, got.height, got.h_start, got.v_start),
                  std::make_tuple(c.expected.width, c.expected.height, c.expected.h_start, c.expected.v_start))
            << c.x0 << "," << c.y0;
    }
}

TEST(ViewerGeometry, ZoomKeepsThePointUnderTheMouseAndPanStaysOnThePicture) {
    ViewGeometry g;
    g.reset(1280, 1024, 640, 600);  // fitted 640 x 512, centred
    EXPECT_EQ(g.picture().y, 44);
    int32_t px = 0, py = 0;
    EXPECT_FALSE(g.to_picture(10, 20, &px, &py));  // the band above the picture
    ASSERT_TRUE(g.to_picture(100, 300, &px, &py));
    EXPECT_EQ(std::make_pair(px, py), std::make_pair(200, 512));
    ASSERT_TRUE(g.zoom_at(100, 300, true));
    int32_t zx = 0, zy = 0;
    ASSERT_TRUE(g.to_picture(100, 300, &zx, &zy));
    EXPECT_EQ(std::make_pair(zx, zy), std::make_pair(px, py));
    g.pan(100000, -100000);  // far right and down: the picture's corner stays in the corner
    EXPECT_EQ(std::make_pair(g.picture().x, g.picture().y + g.picture().height), std::make_pair(0, 600));
    EXPECT_TRUE(g.zoom_at(0, 0, true));
    EXPECT_TRUE(g.zoom_at(0, 0, true));
    EXPECT_FALSE(g.zoom_at(0, 0, true));  // 8x would make a picture pixel 4 area pixels wide
    const ViewRect r = g.to_area(0, 0, 10, 10);
    EXPECT_EQ(r.width, 40);
}

TEST(ViewerPicture, HistogramAndReadoutAtTheDeliveredDepth) {
    // Two 48-bit pixels (blue, green, red words) and two 16-bit gray pixels, one row each.
    const uint16_t color[6] = {17, 2230, 4012, 0, 0, 4095};
    const uint16_t gray[2] = {4095, 16};
    PictureProbe probe;
    probe.assign(reinterpret_cast<const uint8_t*>(color), 2, 1, 48);
    PixelReadout r;
    ASSERT_TRUE(probe.read(0, 0, &r));
    EXPECT_EQ(readout_text(r), "x 0, y 0: R 4012 G 2230 B 17");
    EXPECT_FALSE(probe.read(2, 0, &r));
    Histogram h = probe.histogram();
    EXPECT_EQ(h.channels, 3);
    EXPECT_EQ(h.sample_max, 4095);
    EXPECT_EQ(h.counts[0][4012 >> 4], 1u);
    EXPECT_EQ(h.counts[0][255], 1u);
    EXPECT_EQ(std::make_pair(h.counts[2][1], h.counts[2][0]), std::make_pair(1u, 1u));
    uint8_t gray_row[4];
    std::memcpy(gray_row, gray, 4);
    probe.assign(gray_row, 2, 1, 16);
    h = probe.histogram();
    EXPECT_EQ(h.channels, 1);
    EXPECT_EQ(std::make_pair(h.counts[0][255], h.counts[0][1]), std::make_pair(1u, 1u));
}

class ViewerSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / unique_test_name();
        fs::create_directories(folder);
        options.output_folder = folder.string();
        options.record_ms = 500;
        std::string error;
        ASSERT_TRUE(session.open(window.handle(), options, nullptr, &error)) << error;
        // No window: the preview runs, the mouse works on an area of 640 x 512.
        ASSERT_TRUE(session.start(nullptr, 0, 0, 0, 0)) << session.message();
        session.set_picture_area(640, 512);
    }
    void TearDown() override {
        session.close();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    // Hands the posted messages on until `done`, as the viewers' loops do.
    template <class Condition>
    bool serve_until(Condition done) {
        return wait_until([&] {
            PostedMessage m;
            while (window.next(&m, 0)) session.on_message(m.message, m.wparam, m.lparam);
            session.tick();
            session.take_picture();
            return done();
        });
    }

    ScratchSettings store;
    ScopedEnvironment root{"IMVELA_SETTINGS_ROOT", store.root().c_str()};
    ScopedEnvironment cameras{"IMVELA_EMULATOR", "0"};
    ScopedEnvironment scene{"IMVELA_EMULATOR_SCENE", "ramp"};
    TestWindow window;
    fs::path folder;
    ViewerOptions options;
    ViewerSession session;
};

TEST_F(ViewerSessionTest, MouseReadsSamplesAndADraggedRegionBecomesTheCaptureWindow) {
    ASSERT_TRUE(serve_until([&] { return session.histogram().tallest > 0; }));
    EXPECT_EQ(session.histogram().channels, 3);
    session.pointer_moved(320, 256);
    EXPECT_EQ(session.readout().rfind("x 640, y 512: R ", 0), 0u) << session.readout();
    EXPECT_NE(session.status_line().find("frame #"), std::string::npos) << session.status_line();

    session.pressed(100, 50, ViewerSession::Button::kLeft);
    session.pointer_moved(300, 250);
    ViewRect outline;
    ASSERT_TRUE(session.region_outline(&outline));
    EXPECT_EQ(std::make_tuple(outline.x, outline.y, outline.width, outline.height), std::make_tuple(100, 50, 200, 200));
    session.released(300, 250);
    EXPECT_FALSE(session.region_outline(&outline));
    int32_t total_w = 0, h_start = 0, width = 0, total_h = 0, v_start = 0, height = 0;
    Imvela_GetCaptureWindowEx(session.handle(), &total_w, &h_start, &width, &total_h, &v_start, &height);
    EXPECT_EQ(std::make_tuple(width, height, h_start, v_start), std::make_tuple(402, 402, 200, 100)) << session.message();
    EXPECT_TRUE(serve_until([&] { return session.histogram().tallest > 0 && session.image_width() == 402; }));
    session.run(kWholeWindow, nullptr);
    EXPECT_EQ(session.capture_window().width, 1280);
}

TEST_F(ViewerSessionTest, KeysAdjustTheChosenValueWithinItsLimits) {
    int32_t ok = 0;
    const int32_t gain = Imvela_GetGlobalGain(session.handle(), &ok);
    session.run(kIncrease, nullptr);
    EXPECT_GT(Imvela_GetGlobalGain(session.handle(), &ok), gain);
    session.run(kChooseNext, nullptr);  // the exposure
    for (int i = 0; i < 80; ++i) session.run(kIncreaseMore, nullptr);
    ImvelaCameraInfo info{};
    info.size = sizeof info;
    ASSERT_EQ(Imvela_GetCameraInfo(session.handle(), &info), 1);
    EXPECT_EQ(Imvela_GetExposureTime(session.handle(), &ok), info.exposure_max);
}

TEST_F(ViewerSessionTest, ActionsAskedForWhileRecordingAreDoneAfterwards) {
    ASSERT_TRUE(serve_until([&] { return session.histogram().tallest > 0; }));
    session.run(kRecord, nullptr);
    session.run(kShowGray16, nullptr);
    EXPECT_NE(session.message().find("once the recording is over"), std::string::npos);
    session.run(kToggleTrigger, nullptr);
    EXPECT_TRUE(serve_until([&] { return session.mode_text() == "16-bit gray, trigger"; })) << session.status_line();
    // Above 8 bits a sample, stills are PNG files.
    session.run(kToggleTrigger, nullptr);
    ASSERT_TRUE(serve_until([&] { return session.histogram().channels == 1; }));
    session.run(kSaveStill, nullptr);
    EXPECT_TRUE(fs::exists(folder / "still-001.png")) << session.message();
}

TEST_F(ViewerSessionTest, ACameraHeldByAnotherHandleIsSaidInOneLine) {
    ViewerSession second;
    std::string error;
    EXPECT_FALSE(second.open(window.handle(), options, nullptr, &error));
    EXPECT_EQ(error.rfind("camera 0 is in use by process ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

}  // namespace
