// record: an AVI file of the live picture, with a progress bar.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ImvelaSdk.h"
#include "avi_summary.h"
#include "commands.h"
#include "console.h"
#include "error_text.h"
#include "interrupts.h"
#include "output_file.h"
#include "settings_store.h"
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
    if (path.size() < 4 || !same_name(path.substr(path.size() - 4), ".avi"))
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
    const CaughtInterrupts interrupts;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + duration + kFirstFrameAllowance;
    for (auto now = start; now < end && !interrupts.caught(); now = std::chrono::steady_clock::now()) {
        if (terminal) draw_bar(std::chrono::duration<double>(now - start).count(), seconds);
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(100), end - now));
    }
    if (terminal) {
        if (!interrupts.caught()) draw_bar(seconds, seconds);
        std::printf("\n");
    }
    // Stopping finishes the file in any case (index, measured rate, frame count).
    Imvela_StopPreview(camera.handle());
    const std::vector<int32_t> errors = camera.take_errors();
    // The recording's errors were posted too; what release finds posted is about the settings.
    for (ToolMessage m; camera.window().next(&m, 0);) {
    }
    camera.release();
    AviSummary avi;
    const bool finished = read_avi_summary(path, &avi);
    if (finished)
        std::printf("recorded %u frames of %u x %u at %.2f frames/s (measured), %.1f MB\n", avi.frames, avi.width,
                    avi.height, avi.rate, static_cast<double>(avi.bytes) / 1e6);
    if (const char* caught = interrupts.caught()) {
        std::printf("recording interrupted by %s after %.1f s: stopped, and %s holds every frame taken\n", caught,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), path.c_str());
        return finished ? kInterrupted : failure(path + " is not a finished recording");
    }
    // The recorder records ERR_FILE when a write fails (full disk, medium gone); the file
    // then ends with the last frame that reached it.
    for (auto code = errors.rbegin(); code != errors.rend(); ++code)
        failure(*code == ERR_FILE ? "writing " + path + " failed (disk full or medium gone); the recording stopped "
                                    "early and the file holds the frames written before"
                                  : describe_error(*code) + " during recording");
    if (!finished) return failure(path + " is not a finished recording");
    if (avi.frames == 0) return failure("the recording got no frame");
    return errors.empty() ? kSucceeded : kFailed;
}
