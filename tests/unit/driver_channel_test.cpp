#include <string>

#include "camera/driver_choice.h"
#include "device/driver_channel.h"
#include "device/system_driver_transport.h"
#include "device_fixture.h"
#include "support/wait.h"
#include "support/test_environment.h"

using namespace imvela;
using imvela::driver::Record;

namespace {

std::string path_of(int32_t number) {
    char path[128];
    if (!format_device_path(driver::kDevicePrefix, number, path, sizeof path)) return "";
    return path;
}

Record record(std::initializer_list<int> bytes) {
    Record r{};
    size_t i = 0;
    for (int b : bytes) r[i++] = static_cast<uint8_t>(b);
    return r;
}

}  // namespace

TEST(DevicePath, SuffixTableKeepsNBeforeM) {
    EXPECT_EQ(path_of(0), "\\\\.\\OvixM52ZKR-0");
    EXPECT_EQ(path_of(10), "\\\\.\\OvixM52ZKR-A");
    EXPECT_EQ(path_of(22), "\\\\.\\OvixM52ZKR-N");
    EXPECT_EQ(path_of(23), "\\\\.\\OvixM52ZKR-M");
    EXPECT_EQ(path_of(32), "\\\\.\\OvixM52ZKR-W");
    EXPECT_EQ(path_of(35), "\\\\.\\OvixM52ZKR-Z");
    EXPECT_EQ(path_of(36), "");
    EXPECT_EQ(path_of(-1), "");
    char tiny[8];
    EXPECT_FALSE(format_device_path(driver::kDevicePrefix, 0, tiny, sizeof tiny));
}

TEST(DriverChannel, PrimitiveResultCodes) {
    uint8_t buffer[64];
    uint32_t moved = 99;
    DriverHandle none;
    EXPECT_EQ(standard_transfer(none, 0, 64, nullptr, &moved, 1), kTransferNoBuffer);  // buffer tested first
    EXPECT_EQ(standard_transfer(none, 0, 64, buffer, &moved, 1), kTransferNoHandle);
    EXPECT_EQ(large_transfer(none, 2, 64, buffer, &moved, 1), kTransferNoHandle);
    EXPECT_EQ(send_command(none, driver::command(driver::CMD_PREPARE)), kRecordNoHandle);
    Record reply{};
    EXPECT_EQ(read_response(none, &reply), kRecordNoHandle);
    EXPECT_EQ(close_device_file(&none), 0);
    EXPECT_EQ(open_device_file(system_driver_transport(), nullptr, &none), 0);
}

class DriverChannelTest : public EmulatedDeviceTest {};

TEST_F(DriverChannelTest, InvalidHandleCountsAsOpenedAndFailsItsTransfers) {
    use_cameras({});
    DriverHandle h;
    EXPECT_EQ(open_device_file(transport, path_of(0).c_str(), &h), 1);
    EXPECT_TRUE(h.is_invalid());
    EXPECT_EQ(send_command(h, driver::command(driver::CMD_PREPARE)), kRecordFailed);
    EXPECT_EQ(close_device_file(&h), 1);
    EXPECT_TRUE(h.is_null());
}

TEST_F(DriverChannelTest, ShortRecordIsAFailure) {
    DriverHandle h;
    ASSERT_EQ(open_device_file(transport, path_of(0).c_str(), &h), 1);
    uint8_t small[32] = {driver::CMD_PREPARE};
    uint32_t moved = 0;
    // The controller refuses a record of the wrong length.
    EXPECT_EQ(standard_transfer(h, driver::kPipeCommand, sizeof small, small, &moved, 1), kTransferFailed);
    EXPECT_EQ(send_command(h, driver::command(driver::CMD_PREPARE)), kRecordOk);
    // An unknown command code is refused as well.
    EXPECT_EQ(send_command(h, record({0x33})), kRecordFailed);
    // Stray bytes after a command's fields are refused.
    EXPECT_EQ(send_command(h, record({driver::CMD_PREPARE, 1})), kRecordFailed);
    close_device_file(&h);
}

