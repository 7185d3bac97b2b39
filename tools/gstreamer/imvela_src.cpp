// imvelasrc: frames of one camera as raw video, written by the library straight into the
// buffers the element pushes.
//
// Continuous capture names a pool buffer as the library's callback buffer; when its frame
// message comes, the next pool buffer is named and the filled one is pushed. The library
// demosaics a colour frame straight into the named buffer when the adjustments are neutral
// and the rows need no padding; otherwise it copies its own image there. The element itself
// never copies a frame.
#include "imvela_src.h"

#include <gst/video/video.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

#include "ImvelaSdk.h"
#include "camera_failure.h"
#include "color_formats.h"
#include "element_settings.h"
#include "error_text.h"
#include "frame_targets.h"

GST_DEBUG_CATEGORY_STATIC(imvela_src_debug);
#define GST_CAT_DEFAULT imvela_src_debug

namespace {

enum class Trigger { off, software, external };
enum class UnplugAction { error, eos };

// The camera reads out no window narrower than 4 columns.
constexpr int32_t kMinWidth = 4;
constexpr int32_t kMinHeight = 2;
// How often a waiting streaming thread looks whether the pipeline is stopping.
constexpr uint32_t kWakeSliceMs = 20;

enum {
    PROP_0,
    PROP_DEVICE,
    PROP_TRIGGER,
    PROP_UNPLUG_ACTION,
    PROP_FRAMERATE,
    PROP_SETTINGS,
    PROP_TABLE_FIRST,  // the tool's settings from here on
};

// What the streaming thread keeps between frames.
struct Stream {
    const ColorFormat* format = nullptr;
    int32_t width = 0, height = 0;
    gsize frame_size = 0;
    bool capturing = false;
    FrameTargets targets;
    GstBuffer* target = nullptr;  // the buffer the library writes next (continuous, external trigger)
    GstMapInfo target_map{};
    uint64_t frames = 0, next_offset = 0;
    bool first_known = false;
    uint32_t first_sequence = 0;
};

struct State {
    std::mutex lock;  // the properties and the handle
    ElementSettings settings;
    int32_t device = 0;
    Trigger trigger = Trigger::off;
    UnplugAction unplug = UnplugAction::error;
    gint fps_n = 30, fps_d = 1;
    std::atomic<int32_t> handle{0};

    std::mutex wake_lock;  // what unlock and the trigger signal tell the streaming thread
    std::condition_variable wake;
    bool flushing = false;
    int pending_triggers = 0;
    bool in_snapshot = false;
    bool capture_cancelled = false;

    Stream stream;
};

}  // namespace

struct _GstImvelaSrc {
    GstPushSrc parent;
    State* state;
};

G_DEFINE_TYPE(GstImvelaSrc, gst_imvela_src, GST_TYPE_PUSH_SRC)

namespace {

GType trigger_type() {
    static GType type = 0;
    static const GEnumValue values[] = {
        {static_cast<gint>(Trigger::off), "Continuous frames", "off"},
        {static_cast<gint>(Trigger::software), "A frame each time the trigger signal is emitted", "software"},
        {static_cast<gint>(Trigger::external), "A frame at each pulse of the camera's trigger input", "external"},
        {0, nullptr, nullptr}};
    if (g_once_init_enter(&type)) g_once_init_leave(&type, g_enum_register_static("GstImvelaSrcTrigger", values));
    return type;
}

GType unplug_action_type() {
    static GType type = 0;
    static const GEnumValue values[] = {
        {static_cast<gint>(UnplugAction::error), "Post an error message", "error"},
        {static_cast<gint>(UnplugAction::eos), "End the stream (EOS)", "eos"},
        {0, nullptr, nullptr}};
    if (g_once_init_enter(&type)) g_once_init_leave(&type, g_enum_register_static("GstImvelaSrcUnplugAction", values));
    return type;
}

State& state_of(gpointer self) { return *GST_IMVELA_SRC(self)->state; }

GstCaps* template_caps() {
    return gst_caps_from_string("video/x-raw, format = (string) { GRAY8, GRAY16_LE, BGR, BGRx, BGRA64_LE }, "
                                "width = (int) [ 4, 1292 ], height = (int) [ 2, 1040 ], "
                                "framerate = (fraction) [ 0/1, MAX ], pixel-aspect-ratio = (fraction) 1/1");
}

}  // namespace

