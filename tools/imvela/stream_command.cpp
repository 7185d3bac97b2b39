// stream: frames delivered to the tool's window, with a live status.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "commands.h"
#include "console.h"
#include "tool_camera.h"

namespace {

using Clock = std::chrono::steady_clock;

struct StreamCounts {
    long delivered = 0;
    long errors = 0;  // WM_CAMERA_ERROR posted meanwhile
    double cpu_start = 0;
    Clock::time_point start;
};

// The library's counts of the stream since it started (zeros when it cannot say).
ImvelaStreamStats stream_stats(int32_t handle) {
    ImvelaStreamStats stats{};
    stats.size = sizeof stats;
    if (ImvelaDiag_GetStreamStats(handle, &stats) != 1) stats = ImvelaStreamStats{};
    return stats;
}

std::string status_line(const StreamCounts& c, const ImvelaStreamStats& stats, double fps) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - c.start).count();
    const double cpu_ms = c.delivered ? 1000.0 * (process_cpu_seconds() - c.cpu_start) / c.delivered : 0;
    char text[200];
    std::snprintf(text, sizeof text, "%6.1f s  %5.1f fps  delivered %ld  skipped %u  CPU %.2f ms/frame  errors %ld",
                  elapsed, fps, c.delivered, stats.frames_skipped, cpu_ms, c.errors);
    return text;
}

}  // namespace

int command_stream(const CommandLine& line) {
    long seconds = 3;
    if (!line.words.empty() && !parse_bounded(line, line.words[0], "SECONDS", 1, 86400, &seconds)) return kUsageError;
    ToolCamera camera;
    if (const int status = open_for_capture(line, &camera); status != kSucceeded) return status;
    const int32_t bits = camera.bits();
    std::vector<uint8_t> image(frame_bytes(bits));
    Imvela_SetWaitTime(camera.handle(), 0);
    StreamCounts counts;
    if (Imvela_CallBackPreview(camera.handle(), camera.window().handle(), image.data(),
                               static_cast<int32_t>(image.size()), 0) != 1)
        return camera.fail("starting the stream");
    std::printf("streaming %ld s from camera %d, %d bits\n", seconds, camera.number(), bits);
    ImvelaFrameInfo first{};  // the first delivered frame's number and arrival
    first.size = sizeof first;
    const bool terminal = output_is_terminal();
    counts.cpu_start = process_cpu_seconds();
    counts.start = Clock::now();
    const auto end = counts.start + std::chrono::seconds(seconds);
    const auto interval = std::chrono::milliseconds(terminal ? 500 : 1000);
    auto next_status = counts.start + interval;
    long interval_frames = 0;
    int32_t last_rate = 0;
    bool stopped = false;
    ToolMessage m;
    while (!stopped && Clock::now() < end) {
        if (camera.window().next(&m, 50)) {
            if (m.message == WM_CAMERA_ERROR) {
                ++counts.errors;
                stopped = m.lparam == ERR_TIMEOUT;
            } else if (m.message == WM_CAMERA_FRAME && m.lparam == 0 && m.wparam) {
                const auto* record = reinterpret_cast<const ImvelaFrameRecord*>(m.wparam);
                if (counts.delivered++ == 0) {
                    std::printf("first frame %d x %d, %d bits\n", record->width, record->height, record->bit_count);
                    if (ImvelaDiag_GetFrameInfo(camera.handle(), &first) != 1) first.size = 0;
                }
                last_rate = record->frame_rate;
                ++interval_frames;
            } else if (m.message == WM_CAMERA_FRAME) {
                stopped = m.lparam == ERR_TIMEOUT;
            }
        }
        if (Clock::now() >= next_status) {
            const double fps = interval_frames / std::chrono::duration<double>(interval).count();
            const std::string status = status_line(counts, stream_stats(camera.handle()), fps);
            if (terminal)
                std::printf("\r%s\x1b[K", status.c_str());
            else
                std::printf("%s\n", status.c_str());
            std::fflush(stdout);
            interval_frames = 0;
            next_status += interval;
        }
    }
    if (terminal) std::printf("\n");
    Imvela_StopPreview(camera.handle());
    const double elapsed = std::chrono::duration<double>(Clock::now() - counts.start).count();
    std::printf("delivered %ld frames in %.2f s: %.1f frames/s (last frame record: %.1f)\n", counts.delivered, elapsed,
                counts.delivered / elapsed, last_rate / 10.0);
    const ImvelaStreamStats stats = stream_stats(camera.handle());
    std::printf("camera sent %u frames up to the last delivered; delivered %u, skipped (newer frame taken "
                "instead) %u\n",
                stats.frames_delivered + stats.frames_skipped, stats.frames_delivered, stats.frames_skipped);
    std::printf("transfers failed %u, short %u; time-outs %u; unplugs %u\n", stats.transfers_failed,
                stats.transfers_short, stats.timeouts, stats.unplugs);
    if (stats.frames_delivered && first.size)
        std::printf("frames numbered %u to %u, the last arriving %.3f s after the first\n", first.sequence,
                    stats.last_sequence, static_cast<double>(stats.last_arrival_us - first.arrival_us) / 1e6);
    if (counts.delivered)
        std::printf("CPU time per frame (whole process): %.2f ms\n",
                    1000.0 * (process_cpu_seconds() - counts.cpu_start) / counts.delivered);
    const int errors = camera.print_errors("during streaming");
    if (stopped) return failure("the frame stream stopped: " + std::string("see the errors above"));
    if (counts.delivered == 0) return failure("no frame was delivered");
    return errors == 0 ? kSucceeded : kFailed;
}
