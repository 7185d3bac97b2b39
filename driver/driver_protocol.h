#pragma once
// The camera driver's contract: device naming, control codes, pipes and the 64-byte command
// records understood by the camera's controller. The device classes speak it; the emulated
// camera accepts exactly it.
#include <array>
#include <cstdint>

namespace imvela::driver {

// Device files are named "\\.\<prefix>-<suffix>"; device number n takes suffix[n]. The order
// is the driver's own: N comes before M.
constexpr char kDevicePrefix[] = "OvixM52ZKR";
constexpr char kDeviceSuffixes[] = "0123456789ABCDEFGHIJKLNMOPQRSTUVWXYZ";
constexpr int32_t kSuffixCount = 36;
constexpr int32_t kMaxDeviceCount = 32;  // numbers 0..31 are probed by enumeration

// Device-control codes (device type 0x22, any access).
constexpr uint32_t kCodeTransferOut = 0x22204E;       // standard transfer, selector 0
constexpr uint32_t kCodeTransferIn = 0x222051;        // standard transfer, selector 1
constexpr uint32_t kCodeLargeTransferOut = 0x2220A6;  // large transfer, selector 0
constexpr uint32_t kCodeLargeTransferIn = 0x2220A9;   // large transfer, selector 1
constexpr uint32_t kCodeSetTimeout = 0x2220A0;        // 44-byte timeout record

// Transfer selectors: which of the two codes of a transfer kind is issued.
constexpr int32_t kSelector0 = 0;
constexpr int32_t kSelector1 = 1;

// Pipes.
constexpr uint32_t kPipeCommand = 0;
constexpr uint32_t kPipeResponse = 1;
constexpr uint32_t kPipeImage = 2;

constexpr uint32_t kRecordSize = 64;
constexpr uint32_t kTimeoutRecordSize = 44;
// The driver's transfer timeout until a timeout record changes it.
constexpr int32_t kDefaultTimeoutMs = 3000;

// Frames this large or larger use the large transfer codes.
constexpr int64_t kLargeTransferBytes = 3072000;

// Command codes (byte 0 of a command record).
enum CommandCode : uint8_t {
    CMD_PREPARE = 0x01,
    CMD_REQUEST_FRAME = 0x02,
    CMD_WRITE_REGISTER = 0x04,
    CMD_INITIALIZE = 0x06,
    CMD_SET_TRANSFER_SIZE = 0x09,
    CMD_SET_SAMPLE_WIDTH = 0x0A,
    CMD_READ_REGISTER = 0x0C,
    CMD_WRITE_PORT = 0x25,
    CMD_READ_PORT = 0x26,
    CMD_SROM_WRITE = 0x40,
    CMD_SROM_READ = 0x41,
};

// Serial ROM on the controller's bus.
constexpr uint8_t kSromBusAddress = 0x51;
constexpr int32_t kSromIdBase = 0x1800;  // identifier area 0x1800..0x18FF
constexpr int32_t kSromIdSize = 256;
constexpr int32_t kSromReadoutModeAddress = 0x1EB0;

using Record = std::array<uint8_t, kRecordSize>;

// Record builders; every byte not named is zero.
Record command(CommandCode code);
Record write_register_command(int32_t address, int32_t value);
Record read_register_command(int32_t address);
Record write_port_command(int32_t port, int32_t value);
Record read_port_command(int32_t port);
Record transfer_size_command(int32_t samples);
Record sample_width_command(int32_t flag);
Record srom_write_command(int32_t index, int32_t value);
Record srom_read_command(int32_t address);

// The timeout record: [0..3] 1, [4..7] milliseconds, the rest zero (little-endian).
std::array<uint8_t, kTimeoutRecordSize> timeout_record(int32_t milliseconds);

// Little-endian 32-bit field of a record.
inline void put_le32(uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
    at[2] = static_cast<uint8_t>(v >> 16);
    at[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t get_le32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace imvela::driver