TEST_F(DriverChannelTest, EnumerationFindsExactlyTheAttachedNumbers) {
    use_cameras({0, 2, 5, 31, 33});
    CImvelaM61XZKRSdk device(transport);
    for (int32_t n = 0; n < 40; ++n)
        EXPECT_EQ(device.is_device_present(n), n == 0 || n == 2 || n == 5 || n == 31 ? 1 : 0) << n;
    EXPECT_EQ(device.select_device(5), 0);
    device.enumerate_devices();
    // Number and path keep naming the same camera.
    EXPECT_EQ(device.current_device_number(), 5);
    EXPECT_STREQ(device.device_path(), "\\\\.\\OvixM52ZKR-5");

    use_cameras({});
    device.enumerate_devices();
    for (int32_t n = 0; n < 33; ++n) EXPECT_EQ(device.is_device_present(n), 0);
    EXPECT_EQ(device.current_device_number(), 5);
}

TEST_F(DriverChannelTest, SelectDeviceRefusesAbove32AndKeepsThePath) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.select_device(33), kDeviceRefused);
    EXPECT_STREQ(device.device_path(), "\\\\.\\OvixM52ZKR-0");
    EXPECT_EQ(device.current_device_number(), 0);
    EXPECT_EQ(device.select_device(-1), kDeviceRefused);
    EXPECT_EQ(device.select_device(32), 0);
    EXPECT_STREQ(device.device_path(), "\\\\.\\OvixM52ZKR-W");
    EXPECT_EQ(device.open_device(33), kDeviceRefused);
}

TEST_F(DriverChannelTest, CommandRecordsAsTheControllerReceivesThem) {
    CImvelaM61XZKRSdk device(transport);
    transport.clear();
    EXPECT_TRUE(device.write_register(0x1234, 0xBEEF));
    int32_t value = 0;
    EXPECT_TRUE(device.read_register(0x1234, &value));
    EXPECT_TRUE(device.write_port(7, 0xA5));
    uint8_t byte = 0;
    EXPECT_TRUE(device.read_port(7, &byte));
    EXPECT_TRUE(device.write_srom_id(0x42, 0x99));
    EXPECT_TRUE(device.read_srom_id(0x42, &byte));
    EXPECT_TRUE(device.read_srom_byte(0x1EB0, &byte));
    EXPECT_TRUE(device.set_sample_width(1));
    EXPECT_EQ(device.rebuild_geometry(64, 0, 64, 16, 0, 16, 2), 0);
    ASSERT_EQ(device.start_streaming(), 0);
    ASSERT_TRUE(wait_until([&] { return device.take_newest_frame() == kTakeReady; }));
    EXPECT_EQ(device.stop_streaming(), 0);

    const auto sent = transport.commands_copy();
    const std::vector<Record> expected_prefix = {
        record({0x04, 0x12, 0x34, 0xBE, 0xEF}),
        record({0x0C, 0x12, 0x34}),
        record({0x25, 7, 0xA5}),
        record({0x26, 7}),
        record({0x40, 0x51, 0x03, 0x18, 0x42, 0x99}),
        record({0x41, 0x51, 0x02, 0x01, 0x18, 0x42}),
        record({0x41, 0x51, 0x02, 0x01, 0x1E, 0xB0}),
        record({0x0A, 1}),            // the model always asks for two-byte words...
        record({0x25, 14, 5}),        // ...and chooses their meaning with port 14
        record({0x09, 0x00, 0x04}),   // 64 x 16 samples = 1024, little-endian
        record({0x01}),
    };
    ASSERT_GE(sent.size(), expected_prefix.size() + 1);
    for (size_t i = 0; i < expected_prefix.size(); ++i) EXPECT_EQ(sent[i], expected_prefix[i]) << "record " << i;
    EXPECT_EQ(sent[expected_prefix.size()], record({0x02}));

    // The controller understood every one of them.
    EXPECT_EQ(value, 0xBEEF);
    EXPECT_EQ(camera().read_register(0x1234), 0xBEEF);
    EXPECT_EQ(camera().read_port(7), 0xA5);
    EXPECT_EQ(camera().read_port(14), 5);
    EXPECT_EQ(camera().srom(0x1842, {}), 0x99);
}

