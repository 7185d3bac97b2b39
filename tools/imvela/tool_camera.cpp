#include "tool_camera.h"

#include <cstdio>

#include "camera_holder.h"
#include "capture_window_option.h"
#include "command_line.h"
#include "error_text.h"

int32_t color_mode_bits(int32_t reported) {
    switch (reported) {
    case 8: return 8;
    case 12: return 16;
    case 24: return 24;
    case 32: return 32;
    case 44: return 48;
    case 60: return 64;
    default: return 0;
    }
}

size_t frame_bytes(int32_t bits) { return static_cast<size_t>(((bits / 8) * 1292 + 3) / 4 * 4) * 1040; }

ToolCamera::~ToolCamera() {
    if (!handle_) return;
    if (restore_bits_) Imvela_SetColorMode(handle_, restore_bits_);
    Imvela_Release(handle_);
}

bool ToolCamera::release(bool quiet) {
    if (!handle_) return true;
    if (restore_bits_) Imvela_SetColorMode(handle_, restore_bits_);
    Imvela_Release(handle_);
    handle_ = 0;
    restore_bits_ = 0;
    bool saved = true;
    ToolMessage m;
    while (window_.next(&m, 0))
        saved = saved && !(m.message == WM_CAMERA_ERROR && m.lparam == ERR_FILE);
    if (!saved && !quiet) failure("the camera's settings were not saved: " + describe_error(ERR_FILE));
    return saved;
}

bool ToolCamera::initialise(bool quiet) {
    handle_ = Imvela_Initialize(window_.handle());
    if (!handle_) {
        if (!quiet) failure("the library made no camera handle (Imvela_Initialize failed)");
        return false;
    }
    for (int32_t code : take_errors())
        if (code == ERR_BUFFER) {
            if (!quiet)
                failure("the camera object was not made: " + describe_error(code) +
                        "; the device-use table may belong to another user (see imvela doctor)");
            return false;
        }
    return true;
}

bool ToolCamera::open(int32_t number) {
    if (!initialise()) return false;
    number_ = number;
    if (device_name(handle_, number).empty()) {
        failure("camera " + std::to_string(number) + " is not attached (imvela list shows the cameras)");
        return false;
    }
    if (number != 0 && Imvela_SetDeviceNumber(handle_, number) != 1) {
        fail("choosing camera " + std::to_string(number));
        return false;
    }
    take_errors();
    return true;
}

int32_t ToolCamera::bits() const { return color_mode_bits(Imvela_GetColorMode(handle_)); }

bool ToolCamera::use_mode(int32_t bits) {
    const int32_t before = this->bits();
    if (bits == before) return true;
    if (Imvela_SetColorMode(handle_, bits) != 1) {
        fail("colour mode " + std::to_string(bits) + " (one of 8 16 24 32 48 64)");
        return false;
    }
    if (!restore_bits_) restore_bits_ = before;
    return true;
}

void ToolCamera::windowless() { Imvela_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0); }

std::vector<int32_t> ToolCamera::take_errors() {
    std::vector<int32_t> codes;
    for (int32_t code; codes.size() < 20 && (code = Imvela_GetLastError(handle_)) != 0;) codes.push_back(code);
    return codes;
}

int ToolCamera::fail(const std::string& what) {
    const std::vector<int32_t> codes = take_errors();
    if (codes.empty()) return failure(what + " failed (no error code recorded)");
    // Oldest first: the first code of a call is its cause, later ones its consequences.
    std::string text = what + " failed: " + describe_error(codes.back());
    for (size_t i = codes.size() - 1; i-- > 0;) text += "\n  then: " + describe_error(codes[i]);
    return failure(text);
}

int ToolCamera::print_errors(const char* when) {
    const std::vector<int32_t> codes = take_errors();
    for (auto code = codes.rbegin(); code != codes.rend(); ++code)
        std::printf("  %s %s\n", describe_error(*code).c_str(), when);
    return static_cast<int>(codes.size());
}

int open_for_capture(const CommandLine& line, ToolCamera* camera) {
    int32_t bits = 0;
    if (line.has("mode")) {
        long value = 0;
        for (int32_t mode : kColorModes)
            if (parse_number(line.option("mode"), &value) && value == mode) bits = mode;
        if (!bits) return usage_error(line, "--mode must be one of 8 16 24 32 48 64, not \"" + line.option("mode") + "\"");
    }
    WindowRequest window;
    if (!parse_capture_options(line, &window)) return kUsageError;
    if (const int status = open_free_camera(line, camera); status != kSucceeded) return status;
    if ((bits && !camera->use_mode(bits)) || (window.given && !apply_capture_window(*camera, window))) return kFailed;
    camera->windowless();
    return kSucceeded;
}

std::string library_version() {
    const uint32_t v = static_cast<uint32_t>(Imvela_GetDllVersion());
    return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) +
           "." + std::to_string(v & 0xFF);
}

std::vector<int32_t> attached_cameras(int32_t handle) {
    constexpr int32_t kDeviceNumbers = 32;
    std::vector<int32_t> numbers;
    for (int32_t n = 0; n < kDeviceNumbers; ++n)
        if (!device_name(handle, n).empty()) numbers.push_back(n);
    return numbers;
}

std::string device_name(int32_t handle, int32_t number) {
    char name[256] = {};
    if (Imvela_GetDeviceName(handle, number, name, sizeof name) != 1) {
        while (Imvela_GetLastError(handle) != 0) {
        }
        return "";
    }
    return name;
}

std::string rom_identifier(int32_t handle) {
    std::string id;
    for (int32_t i = 0; i < 16; ++i) {
        int32_t ok = 0;
        const int32_t b = Imvela_ReadSromID(handle, i, &ok);
        if (!ok || b < 0x20 || b > 0x7E) break;
        id += static_cast<char>(b);
    }
    return id;
}

CameraUse probe_camera_use(ToolCamera& camera) {
    const int32_t bits = camera.bits();
    if (bits == 0) return CameraUse::unknown;
    std::vector<uint8_t> image(frame_bytes(bits));
    camera.take_errors();
    if (Imvela_SnapShot(camera.handle(), image.data(), static_cast<int32_t>(image.size()), 0) == 1)
        return CameraUse::free;
    for (int32_t code : camera.take_errors())
        if (code == ERR_DEVICE_UNAVAILABLE) return CameraUse::held_elsewhere;
    return CameraUse::unknown;
}
