// Recording: Imvela_Record starts the preview and a recording thread that appends every frame
// the preview worker finishes, as 24-bit pixels, to an AVI file for the given time. Stopping
// the capture ends a recording early; its file is finished either way.
#include <cstring>
#include <system_error>

#include "camera/imvela.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "platform/clock.h"
#include "platform/text_conversion.h"

namespace imvela {

namespace {

// The recording thread looks for a new frame this often, so it takes at most one frame per
// period.
constexpr int32_t kPollMs = 10;
// Frames a recording of `duration_ms` can bring: one per poll at most, one that crosses the
// end, and room for polls that come back early by the clock.
uint64_t most_frames(uint32_t duration_ms) { return uint64_t{duration_ms} / (kPollMs / 2) + 2; }

}  // namespace

// The work images of one recording, made once when it starts: the copy of the output image
// taken under the frame lock, and the images the 24-bit frame is made in.
struct CImvela::RecordingImages {
    CImageBuffer copy, a, b, c;
};

int32_t CImvela::record(const char* path, uint32_t duration_ms, int32_t show_window) {
    if (!path || !*path) return (record_error(ERR_ARGUMENT), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    // One recording at a time; the running one goes on untouched.
    if (recording_.active.load()) return (record_error(ERR_FILE), 0);
    join_recording();
    engine_.set_callback_target(nullptr, nullptr, 0, 0);
    if (show_window && !create_wanted_preview_window()) return (record_error(ERR_WINDOW), 0);
    if (!start_preview_locked()) {
        close_locked();
        return (record_error(ERR_FILE), 0);
    }
    int32_t width = 0, height = 0;
    engine_.with_output([&](const CImageBuffer* out) {
        if (out && out->has_pixels()) width = out->width(), height = out->height();
    });
    recording_.writer.SetFormat(width, height);
    if (!recording_.writer.Open(path, most_frames(duration_ms))) {
        close_locked();
        return (record_error(ERR_FILE), 0);
    }
    recording_.duration_ms = duration_ms;
    recording_.new_frame.store(0);
    recording_.active.store(1);
    try {
        recording_.thread = std::thread([this] { recording_main(); });
    } catch (const std::system_error&) {
        recording_.active.store(0);
        recording_.writer.Reset();
        close_locked();
        return (record_error(ERR_THREAD), 0);
    }
    return 1;
}

int32_t CImvela::record_w(const IMVELA_WCHAR* path, uint32_t duration_ms, int32_t show_window) {
    char narrow[platform::kNarrowTextCapacity];
    if (!platform::wide_to_narrow(path, narrow, sizeof narrow)) return (record_error(ERR_FILE), 0);
    return record(narrow, duration_ms, show_window);
}

void CImvela::stop_recording() {
    recording_.active.store(0);
    join_recording();
}

void CImvela::join_recording() {
    if (recording_.thread.joinable()) recording_.thread.join();
}

void CImvela::frame_finished() { recording_.new_frame.store(1, std::memory_order_release); }

// Copies the current output image under the frame lock, then makes the 24-bit frame from the
// copy without it: rows reversed, three bytes per pixel, 16-bit samples reduced to their bits
// 2 to 9. nullptr when the output image no longer has the recording's format.
const uint8_t* CImvela::take_recorded_frame(RecordingImages& w) {
    const bool copied = engine_.with_output([&](const CImageBuffer* out) {
        if (!out || !out->has_pixels() || out->width() != w.copy.width() || out->height() != w.copy.height() ||
            out->bits_per_pixel() != w.copy.bits_per_pixel())
            return false;
        std::memcpy(w.copy.bits(), out->bits(), out->size_bytes());
        return true;
    });
    if (!copied) return nullptr;
    switch (w.copy.bits_per_pixel()) {
        case 8:
            w.a.BlitFrom(w.copy, nullptr, 0, 0);
            w.b.Apply(FlipRows24, w.a, nullptr, 0, 0, nullptr);
            return w.b.bits();
        case 16:
            w.c.Apply(ReduceMono16Flip10, w.copy, nullptr, 0, 0, nullptr);
            w.a.BlitFrom(w.c, nullptr, 0, 0);
            return w.a.bits();
        case 48: case 64:
            w.b.Apply(ReduceColor16Flip10, w.copy, nullptr, 0, 0, nullptr);
            return w.b.bits();
        default:
            w.a.Apply(FlipRows24, w.copy, nullptr, 0, 0, nullptr);
            return w.a.bits();
    }
}

void CImvela::recording_main() {
    RecordingState& r = recording_;
    RecordingImages w;
    bool ready =
        engine_.with_output([&](const CImageBuffer* out) { return out && out->has_pixels() && w.copy.CreateLike(out); });
    // Without them no frame can be taken; the file stays empty.
    const int32_t width = w.copy.width(), height = w.copy.height();
    ready = ready && w.a.Create(width, height, 24) && w.b.Create(width, height, 24) && w.c.Create(width, height, 8);
    bool write_failed = false;
    uint32_t first = 0, last = 0;
    while (ready && r.active.load()) {
        platform::sleep_milliseconds(kPollMs);
        if (r.new_frame.exchange(0, std::memory_order_acquire) == 0) continue;
        const uint32_t now = platform::tick_count();
        const uint8_t* pixels = take_recorded_frame(w);
        if (!pixels) continue;
        if (!r.writer.WriteFrame(pixels)) {
            write_failed = true;
            break;
        }
        if (r.writer.frames() == 1) first = now;
        last = now;
        // The frame that crosses the end belongs to the recording.
        if (last - first > r.duration_ms) break;
    }
    r.writer.SetRate(CAviWriter::MeasuredRate(r.writer.frames(), last - first));
    if (!r.writer.Finish() || write_failed) record_error(ERR_FILE);
    r.active.store(0);
}

}  // namespace imvela
