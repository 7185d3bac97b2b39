#include <cstdint>

#include "driver/exposure_conversion.h"
#include "device/sensor_init_table.h"
#include "driver/sensor_map.h"
#include "device_fixture.h"

using namespace imvela;

class SensorControlsTest : public EmulatedDeviceTest {
protected:
    int32_t reg(int32_t address) { return camera().read_register(address); }
};

TEST(SensorInitTable, OrderAndKnownValues) {
    using sensor::init_table_entry;
    EXPECT_EQ(sensor::kInitTableLength, 1 + 1536 + 1536 + 136);
    auto is = [](sensor::RegisterPair p, int a, int v) { return p.address == a && p.value == v; };
    EXPECT_TRUE(is(init_table_entry(0), 0x3E, 0));
    EXPECT_TRUE(is(init_table_entry(1), 0x8000, 0x0009));
    EXPECT_TRUE(is(init_table_entry(2), 0x8001, 0x0340));
    EXPECT_TRUE(is(init_table_entry(3), 0x8002, 0x4804));
    EXPECT_TRUE(is(init_table_entry(4), 0x8004, 0x000C));
    EXPECT_EQ(init_table_entry(1536).address, 0x87FE);
    EXPECT_TRUE(is(init_table_entry(1537), 0x8800, 0xA003));
    EXPECT_TRUE(is(init_table_entry(1539), 0x8802, 0x4000));
    EXPECT_EQ(init_table_entry(3072).address, 0x8FFE);
    EXPECT_TRUE(is(init_table_entry(3073), 0x00, 0x0300));
    EXPECT_TRUE(is(init_table_entry(3073 + 45), 0x2E, 0x09D0));
    EXPECT_TRUE(is(init_table_entry(sensor::kInitTableLength - 1), 0xFF, 0x0001));
    for (int32_t i = 1; i <= 3072; ++i) EXPECT_NE(init_table_entry(i).address & 3, 3) << i;
}

TEST_F(SensorControlsTest, OpenSequenceWritesTheTableAndTheFullWindow) {
    transport.clear();
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.init_table_written(), 1);
    EXPECT_EQ(reg(0x2E), 0x09D0);
    EXPECT_EQ(reg(0x8001), 0x0340);
    EXPECT_EQ(reg(0x8802), 0x4000);
    EXPECT_EQ(reg(0x3E), 0x0001);  // cleared first, set again by the table
    EXPECT_EQ(reg(0x04), 64);
    EXPECT_EQ(reg(0x05), 1040);
    EXPECT_EQ(reg(0x06), 132);
    EXPECT_EQ(reg(0x07), 1292);
    EXPECT_EQ(reg(0x02) & 1, 0);
    EXPECT_EQ(camera().read_port(11), 0);
    EXPECT_EQ(camera().read_port(14), 4);
    // Full sensor, one-byte samples: 1292 x 1040 = 1,343,680 rounded to 1,344,512.
    EXPECT_EQ(device.transfer_size(), 1344512);
    const int32_t size = camera().read_port(0) | camera().read_port(1) << 8 | camera().read_port(2) << 16 |
                         camera().read_port(3) << 24;
    EXPECT_EQ(size, 1344512);
    EXPECT_EQ(device.driver_timeout(), 3000);
    // One table write per pair, each in its own open and close.
    size_t register_writes = 0;
    for (const auto& r : transport.commands_copy()) register_writes += r[0] == driver::CMD_WRITE_REGISTER;
    EXPECT_GE(register_writes, static_cast<size_t>(sensor::kInitTableLength));
    EXPECT_EQ(transport.opens, transport.closes);
}

