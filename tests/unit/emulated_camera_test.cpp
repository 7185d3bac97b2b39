#include <atomic>
#include <cstdio>
#include <thread>

#include "device_fixture.h"
#include "support/wait.h"
#include "emulator/emulated_scene.h"

using namespace imvela;
using emulator::emulated_driver;

class EmulatedCameraTest : public EmulatedDeviceTest {
protected:
    // A device with a small window and the trigger armed.
    void arm(CImvelaM61XZKRSdk& device) {
        EXPECT_EQ(device.set_window(0, 0, 64, 8, 0), 0);
        EXPECT_TRUE(device.set_driver_timeout(5000));
        ASSERT_EQ(device.set_trigger_mode(1), 1);
    }
};

TEST(EmulatorSettings, CameraListsAndPaths) {
    std::vector<int32_t> cams;
    emulator::parse_camera_list("0,2,5", &cams);
    EXPECT_EQ(cams, (std::vector<int32_t>{0, 2, 5}));
    emulator::parse_camera_list(" 7 , x, 40, 7,35", &cams);
    EXPECT_EQ(cams, (std::vector<int32_t>{7, 35}));
    emulator::parse_camera_list("none", &cams);
    EXPECT_TRUE(cams.empty());
    // An absurd list is refused whole, not read at every device request.
    std::string huge = "1";
    while (huge.size() <= emulator::kMaxCameraListLength) huge += ",1";
    EXPECT_FALSE(emulator::parse_camera_list(huge, &cams));
    EXPECT_TRUE(cams.empty());
    EXPECT_TRUE(emulator::parse_camera_list(huge.substr(0, emulator::kMaxCameraListLength), &cams));
    EXPECT_EQ(cams, (std::vector<int32_t>{1}));
    EXPECT_EQ(emulator::device_number_of_path("\\\\.\\OvixM52ZKR-N"), 22);
    EXPECT_EQ(emulator::device_number_of_path("\\\\.\\OvixM52ZKR-M"), 23);
    EXPECT_EQ(emulator::device_number_of_path("\\\\.\\OvixM52ZKR-0"), 0);
    EXPECT_EQ(emulator::device_number_of_path("\\\\.\\OvixM52ZKR-00"), -1);
    EXPECT_EQ(emulator::device_number_of_path("\\\\.\\Other-0"), -1);
    EXPECT_EQ(emulator::device_number_of_path("OvixM52ZKR-0"), -1);
    EXPECT_EQ(emulator::device_number_of_path(nullptr), -1);
}

TEST_F(EmulatedCameraTest, TriggeredReadsWaitForTheTrigger) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(camera().trigger(), 0);  // not armed
    arm(device);
    // A trigger with no read pending is latched, at most one.
    EXPECT_EQ(camera().trigger(), 1);
    EXPECT_EQ(camera().trigger(), 1);
    EXPECT_EQ(device.read_single_frame(), 0);
    const int32_t frames = camera().frame_count();

    std::atomic<int32_t> result{-1};
    std::thread reader([&] { result = device.read_single_frame(); });
    ASSERT_TRUE(wait_until([&] { return camera().waiting_reads() != 0; }));
    EXPECT_EQ(camera().frame_count(), frames);
    EXPECT_EQ(camera().trigger(), 1);
    reader.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(camera().frame_count(), frames + 1);

    // Disarming ends a pending read with a failure.
    result = -1;
    std::thread pending([&] { result = device.read_single_frame(); });
    ASSERT_TRUE(wait_until([&] { return camera().waiting_reads() != 0; }));
    EXPECT_EQ(device.write_port(11, 0), 1);
    pending.join();
    EXPECT_EQ(result.load(), kStreamTransferFailed);
    EXPECT_EQ(camera().trigger(), 0);
}

TEST_F(EmulatedCameraTest, PeriodicTriggerAndTimeout) {
    emulator::Settings s = emulated_driver().settings();
    s.camera.trigger_ms = 5;
    emulated_driver().fix_settings(s);
    CImvelaM61XZKRSdk device(transport);
    arm(device);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(device.read_single_frame(), 0);

    s.camera.trigger_ms = 0;
    emulated_driver().fix_settings(s);
    EXPECT_TRUE(device.set_driver_timeout(20));
    EXPECT_EQ(device.read_single_frame(), kStreamTransferFailed);  // no trigger within the timeout
}