// GST_ELEMENT_ERROR takes the error code as a token; the library's failure picks it at run time.
static void post_camera_error(GstImvelaSrc* self, const CameraFailure& f) {
    gst_element_message_full(GST_ELEMENT(self), GST_MESSAGE_ERROR, GST_RESOURCE_ERROR, f.kind,
                             g_strdup(f.text.c_str()), nullptr, __FILE__, GST_FUNCTION, __LINE__);
}

static void post_library_failure(GstImvelaSrc* self, int32_t code, const char* doing) {
    State& s = state_of(self);
    post_camera_error(self, describe_camera_failure(s.handle.load(), s.device, code, doing));
}

// ---- properties ----------------------------------------------------------------------------

static void set_property(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    GstImvelaSrc* self = GST_IMVELA_SRC(object);
    State& s = state_of(self);
    std::lock_guard<std::mutex> guard(s.lock);
    switch (id) {
    case PROP_DEVICE: s.device = g_value_get_int(value); return;
    case PROP_TRIGGER: s.trigger = static_cast<Trigger>(g_value_get_enum(value)); return;
    case PROP_UNPLUG_ACTION: s.unplug = static_cast<UnplugAction>(g_value_get_enum(value)); return;
    case PROP_FRAMERATE:
        s.fps_n = gst_value_get_fraction_numerator(value);
        s.fps_d = gst_value_get_fraction_denominator(value);
        return;
    case PROP_SETTINGS: {
        std::string why;
        if (!s.settings.set_settings_text(g_value_get_string(value), &why))
            GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("settings not taken: %s", why.c_str()), (nullptr));
        return;
    }
    default: break;
    }
    if (!ElementSettings::is_table_property(id, PROP_TABLE_FIRST)) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        return;
    }
    int32_t code = 0;
    if (!s.settings.set_property(id - PROP_TABLE_FIRST, value, s.handle.load(), &code))
        GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("%s not taken: %s", pspec->name, describe_error(code).c_str()),
                            (nullptr));
}

static void get_property(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    State& s = state_of(object);
    std::lock_guard<std::mutex> guard(s.lock);
    switch (id) {
    case PROP_DEVICE: g_value_set_int(value, s.device); return;
    case PROP_TRIGGER: g_value_set_enum(value, static_cast<gint>(s.trigger)); return;
    case PROP_UNPLUG_ACTION: g_value_set_enum(value, static_cast<gint>(s.unplug)); return;
    case PROP_FRAMERATE: gst_value_set_fraction(value, s.fps_n, s.fps_d); return;
    case PROP_SETTINGS: g_value_set_string(value, s.settings.settings_text().c_str()); return;
    default: break;
    }
    if (ElementSettings::is_table_property(id, PROP_TABLE_FIRST))
        s.settings.get_property(id - PROP_TABLE_FIRST, value, s.handle.load());
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static gboolean fire_trigger(GstImvelaSrc* self) {
    State& s = state_of(self);
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.trigger != Trigger::software) {
            GST_WARNING_OBJECT(self, "the trigger signal needs trigger=software");
            return FALSE;
        }
    }
    std::lock_guard<std::mutex> wake(s.wake_lock);
    ++s.pending_triggers;
    s.wake.notify_all();
    return TRUE;
}

// ---- start and stop ------------------------------------------------------------------------

