// Recording: Imvela_Record starts the preview and a recording thread that appends every frame
// the preview worker finishes, as 24-bit pixels, to an AVI file for the given time. Stopping
// the capture ends a recording early; its file is finished either way.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "camera/imvela.h"
#include "camera/recorder.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "platform/clock.h"
#include "platform/text_conversion.h"
#include "platform/thread_priority.h"
#include "platform/debug_log.h"

namespace imvela {

namespace {

// The ring holds about this many bytes of frames (a quarter of a second of full-size 64-bit
// frames at 30 per second, half a second of 24-bit ones), within these slot counts.
constexpr size_t kRingBytes = size_t{64} << 20;
constexpr size_t kFewestSlots = 4, kMostSlots = 32;

// Bounds the frames a recording of `duration_ms` can bring, for the file's layout: at most one
// per millisecond, and the two that open and cross the end.
uint64_t most_frames(uint32_t duration_ms) { return uint64_t{duration_ms} + 2; }

// The file is brought up to date after the first frame and then at least this often, so a
// recording cut off by a crash keeps all but the last moments.
constexpr uint32_t kCheckpointMs = 1000;
// Checkpoints a recording of `duration_ms` makes: one per period, the first frame's, and the
// one that may come late after a slow write.
uint32_t most_checkpoints(uint32_t duration_ms) { return duration_ms / kCheckpointMs + 3; }

bool same_format(const CImageBuffer& a, const CImageBuffer& b) {
    return a.width() == b.width() && a.height() == b.height() && a.bits_per_pixel() == b.bits_per_pixel();
}

}  // namespace

// The ring and the work images for frames like `out`; kept from the last recording when the
// format is the same. False when memory for them cannot be had.
bool Recorder::prepare_images(const CImageBuffer& out) {
    Recorder& r = *this;
    const size_t wanted = std::clamp(kRingBytes / std::max<size_t>(out.size_bytes(), 1), kFewestSlots, kMostSlots);
    std::lock_guard guard(r.lock);
    r.head = r.queued = 0;
    r.counts = RecordingCounts{};
    if (r.slots == wanted && same_format(r.ring[0].image, out)) return true;
    r.ring.reset();
    r.slots = 0;
    r.ring = std::make_unique<RecordedFrame[]>(wanted);
    for (size_t i = 0; i < wanted; ++i)
        if (!r.ring[i].image.CreateLike(&out)) return (r.ring.reset(), false);
    r.slots = wanted;
    const int32_t w = out.width(), h = out.height();
    return r.bgr_a.Create(w, h, 24) && r.bgr_b.Create(w, h, 24) && r.gray.Create(w, h, 8);
}

int32_t CImvela::record(const char* path, uint32_t duration_ms, int32_t show_window) {
    if (!path || !*path) return (record_error(ERR_ARGUMENT), 0);
    // One recording at a time; the running one goes on untouched (and keeps its window).
    if (recording_.active.load()) return (record_error(ERR_FILE), 0);
    // The window is made before the capture-control lock is taken (docs/locks.md).
    if (show_window && !create_wanted_preview_window()) return (record_error(ERR_WINDOW), 0);
    std::unique_lock<std::mutex> control = engine_.lock_control();
    if (recording_.active.load()) return (record_error(ERR_FILE), 0);
    recording_.join();
    engine_.set_callback_target(nullptr, nullptr, 0, 0);
    if (!start_preview_locked()) {
        close_locked();
        return (record_error(ERR_FILE), 0);
    }
    CImageBuffer format;
    engine_.with_output([&](const CImageBuffer* out) {
        if (out && out->has_pixels()) format.Create(out->width(), out->height(), out->bits_per_pixel());
    });
    recording_.writer.SetFormat(format.width(), format.height());
    if (!format.has_pixels() || !recording_.writer.Open(path, most_frames(duration_ms), most_checkpoints(duration_ms))) {
        IMVELA_LOG(files, error, "recording: \"%s\" not started (%s)", path,
                   format.has_pixels() ? "the AVI file cannot be made" : "no frame came");
        close_locked();
        return (record_error(ERR_FILE), 0);
    }
    if (!recording_.prepare_images(format)) {
        recording_.writer.Reset();
        close_locked();
        return (record_error(ERR_BUFFER), 0);
    }
    recording_.duration_ms = duration_ms;
    recording_.active.store(1);
    try {
        recording_.thread = std::thread([this] { recording_.run(); });
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

void Recorder::stop() {
    {
        std::lock_guard guard(lock);
        active.store(0);
    }
    queued_or_stopped.notify_all();
    join();
}

RecordingCounts Recorder::counts_now() {
    std::lock_guard guard(lock);
    return counts;
}

void Recorder::join() {
    if (thread.joinable()) thread.join();
}

// The preview worker, right after a frame is finished: the output image is copied into the
// next free slot of the ring. Skipped when no recording runs, when the ring is full and when
// the output image no longer has the recording's format.
void Recorder::frame_finished() {
    Recorder& r = *this;
    if (!r.active.load(std::memory_order_relaxed)) return;
    const uint32_t now = platform::tick_count();
    {
        std::lock_guard guard(r.lock);
        if (!r.active.load() || r.slots == 0) return;
        ++r.counts.delivered;
        if (r.queued == r.slots) {
            ++r.counts.skipped;
            return;
        }
        RecordedFrame& slot = r.ring[(r.head + r.queued) % r.slots];
        const bool copied = engine_.with_output([&](const CImageBuffer* out) {
            if (!out || !out->has_pixels() || !same_format(*out, slot.image)) return false;
            std::memcpy(slot.image.bits(), out->bits(), out->size_bytes());
            return true;
        });
        if (!copied) return;
        slot.tick = now;
        ++r.queued;
    }
    r.queued_or_stopped.notify_one();
}

// The 24-bit frame made from a copied output image: rows reversed, three bytes per pixel,
// the 12 significant bits of 16-bit samples reduced to their top 8.
const uint8_t* Recorder::recorded_pixels(const CImageBuffer& copy) {
    Recorder& r = *this;
    switch (copy.bits_per_pixel()) {
        case 8:
            r.bgr_a.BlitFrom(copy, nullptr, 0, 0);
            r.bgr_b.Apply(FlipRows24, r.bgr_a, nullptr, 0, 0, nullptr);
            return r.bgr_b.bits();
        case 16:
            r.gray.Apply(ReduceMono16Flip12, copy, nullptr, 0, 0, nullptr);
            r.bgr_a.BlitFrom(r.gray, nullptr, 0, 0);
            return r.bgr_a.bits();
        case 48: case 64:
            r.bgr_b.Apply(ReduceColor16Flip12, copy, nullptr, 0, 0, nullptr);
            return r.bgr_b.bits();
        default:
            r.bgr_a.Apply(FlipRows24, copy, nullptr, 0, 0, nullptr);
            return r.bgr_a.bits();
    }
}

// Writes the queued frames in order until the time is up (the frame that crosses the end
// belongs to the recording), a write fails or the recording is stopped; frames queued when it
// is stopped are written first.
void Recorder::run() {
    // Above the application's threads, as the streaming thread is: the ring holds only a
    // fraction of a second.
    platform::raise_current_thread_priority();
    Recorder& r = *this;
    bool write_failed = false, over = false;
    uint32_t first = 0, last = 0, checked = 0, unchecked = 0;
    // Brings the file up to date with the frames written so far.
    const auto checkpoint = [&] {
        checked = platform::tick_count();
        unchecked = 0;
        r.writer.SetRate(CAviWriter::MeasuredRate(r.writer.frames(), last - first));
        write_failed = over = !r.writer.Checkpoint();
    };
    std::unique_lock guard(r.lock);
    while (!over) {
        // Frames that wait for a checkpoint get one within a period even when no more come.
        const bool woken = r.queued_or_stopped.wait_for(guard, std::chrono::milliseconds(kCheckpointMs),
                                                        [&] { return r.queued > 0 || !r.active.load(); });
        if (!woken) {
            if (unchecked == 0) continue;
            guard.unlock();
            checkpoint();
            guard.lock();
            continue;
        }
        if (r.queued == 0) break;
        const RecordedFrame& slot = r.ring[r.head];
        guard.unlock();
        if (!r.writer.WriteFrame(recorded_pixels(slot.image))) {
            write_failed = over = true;
        } else {
            if (r.writer.frames() == 1) first = slot.tick;
            last = slot.tick;
            over = last - first > r.duration_ms;
            ++unchecked;
            if (!over && (r.writer.frames() == 1 || platform::tick_count() - checked >= kCheckpointMs)) checkpoint();
        }
        guard.lock();
        r.head = (r.head + 1) % r.slots;
        --r.queued;
    }
    r.active.store(0);
    r.queued = 0;
    guard.unlock();
    r.writer.SetRate(CAviWriter::MeasuredRate(r.writer.frames(), last - first));
    if (!r.writer.Finish() || write_failed) host_.record_error(ERR_FILE);
}

}  // namespace imvela
