// The camera object beyond its exports: the device-use table between camera objects, the
// capture window against a hand-written size table and a running capture, and settings
// with missing values.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "device/device_use_table.h"
#include "camera/filter_value_table.h"
#include "camera/imvela.h"
#include "unit/device_fixture.h"
#include "unit/emulated_camera_fixture.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "platform/settings_tree.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"


using imvela::CaptureWindow;
using imvela::CImvela;
using imvela::platform::SettingsKeyHandle;

namespace {

HWND fake_window(uintptr_t n) { return reinterpret_cast<HWND>(n); }

class CameraObjectTest : public ::testing::Test {
protected:
    void put(const std::string& key, const char* name, int32_t value) {
        SettingsKeyHandle handle = SettingsKeyHandle::create(nullptr, (store.root() + "\\" + key).c_str());
        ASSERT_TRUE(handle);
        ASSERT_TRUE(handle.write(name, value));
    }
    void put_entry(int entry, int32_t eh, int32_t ev, int32_t ehs = 0, int32_t evs = 0, int32_t buf = 4) {
        char key[64];
        std::snprintf(key, sizeof key, "Camera_00\\Size_%02d", entry);
        put(key, "TH", 1292);
        put(key, "TV", 1040);
        put(key, "EH", eh);
        put(key, "EV", ev);
        put(key, "EHS", ehs);
        put(key, "EVS", evs);
        put(key, "Buf", buf);
    }
    static std::vector<int32_t> errors(CImvela& c) {
        std::vector<int32_t> codes;
        for (int32_t code; (code = c.last_error()) != 0;) codes.push_back(code);
        return codes;
    }

    ScratchSettings store;
    ScopedEnvironment root{"IMVELA_SETTINGS_ROOT", store.root().c_str()};
    ScopedEnvironment cameras{"IMVELA_EMULATOR", "0,1"};
    ScopedEnvironment fps{"IMVELA_EMULATOR_FPS", "0"};
};

using Codes = std::vector<int32_t>;

TEST_F(CameraObjectTest, DestructionReleasesTheCurrentDevice) {
    CImvela watcher;
    ASSERT_EQ(watcher.initialize(nullptr), 1);
    {
        CImvela owner;
        ASSERT_EQ(owner.initialize(fake_window(0x30)), 1);
        ASSERT_EQ(owner.set_device_number(1), 1);
        owner.claim_device(1);
        EXPECT_TRUE(watcher.use_table().is_in_use(1));
    }
    EXPECT_FALSE(watcher.use_table().is_in_use(1));
}

TEST_F(CameraObjectTest, InvalidStoredSizeIsReplacedByTheFullSensor) {
    put_entry(0, 1280, 1024);
    put_entry(1, 1300, 1024, 0, 0, 6);  // wider than the sensor
    put_entry(2, 2, 100, 0, 0, 7);      // too narrow to read out
    put("Camera_00", "Size", 0);
    CImvela c;
    ASSERT_EQ(c.initialize(nullptr), 1);
    for (int32_t width : {1300, 2}) {
        ASSERT_EQ(c.set_capture_window_ex(1292, 8, 640, 1040, 8, 480), 1);
        EXPECT_EQ(c.set_capture_window(width, width == 2 ? 100 : 1024), 1) << width;
        EXPECT_EQ(errors(c), Codes{ERR_CAPTURE_WINDOW});
        const CaptureWindow w = c.capture_window();
        EXPECT_EQ(w.total_width, 1292);
        EXPECT_EQ(w.width, 1292);
        EXPECT_EQ(w.total_height, 1040);
        EXPECT_EQ(w.height, 1040);
        EXPECT_EQ(w.h_start, 0);
        EXPECT_EQ(w.v_start, 0);
        EXPECT_EQ(w.buffer_count, width == 2 ? 7 : 6);  // carried from the entry
        EXPECT_EQ(c.device()->window_width(), 1292);
        EXPECT_EQ(c.device()->window_x(), 0);
    }
}

TEST_F(CameraObjectTest, InvalidStoredWindowAtInitialisationFallsBackToTheFullSensor) {
    put_entry(0, 1280, 1024);
    put_entry(1, 1300, 1024);
    put("Camera_00", "Size", 1);
    CImvela c;
    ASSERT_EQ(c.initialize(nullptr), 1);
    EXPECT_EQ(errors(c), Codes{ERR_CAPTURE_WINDOW});
    EXPECT_EQ(c.width(), 1292);
    EXPECT_EQ(c.height(), 1040);
    EXPECT_EQ(c.device()->window_width(), 1292);
}

TEST_F(CameraObjectTest, CaptureWindowChangeDuringCaptureWaitsForTheNextPreparation) {
    CImvela c;
    ASSERT_EQ(c.initialize(nullptr), 1);
    ASSERT_EQ(c.capture(), 1);
    EXPECT_EQ(c.set_capture_window_ex(1292, 100, 640, 1040, 50, 480), 1);
    EXPECT_EQ(c.width(), 640);
    EXPECT_EQ(c.device()->window_width(), 1280);  // the running capture's window stays
    EXPECT_EQ(c.device()->window_x(), 0);
    EXPECT_EQ(c.set_capture_window_ex(1292, 100, 2, 1040, 50, 480), 0);  // still judged
    EXPECT_EQ(errors(c), Codes{ERR_CAPTURE_WINDOW});
    ASSERT_EQ(c.stop_preview(), 1);
    EXPECT_EQ(c.set_capture_window_ex(1292, 100, 640, 1040, 50, 480), 1);
    EXPECT_EQ(c.device()->window_width(), 640);
    EXPECT_EQ(c.device()->window_x(), 100);
}

// A sensor write the device refuses fails the setter and leaves ERR_DEVICE_IO in the history.
TEST_F(CameraObjectTest, RefusedSensorWritesFailTheSetterAsDeviceErrors) {
    RecordingTransport refusing{imvela::emulator::emulated_driver()};  // outlives the camera
    refusing.fail = [](const TransportCall& call) { return call.pipe == imvela::driver::kPipeCommand; };
    CImvela c;
    ASSERT_EQ(c.initialize(nullptr), 1);
    errors(c);
    c.device()->use_transport(refusing);
    const std::pair<const char*, std::function<int32_t()>> setters[] = {
        {"gain", [&] { return c.set_filter_value(imvela::kFilterGlobalGain, 5); }},
        {"exposure", [&] { return c.set_filter_value(imvela::kFilterExposureTime, 700); }},
        {"horizontal mirror", [&] { return c.set_mirror_h(1); }},
        {"vertical mirror", [&] { return c.set_mirror_v(1); }},
    };
    for (const auto& setter : setters) {
        EXPECT_EQ(setter.second(), 0) << setter.first;
        EXPECT_EQ(errors(c), Codes{ERR_DEVICE_IO}) << setter.first;
    }
}

}  // namespace