static void stop_capture(GstImvelaSrc* self) {
    State& s = state_of(self);
    Stream& st = s.stream;
    // Returns within a second whatever the camera does; afterwards nothing writes the target.
    if (st.capturing) Imvela_StopPreview(s.handle.load());
    st.capturing = false;
    if (st.target) {
        gst_buffer_unmap(st.target, &st.target_map);
        gst_buffer_unref(st.target);
        st.target = nullptr;
    }
}

static gboolean start(GstBaseSrc* base) {
    GstImvelaSrc* self = GST_IMVELA_SRC(base);
    State& s = state_of(self);
    std::lock_guard<std::mutex> guard(s.lock);
    const int32_t h = Imvela_Initialize(nullptr);
    if (h == 0) {
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("the camera library could not make a camera handle"), (nullptr));
        return FALSE;
    }
    // The camera's own settings come with its number; the element's go on top of them.
    int32_t code = 0;
    std::string failed;
    const char* doing = nullptr;
    if (!device_present(h, s.device) || Imvela_SetDeviceNumber(h, s.device) != 1) {
        code = device_present(h, s.device) ? recorded_cause(h) : ERR_DEVICE_UNAVAILABLE;
        doing = "opening";
    } else if (!holder_of(s.device).empty()) {
        // Capture would be refused: said before the pipeline starts.
        code = ERR_DEVICE_UNAVAILABLE;
        doing = "opening";
    } else if (Imvela_SetPreviewWindow(h, nullptr, 0, 0, 0, 0) != 1) {
        code = recorded_cause(h);
        doing = "capturing without a window";
    } else if (!s.settings.apply(h, &failed, &code)) {
        failed = "setting " + failed;
        doing = failed.c_str();
    }
    if (doing) {
        post_camera_error(self, describe_camera_failure(h, s.device, code, doing));
        Imvela_Release(h);
        return FALSE;
    }
    s.handle.store(h);
    {
        std::lock_guard<std::mutex> wake(s.wake_lock);
        s.pending_triggers = 0;
        s.flushing = false;
        s.capture_cancelled = false;
    }
    s.stream.capturing = false;
    return TRUE;
}

static gboolean stop(GstBaseSrc* base) {
    GstImvelaSrc* self = GST_IMVELA_SRC(base);
    State& s = state_of(self);
    stop_capture(self);
    std::lock_guard<std::mutex> guard(s.lock);
    if (const int32_t h = s.handle.exchange(0)) Imvela_Release(h);
    return TRUE;
}

static gboolean unlock(GstBaseSrc* base) {
    State& s = state_of(base);
    std::lock_guard<std::mutex> wake(s.wake_lock);
    s.flushing = true;
    // A snapshot waits for the camera; stopping cancels its transfer at once.
    if (s.in_snapshot) {
        Imvela_StopPreview(s.handle.load());
        s.capture_cancelled = true;
    }
    s.wake.notify_all();
    return TRUE;
}

static gboolean unlock_stop(GstBaseSrc* base) {
    State& s = state_of(base);
    std::lock_guard<std::mutex> wake(s.wake_lock);
    s.flushing = false;
    return TRUE;
}

// ---- caps ----------------------------------------------------------------------------------