TEST_F(DriverChannelTest, InitializeAndPrepareRecordsAndTheirCodes) {
    transport.clear();
    CImvelaM61XZKRSdk device(transport);
    const auto sent = transport.commands_copy();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], record({0x0A, 1}));
    EXPECT_EQ(sent[1], record({0x25, 14, 4}));
    EXPECT_EQ(sent[2], record({0x06}));
    // Every command went to pipe 0 with selector 1, every reply came from pipe 1 with selector 0.
    for (const TransportCall& c : transport.calls) {
        if (c.pipe == driver::kPipeCommand) {
            EXPECT_EQ(c.code, driver::kCodeTransferIn);
        }
        if (c.pipe == driver::kPipeResponse) {
            EXPECT_EQ(c.code, driver::kCodeTransferOut);
        }
        EXPECT_EQ(c.length, driver::kRecordSize);
    }
    EXPECT_EQ(transport.opens, transport.closes);  // each transaction closes its file
}

TEST_F(DriverChannelTest, OnlyTheSecondResponseReadDecides) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_TRUE(device.write_register(0x0F, 0x1234));
    EXPECT_TRUE(device.write_port(7, 0x5A));

    int reads = 0;
    transport.fail = [&](const TransportCall& c) { return c.pipe == driver::kPipeResponse && ++reads == 1; };
    int32_t value = 0;
    EXPECT_EQ(device.read_register(0x0F, &value), 1);
    EXPECT_EQ(value, 0x1234);

    reads = 0;
    uint8_t byte = 0;
    EXPECT_EQ(device.read_port(7, &byte), 1);
    EXPECT_EQ(byte, 0x5A);

    reads = 0;
    transport.fail = [&](const TransportCall& c) { return c.pipe == driver::kPipeResponse && ++reads == 2; };
    value = 77;
    EXPECT_EQ(device.read_register(0x0F, &value), 0);
    EXPECT_EQ(value, 0);

    // A failed command is not followed by response reads.
    transport.fail = [&](const TransportCall& c) { return c.pipe == driver::kPipeCommand; };
    transport.clear();
    EXPECT_EQ(device.read_register(0x0F, &value), 0);
    EXPECT_EQ(transport.calls.size(), 1u);
}

TEST_F(DriverChannelTest, SerialRom) {
    CImvelaM61XZKRSdk device(transport);
    uint8_t byte = 0xFF;
    const char expected[] = "EMU-00";
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(device.read_srom_id(i, &byte), 1);
        EXPECT_EQ(byte, i < 6 ? static_cast<uint8_t>(expected[i]) : 0) << i;
    }
    EXPECT_EQ(device.read_srom_byte(0x1EB0, &byte), 1);
    EXPECT_EQ(byte, 1);

    transport.settles.clear();
    EXPECT_EQ(device.write_srom_id(3, 0x7E), 1);
    EXPECT_EQ(transport.settles, std::vector<int32_t>{10});
    EXPECT_EQ(device.read_srom_id(3, &byte), 1);
    EXPECT_EQ(byte, 0x7E);

    // Below the identifier area: refused without touching the device.
    transport.clear();
    byte = 0x55;
    EXPECT_EQ(device.read_srom_byte(0x17FF, &byte), 0);
    EXPECT_EQ(byte, 0x55);
    EXPECT_EQ(transport.opens, 0);
    EXPECT_TRUE(transport.calls.empty());
    EXPECT_EQ(device.read_srom_id(256, &byte), 0);
    EXPECT_EQ(device.write_srom_id(-1, 0), 0);
    EXPECT_EQ(transport.opens, 0);
}