TEST_F(SensorControlsTest, WindowRefusalsAndRegisters) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.set_window(0, 0, 1292, 1040, 0), 0);
    EXPECT_EQ(device.set_window(1, 0, 1292, 1040, 0), kWindowInvalid);
    EXPECT_EQ(device.set_window(0, 1, 1292, 1040, 0), kWindowInvalid);
    EXPECT_EQ(device.set_window(0, 0, 3, 10, 0), kWindowInvalid);
    EXPECT_EQ(device.set_window(0, 0, 4, 0, 0), kWindowInvalid);
    EXPECT_EQ(device.set_window(-2, 0, 4, 4, 0), kWindowInvalid);
    EXPECT_EQ(device.set_window(0x7FFFFFF0, 0, 100, 4, 0), kWindowInvalid);  // no overflow into "fits"
    EXPECT_EQ(device.set_window(0, 0, 64, 64, 4), kWindowInvalid);
    EXPECT_EQ(device.set_window(0, 0, 64, 64, 16), kWindowInvalid);
    EXPECT_EQ(device.set_window(0, 0, 64, 64, 17), 0);
    EXPECT_EQ(device.set_window(0, 0, 64, 64, 18), 0);
    EXPECT_EQ(device.sub_sampling(), 18);

    transport.settles.clear();
    EXPECT_EQ(device.set_window(3, 5, 101, 51, 0), 0);
    EXPECT_EQ(reg(0x06), 136);  // even x 4 + 132
    EXPECT_EQ(reg(0x04), 70);   // even y 6 + 64
    EXPECT_EQ(reg(0x07), 102);
    EXPECT_EQ(reg(0x05), 52);
    EXPECT_EQ(transport.settles, std::vector<int32_t>{100});
    EXPECT_EQ(device.geometry().row_pitch, 101);
    EXPECT_EQ(device.geometry().active_rows, 51);
    EXPECT_EQ(device.transfer_size(), 6144);  // 101 x 51 = 5151 -> 6144
    EXPECT_EQ(device.programmed_transfer_size(), 6144);
    EXPECT_EQ(camera().read_port(0), 0x00);
    EXPECT_EQ(camera().read_port(1), 0x18);
}

TEST_F(SensorControlsTest, ExposureAndVerticalBlanking) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.set_exposure(637), 1);
    EXPECT_EQ(reg(0x0E), 124);
    EXPECT_EQ(reg(0x0F), 637);
    EXPECT_TRUE(device.set_exposure(2000));
    EXPECT_EQ(reg(0x0E), 961);  // 2000 - 1040 + 1
    EXPECT_TRUE(device.set_exposure(0));
    EXPECT_EQ(reg(0x0F), 1);
    EXPECT_TRUE(device.set_exposure(0x8000));
    EXPECT_EQ(reg(0x0F), 0x7FFF);
    EXPECT_TRUE(device.set_exposure(0x10000 + 700));  // a 16-bit setting
    EXPECT_EQ(reg(0x0F), 700);
    int32_t lines = 0;
    EXPECT_EQ(device.read_exposure(&lines), 1);
    EXPECT_EQ(lines, 700);

    EXPECT_TRUE(device.set_sample_width(1));
    EXPECT_TRUE(device.set_exposure(637));
    EXPECT_EQ(reg(0x0E), 1218);
    EXPECT_TRUE(device.set_exposure(3000));
    EXPECT_EQ(reg(0x0E), 1961);

    // A smaller window raises the blanking term: the window re-applies the exposure.
    EXPECT_EQ(device.set_window(0, 0, 640, 480, 0), 0);
    EXPECT_EQ(reg(0x0E), 3000 - 480 + 1);
    EXPECT_EQ(reg(0x0F), 3000);

    ASSERT_EQ(device.set_trigger_mode(1), 1);
    EXPECT_TRUE(device.set_exposure(300));
    EXPECT_EQ(reg(0x0E), 6);
    EXPECT_TRUE(device.set_exposure(637));
    EXPECT_EQ(reg(0x0E), 637 - 480 + 1);
}