static GstCaps* get_caps(GstBaseSrc* base, GstCaps* filter) {
    State& s = state_of(base);
    const int32_t h = s.handle.load();
    GstCaps* caps = nullptr;
    if (h == 0) {
        caps = template_caps();
    } else {
        std::lock_guard<std::mutex> guard(s.lock);
        int32_t window[6] = {};
        const bool fixed_window = s.settings.capture_window(window) || Imvela_GetSubSample(h) != 0;
        const ColorFormat* current = color_format_by_reported(Imvela_GetColorMode(h));
        GValue formats = G_VALUE_INIT;
        g_value_init(&formats, GST_TYPE_LIST);
        append_formats(&formats, s.settings.color_mode(), current ? current->bits : 24);
        GstStructure* st = gst_structure_new_empty("video/x-raw");
        gst_structure_take_value(st, "format", &formats);
        if (fixed_window)
            gst_structure_set(st, "width", G_TYPE_INT, Imvela_Width(h), "height", G_TYPE_INT, Imvela_Height(h), nullptr);
        else
            gst_structure_set(st, "width", GST_TYPE_INT_RANGE, kMinWidth, kSensorWidth, "height", GST_TYPE_INT_RANGE,
                              kMinHeight, kSensorHeight, nullptr);
        // Frames on demand have no rate.
        if (s.trigger == Trigger::off)
            gst_structure_set(st, "framerate", GST_TYPE_FRACTION, s.fps_n, s.fps_d, nullptr);
        else
            gst_structure_set(st, "framerate", GST_TYPE_FRACTION, 0, 1, nullptr);
        gst_structure_set(st, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
        caps = gst_caps_new_full(st, nullptr);
    }
    if (filter) {
        GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
        gst_caps_unref(caps);
        caps = both;
    }
    return caps;
}

static GstCaps* fixate(GstBaseSrc* base, GstCaps* caps) {
    State& s = state_of(base);
    const int32_t h = s.handle.load();
    int32_t total_w = 0, h_start = 0, width = 1280, total_h = 0, v_start = 0, height = 1024;
    if (h) Imvela_GetCaptureWindowEx(h, &total_w, &h_start, &width, &total_h, &v_start, &height);
    caps = gst_caps_make_writable(caps);
    caps = gst_caps_truncate(caps);
    GstStructure* st = gst_caps_get_structure(caps, 0);
    // The camera's own window unless downstream wants another size.
    gst_structure_fixate_field_nearest_int(st, "width", width);
    gst_structure_fixate_field_nearest_int(st, "height", height);
    gst_structure_fixate_field_nearest_fraction(st, "framerate", 30, 1);
    return GST_BASE_SRC_CLASS(gst_imvela_src_parent_class)->fixate(base, caps);
}

static gboolean negotiate(GstBaseSrc* base) {
    GstCaps* offered = gst_pad_query_caps(GST_BASE_SRC_PAD(base), nullptr);
    GstCaps* accepted = gst_pad_peer_query_caps(GST_BASE_SRC_PAD(base), nullptr);
    const bool can = !accepted || gst_caps_can_intersect(offered, accepted);
    if (!can) {
        gchar* a = gst_caps_to_string(offered);
        gchar* b = gst_caps_to_string(accepted);
        GST_ELEMENT_ERROR(base, CORE, NEGOTIATION,
                          ("the camera cannot deliver a format downstream accepts"),
                          ("the camera offers %s; downstream accepts %s", a, b));
        g_free(a);
        g_free(b);
    }
    if (offered) gst_caps_unref(offered);
    if (accepted) gst_caps_unref(accepted);
    return can && GST_BASE_SRC_CLASS(gst_imvela_src_parent_class)->negotiate(base);
}

static gboolean set_caps(GstBaseSrc* base, GstCaps* caps) {
    GstImvelaSrc* self = GST_IMVELA_SRC(base);
    State& s = state_of(self);
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps)) return FALSE;
    stop_capture(self);
    std::lock_guard<std::mutex> guard(s.lock);
    const int32_t h = s.handle.load();
    const ColorFormat* format = color_format_by_video(GST_VIDEO_INFO_FORMAT(&info), s.settings.color_mode());
    if (!format || Imvela_SetColorMode(h, format->camera_bits) != 1) {
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("the camera has no colour mode for %s",
                                                    gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info))),
                          (nullptr));
        return FALSE;
    }
    const int32_t w = GST_VIDEO_INFO_WIDTH(&info), ht = GST_VIDEO_INFO_HEIGHT(&info);
    if (Imvela_Width(h) != w || Imvela_Height(h) != ht) {
        // A window of the negotiated size in the middle of the sensor; even starts keep the
        // colour pattern's phase.
        const int32_t h_start = ((kSensorWidth - w) / 2) & ~1, v_start = ((kSensorHeight - ht) / 2) & ~1;
        recorded_cause(h);
        if (Imvela_SetCaptureWindowEx(h, kSensorWidth, h_start, w, kSensorHeight, v_start, ht) != 1) {
            const int32_t code = recorded_cause(h);
            GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("the camera cannot capture %d x %d pixels", w, ht),
                              ("%s", describe_error(code).c_str()));
            return FALSE;
        }
    }
    Stream& st = s.stream;
    st.format = format;
    st.width = w;
    st.height = ht;
    st.frame_size = static_cast<gsize>(library_stride(format->camera_bits, w)) * static_cast<gsize>(ht);
    return TRUE;
}