TEST_F(EmulatedCameraTest, FaultsAndUnplug) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.set_window(0, 0, 64, 8, 0), 0);
    EXPECT_EQ(camera().inject_fault(0, 1), 0);
    EXPECT_EQ(camera().inject_fault(5, 1), 0);

    EXPECT_TRUE(device.set_driver_timeout(30));
    ASSERT_EQ(camera().inject_fault(3, 1), 1);
    EXPECT_EQ(device.read_single_frame(), kStreamTransferFailed);  // stalled for the timeout
    EXPECT_EQ(device.read_single_frame(), 0);

    const int32_t frames = camera().frame_count();
    camera().inject_fault(2, 2);
    EXPECT_EQ(device.read_single_frame(), kStreamTransferFailed);
    EXPECT_EQ(device.read_single_frame(), kStreamTransferFailed);
    EXPECT_EQ(device.read_single_frame(), 0);
    EXPECT_EQ(camera().frame_count(), frames + 1);

    camera().inject_fault(4, 1);
    EXPECT_EQ(device.read_single_frame(), kStreamTransferFailed);
    device.enumerate_devices();
    EXPECT_EQ(device.is_device_present(0), 0);
    EXPECT_EQ(device.write_register(0x0F, 1), 0);
    camera().replug();
    device.enumerate_devices();
    EXPECT_EQ(device.is_device_present(0), 1);
    EXPECT_EQ(device.write_register(0x0F, 9), 1);
    EXPECT_EQ(camera().read_register(0x0F), 9);
}

TEST_F(EmulatedCameraTest, DefectPixelsReadFullScale) {
    const std::string path = ::testing::TempDir() + "imvela_defects.bin";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        const int32_t records[] = {5, 1039 - 3, 100, 0, 7, 5000};  // (5, Y 3), (100, Y 1039), outside
        std::fwrite(records, sizeof records, 1, f);
        std::fclose(f);
    }
    emulator::Settings s = emulated_driver().settings();
    s.camera.defects = std::make_shared<const emulator::DefectList>(emulator::load_defect_file(path));
    EXPECT_EQ(s.camera.defects->size(), 2u);
    emulated_driver().fix_settings(s);
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.set_window(0, 0, 64, 8, 0), 0);
    ASSERT_EQ(device.read_single_frame(), 0);
    std::vector<uint8_t> out(64 * 8);
    EXPECT_EQ(device.extract_single_frame(out.data()), 0);
    EXPECT_EQ(out[3 * 64 + 5], 255);
    EXPECT_EQ(out[3 * 64 + 4], (4 + 6) % 256);
    EXPECT_TRUE(device.set_mirror_v(1));  // Y 3 is now delivered row 4
    ASSERT_EQ(device.read_single_frame(), 0);
    EXPECT_EQ(device.extract_single_frame(out.data()), 0);
    EXPECT_EQ(out[4 * 64 + 5], 255);
    std::remove(path.c_str());
}

TEST_F(EmulatedCameraTest, RomModeByteAndIdentifierPersistence) {
    emulator::Settings s = emulated_driver().settings();
    s.camera.rom_mode = 2;
    emulated_driver().fix_settings(s);
    CImvelaM61XZKRSdk device(transport);
    uint8_t byte = 0;
    ASSERT_EQ(device.read_srom_byte(0x1EB0, &byte), 1);
    EXPECT_EQ(byte, 2);
    EXPECT_TRUE(device.write_srom_id(0, 'X'));
    EXPECT_EQ(device.open_device(0), 0);  // a reopen does not touch the ROM
    ASSERT_EQ(device.read_srom_id(0, &byte), 1);
    EXPECT_EQ(byte, 'X');
}

TEST_F(EmulatedCameraTest, BarsBrightenWithExposureAndGain) {
    use_cameras({0}, emulator::Scene::kBars);
    CImvelaM61XZKRSdk device(transport);
    EXPECT_TRUE(device.set_sample_width(1));
    EXPECT_EQ(device.set_window(0, 0, 160, 4, 0), 0);  // inside the white bar
    auto mean = [&] {
        EXPECT_EQ(device.read_single_frame(), 0);
        std::vector<uint16_t> out(160 * 4);
        EXPECT_EQ(device.extract_single_frame(out.data()), 0);
        double sum = 0;
        for (uint16_t v : out) {
            EXPECT_LE(v, 4095);
            sum += v;
        }
        return sum / static_cast<double>(out.size());
    };
    EXPECT_TRUE(device.set_exposure(300));
    EXPECT_TRUE(device.set_gain(0));
    const double dim = mean();
    EXPECT_TRUE(device.set_exposure(600));
    const double brighter = mean();
    EXPECT_TRUE(device.set_gain(6));
    const double brightest = mean();
    EXPECT_GT(dim, 100.0);
    EXPECT_GT(brighter, dim * 1.8);
    EXPECT_GT(brightest, brighter * 1.3);
    // The colour pattern at the sensor's top left: green, red / blue, green.
    EXPECT_EQ(emulator::bars_sample(0, 0), emulator::bars_sample(1, 0));      // white: all on
    EXPECT_NE(emulator::bars_sample(400, 0), emulator::bars_sample(401, 0));  // cyan: green on, red off
    EXPECT_EQ(emulator::bars_sample(400, 1), emulator::bars_sample(400, 0));  // blue and green on
}
