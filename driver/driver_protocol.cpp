#include "driver/driver_protocol.h"

namespace imvela::driver {

namespace {
uint8_t byte(int32_t v) { return static_cast<uint8_t>(v & 0xFF); }
uint8_t high(int32_t v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }
}  // namespace

Record command(CommandCode code) {
    Record r{};
    r[0] = code;
    return r;
}

Record write_register_command(int32_t address, int32_t value) {
    Record r = command(CMD_WRITE_REGISTER);
    r[1] = high(address);
    r[2] = byte(address);
    r[3] = high(value);
    r[4] = byte(value);
    return r;
}

Record read_register_command(int32_t address) {
    Record r = command(CMD_READ_REGISTER);
    r[1] = high(address);
    r[2] = byte(address);
    return r;
}

Record write_port_command(int32_t port, int32_t value) {
    Record r = command(CMD_WRITE_PORT);
    r[1] = byte(port);
    r[2] = byte(value);
    return r;
}

Record read_port_command(int32_t port) {
    Record r = command(CMD_READ_PORT);
    r[1] = byte(port);
    return r;
}

Record transfer_size_command(int32_t samples) {
    Record r = command(CMD_SET_TRANSFER_SIZE);
    put_le32(&r[1], static_cast<uint32_t>(samples));
    return r;
}

Record sample_width_command(int32_t flag) {
    Record r = command(CMD_SET_SAMPLE_WIDTH);
    r[1] = flag ? 1 : 0;
    return r;
}

Record srom_write_command(int32_t index, int32_t value) {
    // Bus write of three bytes: address high (identifier area), address low, data.
    Record r = command(CMD_SROM_WRITE);
    r[1] = kSromBusAddress;
    r[2] = 0x03;
    r[3] = high(kSromIdBase);
    r[4] = byte(index);
    r[5] = byte(value);
    return r;
}

Record srom_read_command(int32_t address) {
    // Two address bytes on the bus, then one byte read back.
    Record r = command(CMD_SROM_READ);
    r[1] = kSromBusAddress;
    r[2] = 0x02;
    r[3] = 0x01;
    r[4] = high(address);
    r[5] = byte(address);
    return r;
}

std::array<uint8_t, kTimeoutRecordSize> timeout_record(int32_t milliseconds) {
    std::array<uint8_t, kTimeoutRecordSize> r{};
    put_le32(&r[0], 1);
    put_le32(&r[4], static_cast<uint32_t>(milliseconds));
    return r;
}

}  // namespace imvela::driver