TEST_F(SensorControlsTest, GainCodesAndReadBack) {
    CImvelaM61XZKRSdk device(transport);
    const int codes[12] = {0x02, 0x03, 0x14, 0x15, 0x16, 0x17, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(device.set_gain(i), 1);
        EXPECT_EQ(reg(0x23), codes[i] * 257) << i;
        EXPECT_EQ(reg(0x24), codes[i] * 257) << i;
    }
    EXPECT_TRUE(device.set_gain(5));
    EXPECT_EQ(reg(0x23), 0x1717);
    EXPECT_TRUE(device.set_gain(256 + 5));  // modulo 256
    EXPECT_EQ(reg(0x23), 0x1717);
    EXPECT_TRUE(device.set_gain(12));
    EXPECT_EQ(reg(0x23), 0);
    EXPECT_EQ(reg(0x24), 0);
    EXPECT_EQ(device.read_gain_index(), 0);
    EXPECT_TRUE(device.set_gain(0));
    EXPECT_EQ(device.read_gain_index(), 0);
    EXPECT_TRUE(device.set_gain(11));
    EXPECT_EQ(device.read_gain_index(), 11);
    EXPECT_TRUE(device.set_gain(3));
    EXPECT_EQ(device.read_gain_index(), 3);
}

TEST_F(SensorControlsTest, MirrorsReadModifyWriteUnderUpdateHold) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(reg(0x02), 0x0100);  // from the table, vertical bit cleared by the open
    transport.clear();
    EXPECT_EQ(device.set_mirror_h(1), 1);
    EXPECT_EQ(reg(0x02), 0x0102);
    const auto sent = transport.commands_copy();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0][0], driver::CMD_READ_REGISTER);
    EXPECT_EQ(sent[1], driver::write_register_command(0x01, 1));
    EXPECT_EQ(sent[2], driver::write_register_command(0x02, 0x0102));
    EXPECT_EQ(sent[3], driver::write_register_command(0x01, 0));
    EXPECT_TRUE(device.set_mirror_v(5));
    EXPECT_EQ(reg(0x02), 0x0103);
    EXPECT_EQ(device.mirror_v(), 1);
    EXPECT_TRUE(device.set_mirror_h(0));
    EXPECT_EQ(reg(0x02), 0x0101);
    EXPECT_EQ(device.mirror_h(), 0);
    EXPECT_EQ(device.mirror_v(), 1);
    // The flags survive a reopen except that the open turns the vertical mirror off.
    EXPECT_TRUE(device.set_mirror_h(1));
    EXPECT_EQ(device.open_device(0), 0);
    EXPECT_EQ(device.mirror_h(), 1);
    EXPECT_EQ(device.mirror_v(), 0);
}

TEST_F(SensorControlsTest, TriggerArmingWaitsForTheFrameInProgress) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_TRUE(device.write_register(0x2E, 1594));
    EXPECT_TRUE(device.set_exposure(637));
    transport.settles.clear();
    transport.clear();
    EXPECT_EQ(device.set_trigger_mode(1), 1);
    EXPECT_EQ(transport.settles, std::vector<int32_t>{112});  // 100 + 637 x 1600 / 80000
    EXPECT_EQ(device.trigger_mode(), 1);
    EXPECT_EQ(camera().read_port(11), 1);
    EXPECT_EQ(reg(0x01), 1);
    EXPECT_EQ(transport.commands_copy()[1], driver::command(driver::CMD_PREPARE));

    transport.settles.clear();
    EXPECT_TRUE(device.set_exposure(30000));
    EXPECT_TRUE(device.set_trigger_mode(1));
    EXPECT_EQ(transport.settles, std::vector<int32_t>{700});
    transport.settles.clear();
    EXPECT_TRUE(device.write_register(0x2E, 0x09D0));
    EXPECT_TRUE(device.set_exposure(32767));
    EXPECT_TRUE(device.set_trigger_mode(1));
    EXPECT_EQ(transport.settles, std::vector<int32_t>{1000});  // 1131 capped
    EXPECT_TRUE(device.set_exposure(30000));

    transport.settles.clear();
    EXPECT_EQ(device.set_trigger_mode(0), 1);
    EXPECT_TRUE(transport.settles.empty());
    EXPECT_EQ(camera().read_port(11), 0);
    EXPECT_EQ(reg(0x01), 0);
    EXPECT_EQ(reg(0x0E), 30000 - 1040 + 1);

    // A failed port write stops arming before the flag is stored.
    transport.fail = [](const TransportCall& c) { return c.pipe == driver::kPipeCommand; };
    EXPECT_EQ(device.set_trigger_mode(1), 0);
    EXPECT_EQ(device.trigger_mode(), 0);
}

