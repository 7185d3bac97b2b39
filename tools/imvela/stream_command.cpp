// stream: frames delivered to the tool's window, with a live status.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "commands.h"
#include "console.h"
#include "json_text.h"
#include "tool_camera.h"

namespace {

using Clock = std::chrono::steady_clock;

struct StreamCounts {
    long delivered = 0;
    long errors = 0;           // WM_CAMERA_ERROR posted meanwhile
    int32_t handle = 0;         // the camera's handle, for the library's counts of the stream
    double cpu_start = 0;
    Clock::time_point start;
};

// The library's counts of the stream since it started; false when it cannot say.
bool stream_stats(int32_t handle, ImvelaStreamStats* stats) {
    *stats = ImvelaStreamStats{};
    stats->size = sizeof *stats;
    return ImvelaDiag_GetStreamStats(handle, stats) == 1;
}

// What the status reports besides the rate: seconds since the start, CPU per frame, and the
// frames the camera sent that were not delivered (a newer one was taken; -1 when unknown).
struct StreamStatus {
    double elapsed, cpu_ms;
    long skipped;
};

StreamStatus stream_status(const StreamCounts& c) {
    ImvelaStreamStats stats;
    return {std::chrono::duration<double>(Clock::now() - c.start).count(),
            c.delivered ? 1000.0 * (process_cpu_seconds() - c.cpu_start) / c.delivered : 0,
            stream_stats(c.handle, &stats) ? static_cast<long>(stats.frames_skipped) : -1};
}

// The status as --json prints it: {"seconds","fps","delivered","skipped","cpu_ms_per_frame","errors"}.
JsonObject status_json(const StreamCounts& c, double fps) {
    const StreamStatus s = stream_status(c);
    JsonObject status;
    status.add("seconds", s.elapsed, 1).add("fps", fps, 1).add("delivered", c.delivered);
    if (s.skipped < 0)
        status.add_null("skipped");
    else
        status.add("skipped", s.skipped);
    return status.add("cpu_ms_per_frame", s.cpu_ms, 2).add("errors", c.errors);
}

std::string status_line(const StreamCounts& c, double fps, bool json) {
    if (json) return status_json(c, fps).text();
    const StreamStatus s = stream_status(c);
    char text[200];
    std::snprintf(text, sizeof text, "%6.1f s  %5.1f fps  delivered %ld  skipped %s  CPU %.2f ms/frame  errors %ld",
                  s.elapsed, fps, c.delivered, s.skipped < 0 ? "-" : std::to_string(s.skipped).c_str(), s.cpu_ms,
                  c.errors);
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
    counts.handle = camera.handle();
    if (Imvela_CallBackPreview(camera.handle(), camera.window().handle(), image.data(),
                               static_cast<int32_t>(image.size()), 0) != 1)
        return camera.fail("starting the stream");
    const bool json = line.has("json");
    if (!json) std::printf("streaming %ld s from camera %d, %d bits\n", seconds, camera.number(), bits);
    const bool terminal = !json && output_is_terminal();
    const bool clear_line = terminal && enable_line_clearing();
    size_t last_length = 0;
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
                // The library rewrites the record for the next frame while this one is handled:
                // its fields are read as the aligned 32-bit values they are, one at a time.
                const auto* record = reinterpret_cast<const ImvelaFrameRecord*>(m.wparam);
                const auto field = [](const int32_t& value) { return __atomic_load_n(&value, __ATOMIC_RELAXED); };
                if (counts.delivered++ == 0 && !json)
                    std::printf("first frame %d x %d, %d bits\n", field(record->width), field(record->height),
                                field(record->bit_count));
                last_rate = field(record->frame_rate);
                ++interval_frames;
            } else if (m.message == WM_CAMERA_FRAME) {
                stopped = m.lparam == ERR_TIMEOUT;
            }
        }
        if (Clock::now() >= next_status) {
            const double fps = interval_frames / std::chrono::duration<double>(interval).count();
            const std::string status = status_line(counts, fps, json);
            if (clear_line) {
                std::printf("\r%s\x1b[K", status.c_str());
            } else if (terminal) {
                // Without the clearing sequence, spaces cover what a longer line left.
                std::printf("\r%-*s", static_cast<int>(last_length), status.c_str());
                last_length = status.size();
            } else {
                std::printf("%s\n", status.c_str());
            }
            std::fflush(stdout);
            interval_frames = 0;
            next_status += interval;
        }
    }
    if (terminal) std::printf("\n");
    Imvela_StopPreview(camera.handle());
    const double elapsed = std::chrono::duration<double>(Clock::now() - counts.start).count();
    if (json) {
        status_json(counts, counts.delivered / elapsed).add("final", true).print();
        camera.take_errors();
        if (stopped) return failure("the frame stream stopped");
        return counts.delivered == 0 ? failure("no frame was delivered") : counts.errors == 0 ? kSucceeded : kFailed;
    }
    std::printf("delivered %ld frames in %.2f s: %.1f frames/s (last frame record: %.1f)\n", counts.delivered, elapsed,
                counts.delivered / elapsed, last_rate / 10.0);
    if (ImvelaStreamStats stats; stream_stats(camera.handle(), &stats)) {
        std::printf("camera sent %u frames up to the last delivered; skipped (newer frame taken instead): %u\n",
                    stats.frames_delivered + stats.frames_skipped, stats.frames_skipped);
        std::printf("transfers failed %u, short %u; time-outs %u; unplugs %u; last frame number %u\n",
                    stats.transfers_failed, stats.transfers_short, stats.timeouts, stats.unplugs, stats.last_sequence);
    }
    if (counts.delivered)
        std::printf("CPU time per frame (whole process): %.2f ms\n",
                    1000.0 * (process_cpu_seconds() - counts.cpu_start) / counts.delivered);
    const int errors = camera.print_errors("during streaming");
    if (stopped) return failure("the frame stream stopped: " + std::string("see the errors above"));
    if (counts.delivered == 0) return failure("no frame was delivered");
    return errors == 0 ? kSucceeded : kFailed;
}
