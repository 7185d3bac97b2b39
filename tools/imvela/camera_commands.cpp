// list and info: what cameras there are and what one of them is set to.
#include <cstdio>

#include "ImvelaSdk.h"
#include "camera_holder.h"
#include "commands.h"
#include "emulator_variable.h"
#include "json_text.h"
#include "named_settings.h"
#include "tool_camera.h"

// list --json: {"cameras":[{"number":0,"device":...,"rom_id":...,"driver":...,"use":"free"|"in use",
// "holder":null|{"process_id":...,"executable":...,"since":...}}]}
int list_as_json(ToolCamera& lister, const std::vector<int32_t>& numbers) {
    std::vector<std::string> cameras;
    for (int32_t n : numbers) {
        ToolCamera camera;
        if (!camera.open(n)) continue;
        const CameraHolder holder = camera_holder(camera);
        JsonObject item;
        item.add("number", n).add("device", device_name(lister.handle(), n)).add("rom_id", rom_identifier(camera.handle()));
        item.add("driver", camera_driver_name(n)).add("use", holder.held ? "in use" : "free");
        if (holder.process_id)
            item.add_json("holder", JsonObject().add("process_id", holder.process_id).add("executable", holder.executable)
                                        .add("since", static_cast<long long>(holder.since)).text());
        else
            item.add_null("holder");
        cameras.push_back(item.text());
    }
    JsonObject().add_json("cameras", json_array(cameras)).print();
    return numbers.empty() ? kFailed : kSucceeded;
}

int command_list(const CommandLine& line) {
    ToolCamera lister;
    if (!lister.initialise()) return kFailed;
    const std::vector<int32_t> numbers = attached_cameras(lister.handle());
    if (line.has("json")) return list_as_json(lister, numbers);
    bool unnamed = false;
    for (int32_t n : numbers) {
        const std::string name = device_name(lister.handle(), n);
        ToolCamera camera;
        if (!camera.open(n)) continue;
        const CameraHolder holder = camera_holder(camera);
        unnamed = unnamed || (holder.held && holder.process_id == 0);
        // "in use by process 4242 (inspect.exe) since 16:02:11": the holder's line without its subject
        const std::string subject = "camera " + std::to_string(n) + " is ";
        const std::string use = holder.held ? held_camera_line(n, holder).substr(subject.size()) : "free";
        std::printf("camera %-2d %-18s ROM id \"%s\"  %s\n", n, name.c_str(), rom_identifier(camera.handle()).c_str(),
                    use.c_str());
    }
    if (numbers.empty()) {
        std::printf("no camera attached\n");
        return kFailed;
    }
    if (unnamed)
        std::printf("(the library could not name the program holding a camera: imvela doctor helps find it)\n");
    return kSucceeded;
}

int command_info(const CommandLine& line) {
    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    const int32_t h = camera.handle();
    ImvelaCameraInfo info{};
    info.size = sizeof info;
    if (Imvela_GetCameraInfo(h, &info) != 1) return camera.fail("reading the camera information");
    int32_t window[6] = {};  // total width, column, width, total height, row, height
    int32_t exposure_ok = 0, gain_ok = 0, gamma = 100, brightness = 0;
    const bool window_read =
        Imvela_GetCaptureWindowEx(h, &window[0], &window[1], &window[2], &window[3], &window[4], &window[5]) == 1;
    const int32_t us = Imvela_GetRealExposureTime(h, &exposure_ok);
    const int32_t gain = Imvela_GetGlobalGain(h, &gain_ok);
    if (!window_read || !exposure_ok || !gain_ok || !read_named_setting(camera, "gamma", &gamma) ||
        !read_named_setting(camera, "brightness", &brightness))
        return camera.fail("reading the camera's settings");
    const std::string name = device_name(h, camera.number());
    if (line.has("json")) {
        JsonObject out;
        out.add("camera", camera.number()).add("device", name).add("rom_id", rom_identifier(h));
        out.add("driver", camera_driver_name(camera.number()));
        out.add_json("sensor", JsonObject().add("width", info.total_width).add("height", info.total_height).text());
        out.add_json("gain_index", JsonObject().add("min", info.gain_min).add("max", info.gain_max).text());
        out.add_json("exposure_lines", JsonObject().add("min", info.exposure_min).add("max", info.exposure_max).text());
        out.add_json("capture_window", JsonObject()
                                           .add("width", window[2]).add("height", window[5]).add("x", window[1])
                                           .add("y", window[4]).add("total_width", window[0])
                                           .add("total_height", window[3]).text());
        out.add_json("image", JsonObject().add("width", Imvela_Width(h)).add("height", Imvela_Height(h))
                                  .add("bits", camera.bits()).text());
        out.add("exposure_us", us).add("global_gain", gain);
        out.add("mirror_h", Imvela_GetMirrorH(h)).add("mirror_v", Imvela_GetMirrorV(h));
        out.add("wait_time_ms", Imvela_GetWaitTime(h)).add("sub_sample", Imvela_GetSubSample(h));
        out.add_json("gamma", JsonObject().add("value", gamma).add("exponent", gamma_exponent(gamma), 3).text());
        out.add_json("brightness",
                     JsonObject().add("value", brightness).add("factor", brightness_factor(brightness), 4).text());
        out.add("use", "free");
        out.print();
        camera.take_errors();
        return kSucceeded;
    }
    std::printf("camera %d: %s, ROM id \"%s\" (%s)\n", camera.number(), name.c_str(), rom_identifier(h).c_str(),
                camera_driver_name(camera.number()));
    std::printf("sensor            %d x %d\n", info.total_width, info.total_height);
    std::printf("gain index        %d to %d\n", info.gain_min, info.gain_max);
    std::printf("exposure          %d to %d lines\n", info.exposure_min, info.exposure_max);
    std::printf("capture window    %d x %d at (%d, %d) of %d x %d\n", window[2], window[5], window[1], window[4],
                window[0], window[3]);
    std::printf("image             %d x %d, %d bits\n", Imvela_Width(h), Imvela_Height(h), camera.bits());
    std::printf("exposure time     %d us\n", us);
    std::printf("global gain       %d\n", gain);
    std::printf("gamma             %d (exponent %.2f: v/100 up to 100, 1 + (v - 100)/10 above)\n", gamma,
                gamma_exponent(gamma));
    std::printf("brightness        %d (gain factor %.3f)\n", brightness, brightness_factor(brightness));
    std::printf("mirrors           horizontal %s, vertical %s\n", Imvela_GetMirrorH(h) ? "on" : "off",
                Imvela_GetMirrorV(h) ? "on" : "off");
    std::printf("wait time         %d ms, sub-sampling %d\n", Imvela_GetWaitTime(h), Imvela_GetSubSample(h));
    std::printf("use               free\n");
    camera.take_errors();
    return kSucceeded;
}
