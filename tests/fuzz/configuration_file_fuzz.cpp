// A configuration (defect-pixel) file of any contents, loaded by the library and by the
// emulated camera: one pair per whole 8-byte record, in file order; the emulator keeps
// only pixels of the sensor.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "fuzz/fuzz_check.h"
#include "driver/sensor_map.h"
#include "emulator/emulator_settings.h"
#include "files/defect_list.h"
#include "support/scratch_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = (std::filesystem::temp_directory_path() / (unique_test_name() + ".defects")).string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    imvela::DefectList list{{1, 2}};
    std::mutex lock;
    FUZZ_CHECK(imvela::load_defect_file(path.c_str(), &list, &lock) == 1 && list.size() == size / 8);
    for (size_t i = 0; i < list.size(); ++i) {
        int32_t xy[2];
        std::memcpy(xy, data + 8 * i, 8);
        FUZZ_CHECK(list[i].x == xy[0] && list[i].y == xy[1]);
    }
    for (const auto& p : imvela::emulator::load_defect_file(path))
        FUZZ_CHECK(p.x >= 0 && p.x < imvela::sensor::kColumns && p.y >= 0 && p.y < imvela::sensor::kRows);
    return 0;
}
