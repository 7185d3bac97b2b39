// doctor: what a failing integration usually lacks, each with what to do about it.
#include <cstdio>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "camera_holder.h"
#include "commands.h"
#include "display_probe.h"
#include "emulator_variable.h"
#include "environment_value.h"
#include "error_text.h"
#include "json_text.h"
#include "settings_file.h"
#include "settings_location.h"
#include "table_users.h"
#include "tool_camera.h"

namespace {

// What the checks found, printed as they come, or kept for one JSON object:
// {"checks":[{"status":"ok"|"warning"|"fail","what":...,"remedy":...}],"problems":N,"warnings":N}
class Findings {
public:
    explicit Findings(bool json) : json_(json) {}
    void ok(const std::string& what) { add("ok", "[ ok ]", what, ""); }
    void warning(const std::string& what, const std::string& remedy) {
        add("warning", "[warn]", what, remedy);
        ++warnings_;
    }
    void problem(const std::string& what, const std::string& remedy) {
        add("fail", "[FAIL]", what, remedy);
        ++problems_;
    }
    int status() const {
        if (json_) {
            JsonObject().add_json("checks", json_array(checks_)).add("problems", problems_).add("warnings", warnings_).print();
        } else if (problems_ == 0) {
            std::printf("everything needed is in place%s\n", warnings_ ? " (see the warnings)" : "");
        } else {
            std::printf("%d problem%s found\n", problems_, problems_ == 1 ? "" : "s");
        }
        return problems_ == 0 ? kSucceeded : kFailed;
    }

private:
    void add(const char* status, const char* mark, const std::string& what, const std::string& remedy) {
        if (json_) {
            checks_.push_back(JsonObject().add("status", status).add("what", what).add("remedy", remedy).text());
        } else {
            std::printf("%s %s\n", mark, what.c_str());
            if (!remedy.empty()) std::printf("       what to do: %s\n", remedy.c_str());
        }
    }
    bool json_;
    std::vector<std::string> checks_;
    int problems_ = 0;
    int warnings_ = 0;
};

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

void check_cameras(Findings& findings, std::vector<int32_t>* numbers) {
    ToolCamera probe;
    if (!probe.initialise(true)) {
        findings.problem("the device-use table is not reachable: the library makes no camera object (" +
                             describe_error(ERR_BUFFER) + ")",
                         "on Linux /dev/shm/ORVANE_USBCAMERA.u<uid> must belong to you with mode 0600 (remove one "
                         "another user left); IMVELA_SHM_NAME names another table");
        return;
    }
    findings.ok("device-use table reachable");
    *numbers = attached_cameras(probe.handle());
    std::vector<std::string> names;
    for (int32_t n : *numbers)
        names.push_back(std::to_string(n) + " " + device_name(probe.handle(), n) + " (" + camera_driver_name(n) + ")");
    const std::string emulator = environment_value("IMVELA_EMULATOR");
    const std::string source = emulator.empty() ? "camera driver, or the emulated camera where there is no driver"
                                                : "emulated cameras, IMVELA_EMULATOR=" + emulator;
    if (numbers->empty()) {
        findings.problem("no camera found (" + source + ")",
                         emulator == "none" ? "IMVELA_EMULATOR=none hides every camera: unset it, or set it to 0"
                                            : "connect the camera and install its driver (device files OvixM52ZKR), "
                                              "or set IMVELA_EMULATOR=0 to work with the emulated camera");
        return;
    }
    // Each camera names the driver that serves it.
    findings.ok("cameras: " + joined(names) + (emulator.empty() ? "" : " (IMVELA_EMULATOR=" + emulator + ")"));
}

void check_emulator_variable(Findings& findings) {
    const std::string problem = emulator_variable_problem();
    if (problem.empty()) return;
    findings.problem(problem, "set IMVELA_EMULATOR to one of the forms named, or unset it");
}

void check_stored_windows(Findings& findings, const std::vector<int32_t>& numbers) {
    for (int32_t n : numbers) {
        const std::string problem = stored_window_problem(n);
        if (problem.empty()) continue;
        findings.problem(problem + "; every start records " + describe_error(ERR_CAPTURE_WINDOW) +
                             " and falls back to 1292 x 1040",
                         "imvela settings reset --camera " + std::to_string(n) +
                             ", or import a settings file with a valid size (imvela settings import)");
    }
}

void check_holders(Findings& findings, const std::vector<int32_t>& numbers) {
    std::vector<int32_t> unnamed;
    for (int32_t n : numbers) {
        ToolCamera camera;
        if (!camera.open(n)) continue;
        const CameraHolder holder = camera_holder(camera);
        if (!holder.held)
            findings.ok("camera " + std::to_string(n) + " is free");
        else if (holder.process_id != 0)
            findings.problem(held_camera_line(n, holder),
                             "end the capture in that program, or end the program: its claim is freed when it ends");
        else
            unnamed.push_back(n);
    }
    if (unnamed.empty()) return;
    bool available = false;
    const std::vector<std::string> users = device_table_users(&available);
    const std::string who = !available    ? "the library does not name the program holding it"
                            : users.empty() ? "no other process has the device-use table open now"
                                            : "processes with camera handles open: " + joined(users);
    for (int32_t n : unnamed)
        findings.problem("camera " + std::to_string(n) + " is in use by another program (" + who + ")",
                         "end the capture in that program, or end the program: its claim is freed when it ends");
}

void check_settings_store(Findings& findings, const std::vector<int32_t>& numbers) {
    const int32_t number = numbers.empty() ? 0 : numbers.front();
    ToolCamera camera;
    if (!(numbers.empty() ? camera.initialise(true) : camera.open(number))) return;
    const std::string where = settings_location(number);
    if (camera.release(true))
        findings.ok("settings store writable: " + where);
    else
        findings.problem("settings cannot be saved to " + where + " (" + describe_error(ERR_FILE) + ")",
                         "make that place writable for this user (on Linux the folder of XDG_CONFIG_HOME or "
                         "~/.config; IMVELA_SETTINGS_ROOT moves the tree)");
}

void check_display(Findings& findings, bool preview_wanted) {
    std::string detail, remedy;
    if (display_available(&detail, &remedy)) {
        findings.ok("display for preview windows: " + detail);
        return;
    }
    const std::string what = "no display for preview windows: " + detail + " (previews fail with " +
                             describe_error(ERR_WINDOW) + ")";
    // Capture without a preview window needs no display: only a wanted preview fails.
    if (preview_wanted)
        findings.problem(what, remedy);
    else
        findings.warning(what + "; capture without a preview works",
                         remedy + ", for previews; or capture windowless: Imvela_SetPreviewWindow(handle, NULL, 0, "
                                  "0, 0, 0), as this tool does");
}

}  // namespace

int command_doctor(const CommandLine& line) {
    const bool json = line.has("json");
    if (!json) std::printf("library version %s\n", library_version().c_str());
    Findings findings(json);
    std::vector<int32_t> numbers;
    check_emulator_variable(findings);
    check_cameras(findings, &numbers);
    check_holders(findings, numbers);
    check_settings_store(findings, numbers);
    check_stored_windows(findings, numbers);
    check_display(findings, line.has("preview"));
    return findings.status();
}
