#include "camera/camera_conformance.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "camera/imvela.h"
#include "imaging/color_mode.h"
#include "imaging/image_buffer.h"
#include "platform/clock.h"

namespace imvela {

namespace {

// How long each colour mode streams, and the share of the frames the camera sends that the
// library must deliver.
constexpr int32_t kStreamMs = 600;
constexpr double kDeliveredShare = 0.9;
constexpr uint32_t kStopLimitMs = 1000;
// The first byte of the serial-ROM identifier area.
constexpr int32_t kRomIdAddress = 0;
// The line length register: read, written back, read again.
constexpr int32_t kLineLengthRegister = 0x2E;

class Checks {
public:
    Checks(CImvela& camera, std::string& report) : camera_(camera), report_(report) {}
    int32_t failures() const { return failures_; }

    void result(const char* name, bool pass, const char* format = "", ...)
#if defined(__MINGW32__)
        __attribute__((format(gnu_printf, 4, 5)))
#elif defined(__GNUC__)
        __attribute__((format(printf, 4, 5)))
#endif
    {
        char figures[160];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(figures, sizeof figures, format, arguments);
        va_end(arguments);
        char line[240];
        std::snprintf(line, sizeof line, "camera    %-22s %-44s %s\n", name, figures, pass ? "pass" : "FAIL");
        report_ += line;
        if (!pass) ++failures_;
    }

    CImvela& camera_;

private:
    std::string& report_;
    int32_t failures_ = 0;
};

size_t image_bytes(CImvela& camera, int32_t mode) {
    return static_cast<size_t>(image_stride(camera.width(), kColorModeBits[mode])) * static_cast<size_t>(camera.height());
}

ImvelaStreamStats stats_of(CImvela& camera) {
    ImvelaStreamStats s{};
    s.size = sizeof s;
    camera.get_stream_stats(&s);
    return s;
}

void check_enumeration(Checks& c) {
    static char names[32][256];
    const int32_t found = c.camera_.enum_device(names);
    c.result("enumeration", found > 0, "%d camera%s attached, this one device %d", found, found == 1 ? "" : "s",
             c.camera_.device_number());
}

void check_rom(Checks& c) {
    char id[17] = "";
    bool read = true;
    for (int32_t i = 0; i < 16 && read; ++i) {
        int32_t ok = 0;
        const int32_t byte = c.camera_.read_srom_id(kRomIdAddress + i, &ok);
        read = ok != 0;
        if (read) id[i] = byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '\0';
    }
    id[16] = '\0';
    c.result("ROM identifier", read, "\"%s\"", id);
}

void check_register(Checks& c) {
    int32_t ok = 0;
    const int32_t before = c.camera_.read_register(kLineLengthRegister, &ok);
    const bool written = ok && c.camera_.write_register(kLineLengthRegister, before);
    int32_t again_ok = 0;
    const int32_t after = written ? c.camera_.read_register(kLineLengthRegister, &again_ok) : 0;
    c.result("sensor register", written && again_ok && after == before, "0x%02X: read 0x%04X, wrote, read 0x%04X",
             kLineLengthRegister, before, after);
}

// Streams colour mode `mode` for kStreamMs into `buffer`; false when it did not start.
bool stream_mode(Checks& c, int32_t mode, uint8_t* buffer, size_t size, ImvelaStreamStats* stats, double* seconds) {
    if (!c.camera_.set_color_mode(kColorModeBits[mode])) return false;
    const auto start = std::chrono::steady_clock::now();
    // Frames go into the buffer as with Imvela_CallBackPreview, but no preview window is made.
    c.camera_.capture_engine().set_callback_target(nullptr, buffer, static_cast<int32_t>(size), 1);
    if (!c.camera_.start_preview()) return false;
    // A bounded wait: the stream runs for its time whatever it delivers.
    std::this_thread::sleep_for(std::chrono::milliseconds(kStreamMs));
    *stats = stats_of(c.camera_);
    *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

void check_streams(Checks& c, uint8_t* buffer, uint8_t* image, size_t capacity) {
    for (int32_t mode = 0; mode < kColorModeCount; ++mode) {
        ImvelaStreamStats s{};
        double seconds = 1;
        const bool started = image_bytes(c.camera_, mode) <= capacity &&
                             stream_mode(c, mode, buffer, image_bytes(c.camera_, mode), &s, &seconds);
        const uint32_t stop_start = platform::tick_count();
        c.camera_.stop_preview();
        const uint32_t stop_ms = platform::tick_count() - stop_start;
        const uint32_t sent = s.frames_delivered + s.frames_skipped;
        const uint32_t faults = s.transfers_failed + s.transfers_short + s.timeouts + s.unplugs;
        char name[40];
        std::snprintf(name, sizeof name, "stream %d-bit", kColorModeBits[mode]);
        if (!started)
            c.result(name, false, "not started: error %d", c.camera_.last_error());
        else
            // One frame is allowed: the first may come while the worker still starts.
            c.result(name, sent > 0 && faults == 0 && s.frames_delivered + 1 >= kDeliveredShare * sent,
                     "%.1f fps delivered of %.1f sent, %u faults", s.frames_delivered / seconds, sent / seconds,
                     faults);
        if (mode == 2) {
            // The last streamed frame in the application's buffer is the library's image of it.
            const size_t bytes = image_bytes(c.camera_, mode);
            const bool same = started && s.frames_delivered > 0 &&
                              c.camera_.get_image(image, static_cast<int32_t>(bytes), 1) &&
                              std::memcmp(buffer, image, bytes) == 0;
            c.result("streamed frame", same, "24-bit frame in the buffer equals the image");
            c.result("stop", started && stop_ms < kStopLimitMs, "stopped in %u ms", stop_ms);
        }
    }
    // A snapshot likewise.
    const size_t bytes = image_bytes(c.camera_, 2);
    const bool snapped = c.camera_.set_color_mode(24) &&
                         c.camera_.snap_shot(buffer, static_cast<int32_t>(bytes), 1) &&
                         c.camera_.get_image(image, static_cast<int32_t>(bytes), 1) &&
                         std::memcmp(buffer, image, bytes) == 0;
    c.result("snapshot", snapped, "24-bit snapshot equals the image");
}

}  // namespace

int32_t check_camera(CImvela& camera, std::string& report) {
    Checks c(camera, report);
    const int32_t mode_before = camera.color_mode();
    check_enumeration(c);
    check_rom(c);
    check_register(c);
    const size_t capacity = image_bytes(camera, kColorModeCount - 1);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
    std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[capacity]);
    if (buffer && image)
        check_streams(c, buffer.get(), image.get(), capacity);
    else
        c.result("streams", false, "no memory for %zu bytes", capacity);
    camera.capture_engine().set_callback_target(nullptr, nullptr, 0, 0);
    camera.set_color_mode(kColorModeBits[mode_before]);
    return c.failures();
}

}  // namespace imvela