static gboolean decide_allocation(GstBaseSrc* base, GstQuery* query) {
    State& s = state_of(base);
    GstCaps* caps = nullptr;
    gst_query_parse_allocation(query, &caps, nullptr);
    // Frames land in the pool's buffers: each one frame of the library's layout (rows of
    // whole pixels rounded up to 4 bytes, top row first), which is GStreamer's own default
    // layout for these formats, so the buffers need no video meta.
    const gsize size = s.stream.frame_size;
    GstBufferPool* pool = gst_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(pool);
    gst_buffer_pool_config_set_params(config, caps, static_cast<guint>(size), 2, 0);
    GstAllocationParams params;
    gst_allocation_params_init(&params);
    params.align = 63;
    gst_buffer_pool_config_set_allocator(config, nullptr, &params);
    if (!gst_buffer_pool_set_config(pool, config)) {
        gst_object_unref(pool);
        return FALSE;
    }
    if (gst_query_get_n_allocation_pools(query) > 0)
        gst_query_set_nth_allocation_pool(query, 0, pool, static_cast<guint>(size), 2, 0);
    else
        gst_query_add_allocation_pool(query, pool, static_cast<guint>(size), 2, 0);
    gst_object_unref(pool);
    return TRUE;
}

static gboolean query(GstBaseSrc* base, GstQuery* q) {
    State& s = state_of(base);
    if (GST_QUERY_TYPE(q) == GST_QUERY_LATENCY && s.handle.load() != 0) {
        std::lock_guard<std::mutex> guard(s.lock);
        // A frame is pushed when it has arrived whole: one frame time behind the exposure.
        const GstClockTime min =
            s.trigger == Trigger::off && s.fps_n > 0 ? gst_util_uint64_scale_int(GST_SECOND, s.fps_d, s.fps_n) : 0;
        gst_query_set_latency(q, TRUE, min, GST_CLOCK_TIME_NONE);
        return TRUE;
    }
    return GST_BASE_SRC_CLASS(gst_imvela_src_parent_class)->query(base, q);
}

// ---- frames --------------------------------------------------------------------------------

