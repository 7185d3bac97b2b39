// list and info: what cameras there are and what one of them is set to.
#include <cstdio>

#include "ImvelaSdk.h"
#include "commands.h"
#include "holder_text.h"
#include "tool_camera.h"

namespace {

std::string use_text(CameraUse use, int32_t number) {
    switch (use) {
    case CameraUse::free: return "free";
    case CameraUse::held_elsewhere: return holder_text(number);
    default: return "state unknown";
    }
}

}  // namespace

int command_list(const CommandLine&) {
    ToolCamera lister;
    if (!lister.initialise()) return kFailed;
    const std::vector<int32_t> numbers = attached_cameras(lister.handle());
    for (int32_t n : numbers) {
        const std::string name = device_name(lister.handle(), n);
        ToolCamera camera;
        if (!camera.open(n)) continue;
        const CameraUse use = probe_camera_use(camera);
        std::printf("camera %-2d %-18s ROM id \"%s\"  %s\n", n, name.c_str(), rom_identifier(camera.handle()).c_str(),
                    use_text(use, n).c_str());
    }
    if (numbers.empty()) {
        std::printf("no camera attached\n");
        return kFailed;
    }
    return kSucceeded;
}

int command_info(const CommandLine& line) {
    ToolCamera camera;
    if (!camera.open(line.camera())) return kFailed;
    const int32_t h = camera.handle();
    std::printf("camera %d: %s, ROM id \"%s\"\n", camera.number(), device_name(h, camera.number()).c_str(),
                rom_identifier(h).c_str());
    ImvelaCameraInfo info{};
    info.size = sizeof info;
    if (Imvela_GetCameraInfo(h, &info) != 1) return camera.fail("reading the camera information");
    std::printf("sensor            %d x %d\n", info.total_width, info.total_height);
    std::printf("gain index        %d to %d\n", info.gain_min, info.gain_max);
    std::printf("exposure          %d to %d lines\n", info.exposure_min, info.exposure_max);
    int32_t tw = 0, hs = 0, ew = 0, th = 0, vs = 0, eh = 0;
    if (Imvela_GetCaptureWindowEx(h, &tw, &hs, &ew, &th, &vs, &eh) == 1)
        std::printf("capture window    %d x %d at (%d, %d) of %d x %d\n", ew, eh, hs, vs, tw, th);
    std::printf("image             %d x %d, %d bits\n", Imvela_Width(h), Imvela_Height(h), camera.bits());
    int32_t ok = 0;
    const int32_t us = Imvela_GetRealExposureTime(h, &ok);
    if (ok) std::printf("exposure time     %d us\n", us);
    const int32_t gain = Imvela_GetGlobalGain(h, &ok);
    if (ok) std::printf("global gain       %d\n", gain);
    std::printf("mirrors           horizontal %s, vertical %s\n", Imvela_GetMirrorH(h) ? "on" : "off",
                Imvela_GetMirrorV(h) ? "on" : "off");
    std::printf("wait time         %d ms, sub-sampling %d\n", Imvela_GetWaitTime(h), Imvela_GetSubSample(h));
    std::printf("use               %s\n", use_text(probe_camera_use(camera), camera.number()).c_str());
    camera.take_errors();
    return kSucceeded;
}
