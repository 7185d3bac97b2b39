#pragma once
// The table written to the sensor once after every open: register 0x3E <- 0, the two
// sequencer runs, then the ordinary registers (data in sensor_init_table.inc).
#include <cstdint>

namespace imvela::sensor {

struct RegisterPair {
    uint16_t address;
    uint16_t value;
};

constexpr int32_t kSequencerRunLength = 1536;
constexpr int32_t kSensorSetupLength = 136;
constexpr int32_t kInitTableLength = 1 + 2 * kSequencerRunLength + kSensorSetupLength;

extern const uint16_t kSequencerRun1[kSequencerRunLength];
extern const uint16_t kSequencerRun2[kSequencerRunLength];
extern const RegisterPair kSensorSetup[kSensorSetupLength];

// Address of entry i (0..1535) of a run starting at base: every address whose two low bits
// are not both 1.
constexpr int32_t sequencer_address(int32_t base, int32_t i) { return base + (i / 3) * 4 + i % 3; }

// Entry i (0..kInitTableLength-1) of the table in write order.
RegisterPair init_table_entry(int32_t i);

}  // namespace imvela::sensor
