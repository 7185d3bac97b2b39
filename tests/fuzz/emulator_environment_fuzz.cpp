// The emulated camera's environment variables with any text (one a line of the input): the
// camera list holds each device number once and within range, and the rest is taken only
// when it parses.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "emulator/emulator_settings.h"
#include "support/test_environment.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"IMVELA_EMULATOR", "IMVELA_EMULATOR_SCENE", "IMVELA_EMULATOR_FPS",
                                         "IMVELA_EMULATOR_ROM_MODE", "IMVELA_EMULATOR_TRIGGER_MS"};
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n' && lines.size() < 5) lines.emplace_back();
        else if (c != '\0') lines.back() += c;  // a variable holds no NUL
    }
    std::vector<std::unique_ptr<ScopedEnvironment>> set;
    for (size_t i = 0; i < lines.size(); ++i) set.emplace_back(new ScopedEnvironment(kNames[i], lines[i].c_str()));
    ScopedEnvironment no_defects("IMVELA_EMULATOR_DEFECTS", nullptr);

    imvela::emulator::Settings previous, out;
    FUZZ_CHECK(imvela::emulator::settings_from_environment(false, previous, &out));
    std::vector<int32_t> seen;
    for (int32_t n : out.cameras) {
        FUZZ_CHECK(n >= 0 && n < imvela::emulator::kMaxCameras && !std::count(seen.begin(), seen.end(), n));
        seen.push_back(n);
    }
    FUZZ_CHECK(out.camera.fps >= 0 && out.camera.trigger_ms >= 0);
    std::vector<int32_t> direct;
    imvela::emulator::parse_camera_list(text, &direct);
    return 0;
}
