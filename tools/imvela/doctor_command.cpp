// doctor: what a failing integration usually lacks, each with what to do about it.
#include <cstdio>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "commands.h"
#include "display_probe.h"
#include "environment_value.h"
#include "error_text.h"
#include "holder_text.h"
#include "settings_location.h"
#include "tool_camera.h"

namespace {

class Findings {
public:
    void ok(const std::string& what) { std::printf("[ ok ] %s\n", what.c_str()); }
    void problem(const std::string& what, const std::string& remedy) {
        std::printf("[FAIL] %s\n       what to do: %s\n", what.c_str(), remedy.c_str());
        ++problems_;
    }
    int status() const {
        if (problems_ == 0) {
            std::printf("everything needed is in place\n");
            return kSucceeded;
        }
        std::printf("%d problem%s found\n", problems_, problems_ == 1 ? "" : "s");
        return kFailed;
    }

private:
    int problems_ = 0;
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
    for (int32_t n : *numbers) names.push_back(std::to_string(n) + " " + device_name(probe.handle(), n));
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
    findings.ok("cameras: " + joined(names) + " (" + source + ")");
}

void check_holders(Findings& findings, const std::vector<int32_t>& numbers) {
    std::vector<int32_t> held;
    for (int32_t n : numbers) {
        ToolCamera camera;
        if (!camera.open(n)) continue;
        const CameraUse use = probe_camera_use(camera);
        if (use == CameraUse::held_elsewhere)
            held.push_back(n);
        else
            findings.ok("camera " + std::to_string(n) + (use == CameraUse::free ? " is free" : " answers"));
    }
    for (int32_t n : held)
        findings.problem("camera " + std::to_string(n) + " is " + holder_text(n),
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

void check_display(Findings& findings) {
    std::string detail, remedy;
    if (display_available(&detail, &remedy))
        findings.ok("display for preview windows: " + detail);
    else
        findings.problem("no display for preview windows: " + detail + " (previews fail with " +
                             describe_error(ERR_WINDOW) + ")",
                         remedy + "; or capture windowless: Imvela_SetPreviewWindow(handle, NULL, 0, 0, 0, 0), as "
                                  "this tool does");
}

}  // namespace

int command_doctor(const CommandLine&) {
    std::printf("library version %s\n", library_version().c_str());
    Findings findings;
    std::vector<int32_t> numbers;
    check_cameras(findings, &numbers);
    check_holders(findings, numbers);
    check_settings_store(findings, numbers);
    check_display(findings);
    return findings.status();
}
