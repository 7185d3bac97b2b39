#include "error_text.h"

#include "ImvelaSdk.h"

namespace {

struct ErrorText {
    int32_t code;
    const char* name;
    const char* meaning;
};

// The codes the public header documents, with its explanations.
constexpr ErrorText kErrors[] = {
    {ERR_NOT_READY, "ERR_NOT_READY", "no device behind the handle, or not allowed in this capture state"},
    {ERR_DEVICE_UNAVAILABLE, "ERR_DEVICE_UNAVAILABLE", "device number not present, or the device is in use"},
    {ERR_THREAD, "ERR_THREAD", "an event or worker thread could not be created"},
    {ERR_WINDOW, "ERR_WINDOW", "preview window not created, or stored capture window not found"},
    {ERR_BUFFER, "ERR_BUFFER", "image buffer not made, or caller's buffer or record too small"},
    {ERR_DEVICE_IO, "ERR_DEVICE_IO", "a device request failed"},
    {ERR_CAPTURE_WINDOW, "ERR_CAPTURE_WINDOW", "capture window outside the sensor or unsupported sub-sampling"},
    {ERR_TRANSFER, "ERR_TRANSFER", "a frame could not be transferred"},
    {ERR_ARGUMENT, "ERR_ARGUMENT", "argument out of range, unknown or null"},
    {ERR_NOT_SUPPORTED, "ERR_NOT_SUPPORTED", "not available on this camera model"},
    {ERR_FILE, "ERR_FILE", "file name not converted, recording not started, or settings not saved"},
    {ERR_TIMEOUT, "ERR_TIMEOUT", "the frame stream stopped"},
};

const ErrorText* find(int32_t code) {
    for (const ErrorText& e : kErrors)
        if (e.code == code) return &e;
    return nullptr;
}

}  // namespace

const char* error_name(int32_t code) {
    const ErrorText* e = find(code);
    return e ? e->name : "unknown error";
}

const char* error_meaning(int32_t code) {
    const ErrorText* e = find(code);
    return e ? e->meaning : "";
}

std::string describe_error(int32_t code) {
    std::string text = "error " + std::to_string(code) + " " + error_name(code);
    if (*error_meaning(code)) text += std::string(" (") + error_meaning(code) + ")";
    return text;
}
