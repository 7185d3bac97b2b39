// selftest: the library's self-check of the pipeline and the camera, its report printed.
#include <cstdio>
#include <vector>

#include "ImvelaSdk.h"
#include "command_line.h"
#include "commands.h"
#include "tool_camera.h"

int command_selftest(const CommandLine& line) {
    std::vector<char> report(64 * 1024);
    const int32_t size = static_cast<int32_t>(report.size());
    int32_t passed = 0;
    if (line.has("pipeline")) {
        passed = ImvelaDiag_SelfTest(0, IMVELA_SELFTEST_PIPELINE, report.data(), size);
    } else {
        ToolCamera camera;
        if (!camera.open(line.camera())) {
            // No camera: the pipeline is still checked, and the camera reported missing.
            passed = ImvelaDiag_SelfTest(0, IMVELA_SELFTEST_PIPELINE, report.data(), size);
            std::fputs(report.data(), stdout);
            std::printf("camera    %d not opened  FAIL\n", line.camera());
            return kFailed;
        }
        passed = ImvelaDiag_SelfTest(camera.handle(), IMVELA_SELFTEST_PIPELINE | IMVELA_SELFTEST_CAMERA,
                                     report.data(), size);
        if (!report[0]) return camera.fail("the self-check");
    }
    std::fputs(report.data(), stdout);
    return passed == 1 ? kSucceeded : kFailed;
}
