#pragma once
// A fixture that gives each test a camera object on a fresh emulated camera and a fresh
// settings store.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "camera/imvela.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "emulator/emulated_driver.h"
#include "imaging/image_buffer.h"
#include "platform/settings_tree.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/wait.h"

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
        EXPECT_EQ(camera_->set_preview_window(nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(camera_->set_color_mode(bits), 1);
        drain_codes([this] { return camera_->last_error(); });
        return *camera_;
    }
    imvela::ImageProcessingBlock& filter() { return camera_->filter_values(); }
    imvela::AnalogBlock& analog() { return camera_->analog_values(); }
    // Sets the capture window as Imvela_SetCaptureWindowEx does, refused or not, and forgets
    // the codes it records.
    void set_window(imvela::CImvela& c, const imvela::CaptureWindow& w) {
        c.set_capture_window_ex(w.total_width, w.h_start, w.width, w.total_height, w.v_start, w.height);
        drain_codes([&c] { return c.last_error(); });
    }
    // A colour-mode index as a hand-edited settings store holds it, loaded as at initialisation.
    void store_color_index(imvela::CImvela& c, int32_t index) {
        auto key = imvela::platform::SettingsKeyHandle::create(nullptr, (store_.root() + "\\Camera_00").c_str());
        ASSERT_TRUE(key);
        ASSERT_TRUE(key.write("Color", index));
        c.reload_video_format();
    }
    imvela::emulator::EmulatedCamera& emulated(int32_t n = 0) { return *imvela::emulator::emulated_driver().camera(n); }

    ScratchSettings store_;
    ScopedEnvironment store_root_{"IMVELA_SETTINGS_ROOT", store_.root().c_str()};
    std::unique_ptr<imvela::CImvela> camera_;
};
