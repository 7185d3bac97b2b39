// snapshot and stills: one frame, saved as still images.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "commands.h"
#include "output_file.h"
#include "still_types.h"
#include "tool_camera.h"

namespace fs = std::filesystem;

namespace {

// One frame into `image`; false after a message.
bool take_frame(ToolCamera& camera, std::vector<uint8_t>* image) {
    image->assign(frame_bytes(camera.bits()), 0);
    if (Imvela_SnapShot(camera.handle(), image->data(), static_cast<int32_t>(image->size()), 0) == 1) return true;
    camera.fail("taking a frame from camera " + std::to_string(camera.number()));
    return false;
}

// Saves the current image as `type`; prints the file's size and the time it took.
bool save(ToolCamera& camera, const std::string& path, const StillType& type) {
    const auto start = std::chrono::steady_clock::now();
    const bool saved = Imvela_SaveImage(camera.handle(), path.c_str(), type.type) == 1;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!saved) {
        camera.fail("saving " + path + " as " + type.name);
        return false;
    }
    std::error_code size_failure;
    std::printf("  %-8s %9ju bytes %7.1f ms  %s\n", type.name,
                static_cast<uintmax_t>(fs::file_size(path, size_failure)), ms, path.c_str());
    return true;
}

}  // namespace

int command_snapshot(const CommandLine& line) {
    const StillType* forced = nullptr;
    if (line.has("type") && !(forced = still_type_named(line.option("type"))))
        return usage_error(line, "--type must be one of bmp raw jpeg jpeg100 jpeg70 jpeg20 png tiff or 0 to 6");
    std::vector<const StillType*> types;
    for (const std::string& path : line.words) {
        const StillType* type = forced ? forced : still_type_of_file(path);
        if (!type) return usage_error(line, "no still type for \"" + path + "\": give --type or an extension");
        types.push_back(type);
        if (const std::string problem = output_file_problem(path); !problem.empty()) return failure(problem);
    }
    ToolCamera camera;
    if (const int status = open_for_capture(line, &camera); status != kSucceeded) return status;
    std::vector<uint8_t> image;
    if (!take_frame(camera, &image)) return kFailed;
    std::printf("frame %d x %d, %d bits\n", Imvela_Width(camera.handle()), Imvela_Height(camera.handle()),
                camera.bits());
    if (line.words.empty()) {
        std::printf("first bytes of the bottom row:");
        for (size_t i = 0; i < 12 && i < image.size(); ++i) std::printf(" %d", image[i]);
        std::printf("\n");
    }
    int failed = 0;
    for (size_t i = 0; i < line.words.size(); ++i) failed += !save(camera, line.words[i], *types[i]);
    return failed == 0 ? kSucceeded : kFailed;
}

int command_stills(const CommandLine& line) {
    const fs::path folder = line.words[0];
    std::error_code made;
    fs::create_directories(folder, made);
    if (made) return failure("cannot make the folder " + folder.string() + ": " + made.message());
    ToolCamera camera;
    if (const int status = open_for_capture(line, &camera); status != kSucceeded) return status;
    std::vector<uint8_t> image;
    if (!take_frame(camera, &image)) return kFailed;
    std::printf("stills of one %d-bit frame in %s\n", camera.bits(), folder.string().c_str());
    int failed = 0;
    for (int32_t type = 0; type < kStillTypeCount; ++type)
        failed += !save(camera, (folder / still_type(type).file_name).string(), still_type(type));
    return failed == 0 ? kSucceeded : kFailed;
}
