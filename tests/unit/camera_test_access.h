#pragma once
// White-box access to a camera object for the capture tests, and a fixture that gives each
// test a camera object on a fresh emulated camera and a fresh settings store.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "camera/imvela.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "emulator/emulated_driver.h"
#include "imaging/image_buffer.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/wait.h"

namespace imvela {

struct CImvelaTestAccess {
    static ImageProcessingBlock& filter(CImvela& c) { return c.filter_; }
    static AnalogBlock& analog(CImvela& c) { return c.analog_; }
    static void set_window(CImvela& c, const CaptureWindow& w) { c.set_capture_window_fields(w); }
    static void set_color_index(CImvela& c, int32_t index) { c.color_mode_ = index; }
    static void windowless(CImvela& c) { c.preview_window_.place(nullptr, 0, 0, 0, 0); }
    static bool worker_alive(CImvela& c) { return c.worker_.joinable(); }
    static int32_t run_state(CImvela& c) { return c.run_state_.load(); }
    static DeviceUseTable& use_table(CImvela& c) { return c.use_table_; }
    static void set_capture_mode(CImvela& c, int32_t mode) { c.capture_mode_.store(mode); }
    static int32_t active_color_mode(CImvela& c) { return c.active_color_mode_; }
    static CImageBuffer* raw(CImvela& c) { return c.raw_buffer(); }
    static CImageBuffer* output(CImvela& c) { return c.output_buffer(); }
    // Prepares the buffers for the current settings, as a capture start does.
    static int32_t prepare(CImvela& c) { return c.prepare_capture(); }
};

}  // namespace imvela

// A capture window of the given effective area (totals as the sensor).
inline imvela::CaptureWindow window_of(int32_t h_start, int32_t v_start, int32_t width, int32_t height) {
    imvela::CaptureWindow w;
    w.h_start = h_start;
    w.v_start = v_start;
    w.width = width;
    w.height = height;
    return w;
}

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override { use_emulator(imvela::emulator::Scene::kRamp); }
    void TearDown() override {
        camera_.reset();
        imvela::emulator::emulated_driver().release_settings();
        imvela::emulator::emulated_driver().reset_cameras();
    }

    void use_emulator(imvela::emulator::Scene scene, std::vector<imvela::emulator::SensorPoint> defects = {}) {
        imvela::emulator::Settings s;
        s.cameras = {0};
        s.camera.scene = scene;
        s.camera.fps = 0;
        if (!defects.empty())
            s.camera.defects = std::make_shared<const imvela::emulator::DefectList>(std::move(defects));
        imvela::emulator::emulated_driver().fix_settings(s);
        imvela::emulator::emulated_driver().reset_cameras();
    }

    // A camera object on device 0: windowless, colour mode by bit depth.
    imvela::CImvela& open_camera(int32_t bits = 24, HWND notify = nullptr) {
        camera_ = std::make_unique<imvela::CImvela>();
        EXPECT_EQ(camera_->initialize(notify), 1);
        imvela::CImvelaTestAccess::windowless(*camera_);
        EXPECT_EQ(camera_->set_color_mode(bits), 1);
        drain_codes([this] { return camera_->last_error(); });
        return *camera_;
    }
    imvela::ImageProcessingBlock& filter() { return imvela::CImvelaTestAccess::filter(*camera_); }
    imvela::AnalogBlock& analog() { return imvela::CImvelaTestAccess::analog(*camera_); }
    imvela::emulator::EmulatedCamera& emulated(int32_t n = 0) { return *imvela::emulator::emulated_driver().camera(n); }

    ScratchSettings store_;
    ScopedEnvironment store_root_{"IMVELA_SETTINGS_ROOT", store_.root().c_str()};
    std::unique_ptr<imvela::CImvela> camera_;
};