TEST_F(DriverChannelTest, DriverTimeoutRecordReachesTheCamera) {
    CImvelaM61XZKRSdk device(transport);
    transport.clear();
    EXPECT_TRUE(device.set_driver_timeout(60000));
    ASSERT_EQ(transport.calls.size(), 1u);
    EXPECT_EQ(transport.calls[0].code, driver::kCodeSetTimeout);
    EXPECT_EQ(device.driver_timeout(), 60000);
    const auto r = driver::timeout_record(60000);
    EXPECT_EQ(driver::get_le32(&r[0]), 1u);
    EXPECT_EQ(driver::get_le32(&r[4]), 60000u);
    for (size_t i = 8; i < r.size(); ++i) EXPECT_EQ(r[i], 0);
}

// No camera and no emulator: the system driver, whose device files cannot be opened here
// (POSIX has none; under Windows no camera is attached).
TEST(NoCameraAttached, EveryOperationTakesItsFailurePath) {
    CImvelaM61XZKRSdk device(system_driver_transport());
    for (int32_t n = 0; n < 32; ++n) EXPECT_EQ(device.is_device_present(n), 0);
    int32_t value = 5;
    EXPECT_EQ(device.read_register(0x2E, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(device.write_register(0x0F, 1), 0);
    uint8_t byte = 9;
    EXPECT_EQ(device.read_port(7, &byte), 0);
    EXPECT_EQ(byte, 0);
    EXPECT_EQ(device.write_port(7, 1), 0);
    EXPECT_EQ(device.read_srom_id(0, &byte), 0);
    EXPECT_EQ(device.write_srom_id(0, 1), 0);
    EXPECT_EQ(device.read_gain_index(), 0);
    EXPECT_EQ(device.read_line_length(), 0);
    EXPECT_EQ(device.set_trigger_mode(1), 0);
    EXPECT_EQ(device.set_readout_mode(1), 0);
    EXPECT_EQ(device.read_single_frame(), kStreamOpenFailed);
    EXPECT_EQ(device.last_transfer_error(), kStreamTransferFailed);

    // The device file is not there to take the prepare command: no loop starts.
    EXPECT_EQ(device.start_streaming(), kStreamOpenFailed);
    EXPECT_EQ(device.stop_streaming(), 0);
}

// The driver choice follows IMVELA_EMULATOR.
TEST(EnvironmentSelection, EnumerationFollowsImvelaEmulator) {
    emulator::emulated_driver().release_settings();
    {
        ScopedEnvironment cameras("IMVELA_EMULATOR", "0,2,5");
        ScopedEnvironment fast("IMVELA_EMULATOR_FPS", "0");
        CImvelaM61XZKRSdk device(choose_driver_transport());
        for (int32_t n = 0; n < 32; ++n) EXPECT_EQ(device.is_device_present(n), n == 0 || n == 2 || n == 5 ? 1 : 0);
        EXPECT_EQ(emulator::emulated_driver().camera(0)->read_register(0x2E), 0x09D0);
        EXPECT_EQ(device.set_window(0, 0, 64, 4, 0), 0);
        EXPECT_EQ(device.read_single_frame(), 0);
    }
    {
        ScopedEnvironment cameras("IMVELA_EMULATOR", "none");
        CImvelaM61XZKRSdk device(choose_driver_transport());
        for (int32_t n = 0; n < 32; ++n) EXPECT_EQ(device.is_device_present(n), 0);
        EXPECT_EQ(device.current_device_number(), 0);
        int32_t v = 1;
        EXPECT_EQ(device.read_register(0x2E, &v), 0);
    }
    emulator::emulated_driver().reset_cameras();
}
