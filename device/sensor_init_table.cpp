#include "device/sensor_init_table.h"

#include "driver/sensor_map.h"

namespace imvela::sensor {

#include "device/sensor_init_table.inc"

RegisterPair init_table_entry(int32_t i) {
    if (i == 0) return {static_cast<uint16_t>(kRegSequencerEnable), 0};
    i -= 1;
    if (i < kSequencerRunLength)
        return {static_cast<uint16_t>(sequencer_address(0x8000, i)), kSequencerRun1[i]};
    i -= kSequencerRunLength;
    if (i < kSequencerRunLength)
        return {static_cast<uint16_t>(sequencer_address(0x8800, i)), kSequencerRun2[i]};
    return kSensorSetup[i - kSequencerRunLength];
}

}  // namespace imvela::sensor
