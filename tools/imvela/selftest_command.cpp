// selftest: the library's self-check of the pipeline and the camera, its report printed.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "command_line.h"
#include "commands.h"
#include "json_text.h"
#include "tool_camera.h"

namespace {

// The report's columns stand apart by two spaces or more: part, check, figures, result.
std::vector<std::string> report_columns(const std::string& row) {
    std::vector<std::string> columns;
    size_t at = 0;
    while (at < row.size()) {
        const size_t gap = row.find("  ", at);
        const std::string column = row.substr(at, gap == std::string::npos ? std::string::npos : gap - at);
        if (!column.empty()) columns.push_back(column);
        if (gap == std::string::npos) break;
        at = row.find_first_not_of(' ', gap);
    }
    return columns;
}

// selftest --json: {"summary":first line,"checks":[{"part":"pipeline"|"camera","check","figures",
// "passed"}],"passed"}
void print_report(const std::string& report, bool json, bool passed) {
    if (!json) {
        std::fputs(report.c_str(), stdout);
        return;
    }
    std::istringstream rows(report);
    std::string row, summary;
    std::getline(rows, summary);
    std::vector<std::string> checks;
    while (std::getline(rows, row)) {
        const std::vector<std::string> columns = report_columns(row);
        if (columns.size() < 3 || (columns[0] != "pipeline" && columns[0] != "camera")) continue;
        // The check may take two columns ("sse41", "1 thread"); the figures are the one before the result.
        std::string check = columns[1];
        for (size_t i = 2; i + 2 < columns.size(); ++i) check += " " + columns[i];
        checks.push_back(JsonObject()
                             .add("part", columns[0])
                             .add("check", check)
                             .add("figures", columns.size() > 3 ? columns[columns.size() - 2] : std::string())
                             .add("passed", columns.back() == "pass")
                             .text());
    }
    JsonObject().add("summary", summary).add_json("checks", json_array(checks)).add("passed", passed).print();
}

}  // namespace

int command_selftest(const CommandLine& line) {
    const bool json = line.has("json");
    std::vector<char> report(64 * 1024);
    const int32_t size = static_cast<int32_t>(report.size());
    int32_t passed = 0;
    if (line.has("pipeline")) {
        passed = ImvelaDiag_SelfTest(0, IMVELA_SELFTEST_PIPELINE, report.data(), size);
    } else {
        ToolCamera camera;
        if (!camera.open(line.camera())) {
            // No camera: the pipeline is still checked, and the camera reported missing.
            ImvelaDiag_SelfTest(0, IMVELA_SELFTEST_PIPELINE, report.data(), size);
            print_report(std::string(report.data()) + "camera    " + std::to_string(line.camera()) +
                             "  not opened  FAIL\n",
                         json, false);
            return kFailed;
        }
        passed = ImvelaDiag_SelfTest(camera.handle(), IMVELA_SELFTEST_PIPELINE | IMVELA_SELFTEST_CAMERA,
                                     report.data(), size);
        if (!report[0]) return camera.fail("the self-check");
    }
    print_report(report.data(), json, passed == 1);
    return passed == 1 ? kSucceeded : kFailed;
}