static GstFlowReturn acquire(GstImvelaSrc* self, GstBuffer** buffer, GstMapInfo* map) {
    GstBufferPool* pool = gst_base_src_get_buffer_pool(GST_BASE_SRC(self));
    if (!pool) return GST_FLOW_NOT_NEGOTIATED;
    const GstFlowReturn ret = gst_buffer_pool_acquire_buffer(pool, buffer, nullptr);
    gst_object_unref(pool);
    if (ret != GST_FLOW_OK) return ret;
    if (!gst_buffer_map(*buffer, map, GST_MAP_WRITE)) {
        gst_buffer_unref(*buffer);
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

static bool flushing(State& s) {
    std::lock_guard<std::mutex> wake(s.wake_lock);
    return s.flushing;
}

static GstFlowReturn start_capture(GstImvelaSrc* self, Trigger trigger) {
    State& s = state_of(self);
    Stream& st = s.stream;
    const int32_t h = s.handle.load();
    bool started = false;
    recorded_cause(h);
    if (trigger == Trigger::software) {
        started = Imvela_Capture(h) == 1;
    } else {
        const GstFlowReturn ret = acquire(self, &st.target, &st.target_map);
        if (ret != GST_FLOW_OK) return ret;
        started = st.targets.start(h, trigger == Trigger::external, st.target_map.data,
                                   static_cast<int32_t>(st.target_map.size));
        if (!started) {
            gst_buffer_unmap(st.target, &st.target_map);
            gst_buffer_unref(st.target);
            st.target = nullptr;
        }
    }
    if (!started) {
        post_library_failure(self, recorded_cause(h), "starting capture");
        return GST_FLOW_ERROR;
    }
    st.capturing = true;
    st.frames = st.next_offset = 0;
    st.first_known = false;
    return GST_FLOW_OK;
}

// The camera stopped sending: gone (unplugged) or a stream that stopped.
static GstFlowReturn stream_ended(GstImvelaSrc* self, UnplugAction action) {
    State& s = state_of(self);
    const bool gone = camera_gone(s.handle.load(), s.device);
    const std::string text = gone ? "camera " + std::to_string(s.device) + " was unplugged"
                                  : "camera " + std::to_string(s.device) + " stopped sending frames: " +
                                        describe_error(ERR_TIMEOUT);
    if (action == UnplugAction::eos) {
        GST_INFO_OBJECT(self, "%s: end of stream", text.c_str());
        return GST_FLOW_EOS;
    }
    post_camera_error(self, CameraFailure{gone ? GST_RESOURCE_ERROR_NOT_FOUND : GST_RESOURCE_ERROR_READ, text});
    return GST_FLOW_ERROR;
}

static void warn_lost_frame(GstImvelaSrc* self) {
    GST_ELEMENT_WARNING(self, RESOURCE, READ, ("a frame could not be transferred: %s", describe_error(ERR_TRANSFER).c_str()),
                        (nullptr));
}

static void stamp(GstImvelaSrc* self, GstBuffer* buffer, const FrameStamp& stamp, Trigger trigger, gint fps_n, gint fps_d) {
    State& s = state_of(self);
    Stream& st = s.stream;
    uint64_t offset = st.frames;
    if (stamp.has_sequence) {
        if (!st.first_known) {
            st.first_known = true;
            st.first_sequence = stamp.sequence;
        }
        offset = static_cast<uint32_t>(stamp.sequence - st.first_sequence);
    }
    // A frame the camera skipped leaves a gap in the offsets.
    if (st.frames == 0 || offset != st.next_offset) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    GST_BUFFER_OFFSET(buffer) = offset;
    GST_BUFFER_OFFSET_END(buffer) = offset + 1;
    st.next_offset = offset + 1;
    ++st.frames;
    GST_BUFFER_DURATION(buffer) = trigger == Trigger::off && fps_n > 0
                                      ? gst_util_uint64_scale_int(GST_SECOND, fps_d, fps_n)
                                      : GST_CLOCK_TIME_NONE;
    // With do-timestamp the base class stamps the buffer when it is pushed.
    if (gst_base_src_get_do_timestamp(GST_BASE_SRC(self))) return;
    GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
    if (!clock) return;
    // Running time of the arrival: the clock's now, less the frame's age on the monotonic clock.
    const GstClockTime now = gst_clock_get_time(clock);
    const GstClockTime base_time = gst_element_get_base_time(GST_ELEMENT(self));
    gst_object_unref(clock);
    const int64_t age_us = g_get_monotonic_time() - stamp.arrival_us;
    const GstClockTime age = age_us > 0 ? static_cast<GstClockTime>(age_us) * GST_USECOND : 0;
    const GstClockTime running = now > base_time ? now - base_time : 0;
    GST_BUFFER_PTS(buffer) = running > age ? running - age : 0;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
}

// trigger=software: one snapshot per emitted trigger; waiting for one never times out.
static GstFlowReturn create_on_demand(GstImvelaSrc* self, GstBuffer** out, UnplugAction action) {
    State& s = state_of(self);
    const int32_t h = s.handle.load();
    for (;;) {
        {
            std::unique_lock<std::mutex> wake(s.wake_lock);
            s.wake.wait(wake, [&s] { return s.flushing || s.pending_triggers > 0; });
            if (s.flushing) return GST_FLOW_FLUSHING;
            --s.pending_triggers;
            s.in_snapshot = true;
        }
        GstBuffer* buffer = nullptr;
        GstMapInfo map;
        GstFlowReturn ret = acquire(self, &buffer, &map);
        bool taken = false;
        recorded_cause(h);
        if (ret == GST_FLOW_OK) taken = Imvela_SnapShot(h, map.data, static_cast<int32_t>(map.size), 0) == 1;
        bool cancelled = false;
        {
            std::lock_guard<std::mutex> wake(s.wake_lock);
            s.in_snapshot = false;
            cancelled = s.capture_cancelled;
            s.capture_cancelled = false;
        }
        if (ret != GST_FLOW_OK) return ret;
        gst_buffer_unmap(buffer, &map);
        if (cancelled) {
            // Stopping cancelled the snapshot and left capture mode: armed again next time.
            s.stream.capturing = false;
            gst_buffer_unref(buffer);
            return GST_FLOW_FLUSHING;
        }
        if (taken) {
            stamp(self, buffer, read_frame_stamp(h), Trigger::software, 0, 1);
            *out = buffer;
            return GST_FLOW_OK;
        }
        gst_buffer_unref(buffer);
        const int32_t code = recorded_cause(h);
        if (camera_gone(h, s.device)) return stream_ended(self, action);
        if (code != ERR_TRANSFER) {
            post_library_failure(self, code, "taking a frame");
            return GST_FLOW_ERROR;
        }
        warn_lost_frame(self);
    }
}

static GstFlowReturn create(GstPushSrc* push, GstBuffer** out) {
    GstImvelaSrc* self = GST_IMVELA_SRC(push);
    State& s = state_of(self);
    Stream& st = s.stream;
    Trigger trigger;
    UnplugAction action;
    gint fps_n, fps_d;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        trigger = s.trigger;
        action = s.unplug;
        fps_n = s.fps_n;
        fps_d = s.fps_d;
    }
    if (!st.capturing) {
        const GstFlowReturn ret = start_capture(self, trigger);
        if (ret != GST_FLOW_OK) return ret;
    }
    if (trigger == Trigger::software) return create_on_demand(self, out, action);

    for (;;) {
        if (flushing(s)) return GST_FLOW_FLUSHING;
        switch (st.targets.wait(kWakeSliceMs)) {
        case FrameTargets::Event::none: continue;
        case FrameTargets::Event::transfer_failed: warn_lost_frame(self); continue;
        case FrameTargets::Event::stream_stopped: return stream_ended(self, action);
        case FrameTargets::Event::buffer_too_small:
            post_library_failure(self, ERR_BUFFER, "delivering a frame");
            return GST_FLOW_ERROR;
        case FrameTargets::Event::frame: break;
        }
        GstBuffer* next = nullptr;
        GstMapInfo next_map;
        const GstFlowReturn ret = acquire(self, &next, &next_map);
        if (ret != GST_FLOW_OK) return ret;
        recorded_cause(s.handle.load());
        if (!st.targets.retarget(next_map.data, static_cast<int32_t>(next_map.size))) {
            gst_buffer_unmap(next, &next_map);
            gst_buffer_unref(next);
            post_library_failure(self, recorded_cause(s.handle.load()), "naming the next frame buffer");
            return GST_FLOW_ERROR;
        }
        GstBuffer* filled = st.target;
        gst_buffer_unmap(filled, &st.target_map);
        st.target = next;
        st.target_map = next_map;
        stamp(self, filled, st.targets.stamp(), trigger, fps_n, fps_d);
        *out = filled;
        return GST_FLOW_OK;
    }
}

// ---- type ----------------------------------------------------------------------------------

static void finalize(GObject* object) {
    delete GST_IMVELA_SRC(object)->state;
    G_OBJECT_CLASS(gst_imvela_src_parent_class)->finalize(object);
}

static void gst_imvela_src_init(GstImvelaSrc* self) {
    self->state = new State();
    gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

static void gst_imvela_src_class_init(GstImvelaSrcClass* klass) {
    GST_DEBUG_CATEGORY_INIT(imvela_src_debug, "imvelasrc", 0, "M52-ZKR camera source");
    GObjectClass* object = G_OBJECT_CLASS(klass);
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
    object->set_property = set_property;
    object->get_property = get_property;
    object->finalize = finalize;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(object, PROP_DEVICE,
                                    g_param_spec_int("device", "Device", "Camera number, as the library numbers them",
                                                     0, G_MAXINT, 0, flags));
    g_object_class_install_property(
        object, PROP_TRIGGER,
        g_param_spec_enum("trigger", "Trigger",
                          "off: continuous frames; software: a frame each time the trigger action signal is "
                          "emitted; external: a frame at each pulse of the camera's trigger input. Triggered "
                          "frames have framerate 0/1 and no duration, and waiting for a trigger never times out",
                          trigger_type(), static_cast<gint>(Trigger::off), flags));
    g_object_class_install_property(
        object, PROP_UNPLUG_ACTION,
        g_param_spec_enum("unplug-action", "Unplug action",
                          "What a camera that goes away (or stops sending frames for 6 s) does to the stream",
                          unplug_action_type(), static_cast<gint>(UnplugAction::error), flags));
    g_object_class_install_property(
        object, PROP_FRAMERATE,
        gst_param_spec_fraction("framerate", "Frame rate",
                                "The rate the caps and buffer durations state in continuous capture (the camera's "
                                "pace follows its exposure and clock; timestamps are the frames' arrival)",
                                1, 1, G_MAXINT, 1, 30, 1, flags));
    g_object_class_install_property(
        object, PROP_SETTINGS,
        g_param_spec_string("settings", "Settings",
                            "Camera settings as name=value pairs by the names of the properties below (the "
                            "imvela tool's names), separated by spaces or semicolons; the capture window's six "
                            "numbers separated by commas, e.g. \"gamma=120 exposure-us=15000 "
                            "capture-window=1292,6,640,1040,8,480\"",
                            "", flags));
    ElementSettings::install_properties(object, PROP_TABLE_FIRST);

    g_signal_new_class_handler("trigger", G_TYPE_FROM_CLASS(klass),
                               static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                               G_CALLBACK(fire_trigger), nullptr, nullptr, nullptr, G_TYPE_BOOLEAN, 0);

    gst_element_class_set_static_metadata(
        element, "Imvela M52-ZKR camera source", "Source/Video/Hardware",
        "Frames of an M52-ZKR USB camera as raw video: GRAY8 and GRAY16_LE (the camera's 8- and "
        "16-bit modes), BGR, BGRx, and BGRA64_LE for the 48- and 64-bit modes (GStreamer has no packed "
        "16-bit BGR format; the fourth word is 0). 16-bit samples carry the sensor's 12 significant bits "
        "in the low bits of each little-endian word (0 to 4095), so a full-range reader sees them 16 times "
        "darker. Size from the capture window, or negotiated (a window of that size centred on the "
        "sensor). The action signal \"trigger\" fires the software trigger.",
        "Imvela SDK");
    GstCaps* caps = template_caps();
    gst_element_class_add_pad_template(element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);

    base->start = start;
    base->stop = stop;
    base->unlock = unlock;
    base->unlock_stop = unlock_stop;
    base->get_caps = get_caps;
    base->fixate = fixate;
    base->negotiate = negotiate;
    base->set_caps = set_caps;
    base->decide_allocation = decide_allocation;
    base->query = query;
    GST_PUSH_SRC_CLASS(klass)->create = create;
}
