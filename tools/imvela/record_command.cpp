// record: an AVI file of the live picture, with a progress bar.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "ImvelaSdk.h"
#include "avi_summary.h"
#include "commands.h"
#include "console.h"
#include "output_file.h"
#include "tool_camera.h"

namespace {

// The recording counts from its first frame, which comes within this after the start; a
// later one only shortens the recording (stopping finishes the file as far as it got).
constexpr auto kFirstFrameAllowance = std::chrono::milliseconds(500);
constexpr int kBarWidth = 30;

void draw_bar(double done, double total) {
    const int filled = total > 0 ? static_cast<int>(kBarWidth * (done < total ? done : total) / total) : kBarWidth;
    std::printf("\r[%s%s] %5.1f / %.1f s", std::string(filled, '#').c_str(), std::string(kBarWidth - filled, '.').c_str(),
                done < total ? done : total, total);
    std::fflush(stdout);
}

}  // namespace

int command_record(const CommandLine& line) {
    double seconds = 0;
    if (!parse_seconds(line, line.words[0], 3600, &seconds)) return kUsageError;
    const std::string path = line.words[1];
    // The file is always an uncompressed AVI: another extension would promise another format.
    const std::string extension = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    if (extension.size() != 4 || extension[0] != '.' || (extension[1] | 0x20) != 'a' || (extension[2] | 0x20) != 'v' ||
        (extension[3] | 0x20) != 'i')
        return usage_error(line, "the recording is an uncompressed AVI file: name it FILE.avi, not \"" + path + "\"");
    if (const std::string problem = output_file_problem(path); !problem.empty()) return failure(problem);
    ToolCamera camera;
    if (const int status = open_for_capture(line, &camera); status != kSucceeded) return status;
    const auto duration = std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    if (Imvela_Record(camera.handle(), path.c_str(), static_cast<uint32_t>(duration.count()), 0) != 1)
        return camera.fail("starting the recording");
    std::printf("recording %.1f s from camera %d at %d bits into %s\n", seconds, camera.number(), camera.bits(),
                path.c_str());
    const bool terminal = output_is_terminal();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + duration + kFirstFrameAllowance;
    for (auto now = start; now < end; now = std::chrono::steady_clock::now()) {
        if (terminal) draw_bar(std::chrono::duration<double>(now - start).count(), seconds);
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(100), end - now));
    }
    if (terminal) {
        draw_bar(seconds, seconds);
        std::printf("\n");
    }
    // Stopping finishes the file in any case (index, measured rate, frame count).
    Imvela_StopPreview(camera.handle());
    const int errors = camera.print_errors("during recording");
    camera.release();
    AviSummary avi;
    if (!read_avi_summary(path, &avi)) return failure(path + " is not a finished recording");
    std::printf("recorded %u frames of %u x %u at %.2f frames/s (measured), %.1f MB\n", avi.frames, avi.width,
                avi.height, avi.rate, static_cast<double>(avi.bytes) / 1e6);
    if (avi.frames == 0) return failure("the recording got no frame");
    return errors == 0 ? kSucceeded : kFailed;
}
