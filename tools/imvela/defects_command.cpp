// defects: a defect-pixel list loaded into the camera, and what it corrects.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include "ImvelaSdk.h"
#include "camera_holder.h"
#include "commands.h"
#include "tool_camera.h"

namespace {

using Pixel = std::pair<int32_t, int32_t>;  // x from the sensor's left, y from its bottom row

int32_t signed_le32(const uint8_t* p) {
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

int command_defects(const CommandLine& line) {
    const std::string& path = line.words[0];
    std::vector<uint8_t> bytes;
    {
        // Closed before the library opens it: it reads the file without sharing it.
        std::ifstream in(path, std::ios::binary);
        if (!in) return failure("cannot read " + path + ": " + std::strerror(errno));
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // A list is whole records of 8 bytes; anything else is not a defect-pixel list.
    if (bytes.size() % 8 != 0)
        return failure(path + " is not a defect-pixel list: " + std::to_string(bytes.size()) +
                       " bytes, where a list is records of 8 bytes (int32 x, int32 y, little-endian)");
    std::vector<Pixel> pixels;
    for (size_t at = 0; at + 8 <= bytes.size(); at += 8) pixels.emplace_back(signed_le32(&bytes[at]), signed_le32(&bytes[at + 4]));

    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    const int32_t h = camera.handle();
    if (Imvela_LoadConfigFileA(h, path.c_str()) != 1) return camera.fail("loading " + path);
    if (Imvela_SetConfigFilter(h, 1) != 1) return camera.fail("switching the defect correction on");
    ImvelaCameraInfo info{};
    info.size = sizeof info;
    int32_t tw = 0, hs = 0, ew = 0, th = 0, vs = 0, eh = 0;
    if (Imvela_GetCameraInfo(h, &info) != 1 || Imvela_GetCaptureWindowEx(h, &tw, &hs, &ew, &th, &vs, &eh) != 1)
        return camera.fail("reading the capture window");

    std::sort(pixels.begin(), pixels.end());
    const size_t records = pixels.size();
    pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
    size_t on_sensor = 0, corrected = 0;
    // Rows count from the sensor's bottom; the window's start counts from its top. Mirroring
    // moves the window and the pixels alike, so the count does not depend on it.
    const int32_t bottom = info.total_height - vs - eh;
    for (const Pixel& p : pixels) {
        if (p.first < 0 || p.first >= info.total_width || p.second < 0 || p.second >= info.total_height) continue;
        ++on_sensor;
        corrected += p.first >= hs && p.first < hs + ew && p.second >= bottom && p.second < bottom + eh;
    }
    std::printf("%s: %zu records, %zu distinct pixels, %zu on the %d x %d sensor\n",
                path.c_str(), records, pixels.size(), on_sensor, info.total_width,
                info.total_height);
    std::printf("loaded into camera %d: corrects %zu pixels of the %d x %d capture window at (%d, %d)\n",
                camera.number(), corrected, ew, eh, hs, vs);
    std::printf("(the list and the correction belong to a handle: an application loads the file and calls\n"
                " Imvela_SetConfigFilter(handle, 1) itself)\n");
    camera.take_errors();
    return kSucceeded;
}
