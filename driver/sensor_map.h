#pragma once
// Sensor registers, controller port registers, gain codes and the limits of this sensor.
#include <cstdint>

namespace imvela::sensor {

constexpr int32_t kColumns = 1292;
constexpr int32_t kRows = 1040;

// Sensor registers (16-bit address, 16-bit value).
constexpr int32_t kRegUpdateHold = 0x01;  // 1 around a mirror change; trigger control
constexpr int32_t kRegReadMode = 0x02;    // bit 1 horizontal mirror, bit 0 vertical mirror
constexpr int32_t kRegFirstRow = 0x04;    // even y + 64
constexpr int32_t kRegRowCount = 0x05;    // even height
constexpr int32_t kRegFirstColumn = 0x06; // even x + 132
constexpr int32_t kRegColumnCount = 0x07; // even width
constexpr int32_t kRegVerticalBlank = 0x0E;
constexpr int32_t kRegExposure = 0x0F;    // integration time in lines
constexpr int32_t kRegGainA = 0x23;
constexpr int32_t kRegGainB = 0x24;
constexpr int32_t kRegLineLength = 0x2E;  // one line lasts (value + 6) x 12.5 ns
constexpr int32_t kRegSequencerEnable = 0x3E;
constexpr int32_t kRegReadoutMode = 0x50; // bit 0: readout mode other than 0

constexpr int32_t kFirstRowBase = 64;
constexpr int32_t kFirstColumnBase = 132;
constexpr int32_t kMirrorHorizontalBit = 0x2;
constexpr int32_t kMirrorVerticalBit = 0x1;

// Controller port registers (8-bit number, 8-bit value).
constexpr int32_t kPortTransferSize0 = 0;  // ports 0..3: transfer size, lowest byte first
constexpr int32_t kPortIo = 7;
constexpr int32_t kPortTrigger = 11;
constexpr int32_t kPortSampleFormat = 14;  // 4 one-byte samples, 5 two-byte samples
constexpr int32_t kPortClock = 15;
constexpr int32_t kSampleFormatOneByte = 4;
constexpr int32_t kSampleFormatTwoByte = 5;

// Gain index 0..11 -> code written to both bytes of registers 0x23 and 0x24.
constexpr uint8_t kGainCodes[12] = {0x02, 0x03, 0x14, 0x15, 0x16, 0x17, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D};
constexpr int32_t kGainMin = 0;
constexpr int32_t kGainMax = 11;
// The index is taken modulo 256; indices 12..255 give code 0.
constexpr uint8_t gain_code(int32_t index) {
    const int32_t i = index & 0xFF;
    return i < 12 ? kGainCodes[i] : 0;
}

constexpr int32_t kExposureMin = 1;
constexpr int32_t kExposureMax = 0x7FFF;
constexpr int32_t kExposureDefault = 637;

// Minimum vertical blanking by state of the sensor.
constexpr int32_t kBlankTrigger = 6;
constexpr int32_t kBlankOneByte = 124;
constexpr int32_t kBlankTwoByte = 1218;

}  // namespace imvela::sensor