TEST_F(SensorControlsTest, ReadoutModeAndClockAndIoPort) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(reg(0x50), 1);
    EXPECT_EQ(device.set_readout_mode(0), 1);
    EXPECT_EQ(reg(0x50), 0);
    EXPECT_EQ(device.set_readout_mode(7), 1);
    EXPECT_EQ(device.readout_mode(), 1);
    EXPECT_EQ(reg(0x50), 1);

    CIVMSdkLib base(transport);
    EXPECT_EQ(base.set_readout_mode(7), 1);
    EXPECT_EQ(base.readout_mode(), 7);

    EXPECT_EQ(device.write_clock(3), 1);
    uint8_t v = 0;
    EXPECT_EQ(device.read_clock(&v), 1);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(device.write_io_port(0xC3), 1);
    EXPECT_EQ(device.read_io_port(&v), 1);
    EXPECT_EQ(v, 0xC3);
    EXPECT_EQ(camera().read_port(15), 3);
}

// The one place the microsecond and line arithmetic is checked; the exports' tests check
// only that they use it.
TEST(ExposureConversion, LinesAndMicroseconds) {
    const int32_t length = sensor::line_length(true, 0x09D0);  // periods of 12.5 ns: 31.475 us a line
    EXPECT_EQ(length, 2518);
    const struct {
        int32_t microseconds;
        int32_t lines;  // 0: refused, lines untouched
    } kToLines[] = {{20000, 635}, {32, 1}, {31, 0}, {10, 0}, {0, 0}, {-5, 0}, {1100000, 0}, {2000000000, 0}, {INT32_MAX, 0}};
    for (const auto& c : kToLines) {
        int32_t lines = 42;
        EXPECT_EQ(sensor::lines_from_microseconds(c.microseconds, length, &lines), c.lines != 0) << c.microseconds;
        EXPECT_EQ(lines, c.lines != 0 ? c.lines : 42) << c.microseconds;
    }
    int32_t lines = 42;
    EXPECT_FALSE(sensor::lines_from_microseconds(20000, 0, &lines));  // no line length read
    EXPECT_EQ(lines, 42);
    EXPECT_EQ(sensor::microseconds_from_lines(637, length), 20049);
    EXPECT_EQ(sensor::microseconds_from_lines(637, sensor::line_length(true, 1333)), 10661);
    EXPECT_EQ(sensor::microseconds_from_lines(637, sensor::line_length(false, 1333)), 0);
}

TEST_F(SensorControlsTest, LineLengthFromTheSensor) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.read_line_length(), 2518);
}

// A request the driver refuses is reported by every programming step, and a register that
// cannot be read is not overwritten: the exposure keeps its lines when the window or the
// trigger re-applies it.
TEST_F(SensorControlsTest, RefusedRequestsAreReportedAndKeepTheExposure) {
    CImvelaM61XZKRSdk device(transport);
    ASSERT_TRUE(device.set_exposure(637));
    struct Step {
        const char* name;
        uint32_t failing_pipe;
        std::function<bool()> succeeded;
    };
    const Step steps[] = {
        {"exposure", driver::kPipeCommand, [&] { return device.set_exposure(700) != 0; }},
        {"gain", driver::kPipeCommand, [&] { return device.set_gain(3) != 0; }},
        {"horizontal mirror", driver::kPipeCommand, [&] { return device.set_mirror_h(1) != 0; }},
        {"vertical mirror", driver::kPipeResponse, [&] { return device.set_mirror_v(1) != 0; }},
        {"sample width", driver::kPipeCommand, [&] { return device.set_sample_width(1) != 0; }},
        {"driver timeout", driver::kPipeCommand, [&] { return device.set_driver_timeout(500) != 0; }},
        {"trigger", driver::kPipeResponse, [&] { return device.set_trigger_mode(0) != 0; }},
        {"window", driver::kPipeResponse, [&] { return device.set_window(0, 0, 640, 480, 0) == 0; }},
    };
    for (const Step& step : steps) {
        transport.fail = [&](const TransportCall& call) { return call.pipe == step.failing_pipe; };
        EXPECT_FALSE(step.succeeded()) << step.name;
        EXPECT_EQ(reg(0x0F), 637) << step.name;
    }
}
