// imvelasrc in GStreamer pipelines on the emulated camera, read back by GStreamer's own
// elements and by ffprobe.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/wait.h"

namespace {

using Bytes = std::vector<uint8_t>;

// GStreamer with the plugin of this build and only the system plugins the tests use, so the
// registry is made quickly and in this process (as the sanitizers need).
void start_gstreamer() {
    static bool started = false;
    if (started) return;
    started = true;
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / unique_test_name();
    fs::create_directories(dir);
    for (const char* p : {"coreelements", "app", "videoconvertscale", "x264", "isomp4", "rtp", "udp"})
        fs::create_symlink(std::string(IMVELA_GST_SYSTEM_PLUGINS "/libgst") + p + ".so", dir / ("libgst" + std::string(p) + ".so"));
    fs::copy_file(IMVELA_GST_PLUGIN, dir / "libgstimvela.so");
    set_test_environment("GST_PLUGIN_SYSTEM_PATH", dir.c_str());
    set_test_environment("GST_PLUGIN_PATH", nullptr);
    set_test_environment("GST_REGISTRY", (dir / "registry.bin").c_str());
    set_test_environment("GST_REGISTRY_FORK", "no");
    gst_init(nullptr, nullptr);
    fs::remove_all(dir);  // the plugins are loaded; the folder is not needed again
}

struct Pipeline {
    GstElement* bin = nullptr;
    explicit Pipeline(const std::string& description) {
        start_gstreamer();
        GError* error = nullptr;
        bin = gst_parse_launch(description.c_str(), &error);
        EXPECT_EQ(error, nullptr) << description << ": " << (error ? error->message : "");
        if (error) g_error_free(error);
    }
    ~Pipeline() {
        if (!bin) return;
        gst_element_set_state(bin, GST_STATE_NULL);
        gst_object_unref(bin);
    }
    bool play() { return bin && gst_element_set_state(bin, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE; }
    GstElement* element(const char* name) {
        GstElement* e = gst_bin_get_by_name(GST_BIN(bin), name);
        gst_object_unref(e);  // the pipeline keeps it
        return e;
    }
    // The next error, warning or end of stream within `limit_ms`; null when none came.
    GstMessage* next_message(int limit_ms) {
        GstBus* bus = gst_element_get_bus(bin);
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, static_cast<GstClockTime>(limit_ms) * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_WARNING | GST_MESSAGE_EOS));
        gst_object_unref(bus);
        return m;
    }
    // The next frame of appsink `out`, empty at the end of the stream or after `limit_ms`.
    Bytes pull(int limit_ms = kWaitLimitMs, GstCaps** caps = nullptr) {
        GstSample* sample = nullptr;
        g_signal_emit_by_name(element("out"), "try-pull-sample", static_cast<GstClockTime>(limit_ms) * GST_MSECOND, &sample);
        if (!sample) return {};
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        Bytes bytes(map.data, map.data + map.size);
        gst_buffer_unmap(buffer, &map);
        if (caps) *caps = gst_caps_ref(gst_sample_get_caps(sample));
        gst_sample_unref(sample);
        return bytes;
    }
};

std::string message_text(GstMessage* m) {
    GError* error = nullptr;
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) gst_message_parse_error(m, &error, nullptr);
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_WARNING) gst_message_parse_warning(m, &error, nullptr);
    const std::string text = error ? error->message : GST_MESSAGE_TYPE_NAME(m);
    if (error) g_error_free(error);
    return text;
}

// A small window keeps the tests quick, also under the sanitizers.
const std::string kWindow = "capture-window=1292,486,320,1040,400,240";

// The frame Imvela_SnapShot gives in that colour mode (in kWindow when `windowed`), top row first.
Bytes snapshot(int32_t bits, bool windowed = true) {
    const int32_t h = Imvela_Initialize(nullptr);
    Imvela_SetColorMode(h, bits);
    if (windowed) Imvela_SetCaptureWindowEx(h, 1292, 486, 320, 1040, 400, 240);
    Bytes image(static_cast<size_t>(Imvela_Width(h)) * Imvela_Height(h) * 8 + 4096);
    EXPECT_EQ(Imvela_SnapShot(h, image.data(), static_cast<int32_t>(image.size()), 0), 1);
    image.resize(static_cast<size_t>(((bits / 8) * Imvela_Width(h) + 3) & ~3) * Imvela_Height(h));
    Imvela_Release(h);
    return image;
}

// The 48-bit mode arrives as BGRA64_LE: its blue, green and red words with a fourth word.
Bytes widen_48_to_64(const Bytes& bgr48) {
    Bytes out;
    for (size_t i = 0; i + 6 <= bgr48.size(); i += 6) {
        out.insert(out.end(), bgr48.begin() + i, bgr48.begin() + i + 6);
        out.insert(out.end(), {0, 0});
    }
    return out;
}

struct EmulatedRamp : ::testing::Test {
    ScopedEnvironment scene{"IMVELA_EMULATOR_SCENE", "ramp"};
};

struct ModeCase {
    int bits;
    const char* format;
};

TEST_F(EmulatedRamp, EveryColourModeGivesSixtyFramesOfTheSnapshotsPixels) {
    ScopedEnvironment unpaced("IMVELA_EMULATOR_FPS", "0");
    for (const ModeCase& c : {ModeCase{8, "GRAY8"}, ModeCase{16, "GRAY16_LE"}, ModeCase{24, "BGR"},
                              ModeCase{32, "BGRx"}, ModeCase{48, "BGRA64_LE"}, ModeCase{64, "BGRA64_LE"}}) {
        SCOPED_TRACE(c.bits);
        const Bytes expected = c.bits == 48 ? widen_48_to_64(snapshot(48)) : snapshot(c.bits);
        Pipeline p("imvelasrc num-buffers=60 " + kWindow + " wait-time=1 color-mode=" + std::to_string(c.bits) +
                   " ! appsink name=out sync=false");
        ASSERT_TRUE(p.play());
        int frames = 0, equal = 0;
        GstCaps* caps = nullptr;
        for (Bytes frame = p.pull(kWaitLimitMs, &caps); !frame.empty(); frame = p.pull()) {
            ++frames;
            equal += frame == expected;
        }
        EXPECT_EQ(frames, 60);
        EXPECT_EQ(equal, 60);
        ASSERT_NE(caps, nullptr);
        EXPECT_STREQ(gst_structure_get_string(gst_caps_get_structure(caps, 0), "format"), c.format);
        gst_caps_unref(caps);
    }
}

TEST_F(EmulatedRamp, RecordsH264InMp4ThatFfprobeCounts) {
    const std::string file = (std::filesystem::temp_directory_path() / (unique_test_name() + ".mp4")).string();
    {
        Pipeline p("imvelasrc num-buffers=60 ! video/x-raw,width=320,height=240 ! videoconvert ! "
                   "x264enc speed-preset=ultrafast ! mp4mux ! filesink location=" + file);
        ASSERT_TRUE(p.play());
        GstMessage* m = p.next_message(kWaitLimitMs);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(GST_MESSAGE_TYPE(m), GST_MESSAGE_EOS) << message_text(m);
        gst_message_unref(m);
    }
    const std::string probe = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                              "stream=codec_name,nb_read_frames,avg_frame_rate -of csv=p=0 " + file;
    FILE* out = popen(probe.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char codec[16] = {};
    double num = 0, den = 0;
    int frames = 0;
    EXPECT_EQ(std::fscanf(out, "%15[^,],%lf/%lf,%d", codec, &num, &den, &frames), 4);
    pclose(out);
    std::filesystem::remove(file);
    EXPECT_STREQ(codec, "h264");
    EXPECT_EQ(frames, 60);
    // Timestamps are the frames' arrival at the emulated camera's 30 per second; a loaded
    // machine may make the library skip a frame now and then, never add one.
    EXPECT_GT(num, 20 * den);
    EXPECT_LT(num, 31 * den);
}

TEST_F(EmulatedRamp, RawVideoOverRtpOnLoopbackArrivesWhole) {
    // The receiver takes a free port; the sender sends there.
    Pipeline receiver("udpsrc port=0 address=127.0.0.1 buffer-size=4000000 caps=\"application/x-rtp, media=video, "
                      "clock-rate=90000, encoding-name=RAW, sampling=BGR, depth=(string)8, width=(string)160, "
                      "height=(string)120, colorimetry=(string)SMPTE240M\" name=in ! rtpvrawdepay ! "
                      "appsink name=out sync=false");
    ASSERT_EQ(gst_element_set_state(receiver.bin, GST_STATE_PAUSED), GST_STATE_CHANGE_NO_PREROLL);
    int port = 0;
    g_object_get(receiver.element("in"), "port", &port, nullptr);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(receiver.play());
    Pipeline sender("imvelasrc num-buffers=30 ! video/x-raw,format=BGR,width=160,height=120 ! tee name=t ! queue ! "
                    "rtpvrawpay ! udpsink host=127.0.0.1 port=" + std::to_string(port) +
                    " t. ! queue ! appsink name=out sync=false");
    ASSERT_TRUE(sender.play());
    std::vector<Bytes> sent, received;
    for (Bytes f = sender.pull(); !f.empty(); f = sender.pull()) sent.push_back(f);
    // The last packet left the sender; whatever is still on its way arrives well within a second.
    for (Bytes f = receiver.pull(); !f.empty(); f = receiver.pull(1000)) received.push_back(f);
    ASSERT_EQ(sent.size(), 30u);
    EXPECT_EQ(received, sent);
}

TEST_F(EmulatedRamp, SoftwareTriggersGiveOneFrameEachAndWaitingIsNoError) {
    Pipeline p("imvelasrc trigger=software name=src ! appsink name=out sync=false");
    ASSERT_TRUE(p.play());
    gboolean fired = FALSE;
    for (int i = 0; i < 5; ++i) g_signal_emit_by_name(p.element("src"), "trigger", &fired);
    EXPECT_TRUE(fired);
    const Bytes expected = snapshot(24, false);
    int frames = 0;
    for (Bytes f = p.pull(); !f.empty(); f = p.pull(500)) frames += f == expected;
    EXPECT_EQ(frames, 5);
    // Longer than the library's 6 s stream timeout: a stream waiting for triggers has none.
    GstMessage* m = p.next_message(6500);
    EXPECT_EQ(m, nullptr) << message_text(m);
    g_signal_emit_by_name(p.element("src"), "trigger", &fired);
    EXPECT_EQ(p.pull(), expected);
}

TEST_F(EmulatedRamp, ExternalTriggerPulsesGiveOneFrameEach) {
    Pipeline p("imvelasrc trigger=external ! appsink name=out sync=false");
    ASSERT_TRUE(p.play());
    int frames = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(wait_until([] { return ImvelaEmu_Trigger(0) == 1; }));
        frames += !p.pull().empty();
    }
    EXPECT_EQ(frames, 3);
    EXPECT_TRUE(p.pull(300).empty());
}

struct FaultCase {
    const char* element;
    int fault;
    GstMessageType expected;
    GstResourceError kind;  // of an error or warning
};

TEST_F(EmulatedRamp, CameraFaultsBecomeErrorsWarningsOrTheEndOfTheStream) {
    for (const FaultCase& c :
         {FaultCase{"imvelasrc", IMVELA_EMU_FAULT_UNPLUG, GST_MESSAGE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND},
          FaultCase{"imvelasrc unplug-action=eos", IMVELA_EMU_FAULT_UNPLUG, GST_MESSAGE_EOS, GST_RESOURCE_ERROR_FAILED},
          FaultCase{"imvelasrc trigger=external", IMVELA_EMU_FAULT_FAILED_REQUEST, GST_MESSAGE_WARNING,
                    GST_RESOURCE_ERROR_READ}}) {
        SCOPED_TRACE(c.element);
        // Frames not pulled must not hold the end of the stream back.
        Pipeline p(std::string(c.element) + " ! appsink name=out sync=false wait-on-eos=false");
        ASSERT_TRUE(p.play());
        const bool triggered = c.expected == GST_MESSAGE_WARNING;
        ASSERT_TRUE(triggered || !p.pull().empty());
        ASSERT_EQ(ImvelaEmu_InjectFault(0, c.fault, 1), 1);
        ASSERT_TRUE(!triggered || wait_until([] { return ImvelaEmu_Trigger(0) == 1; }));
        GstMessage* m = p.next_message(kWaitLimitMs);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(GST_MESSAGE_TYPE(m), c.expected) << message_text(m);
        GError* error = nullptr;
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) gst_message_parse_error(m, &error, nullptr);
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_WARNING) gst_message_parse_warning(m, &error, nullptr);
        if (error) {
            EXPECT_TRUE(g_error_matches(error, GST_RESOURCE_ERROR, c.kind)) << error->message;
            g_error_free(error);
        }
        gst_message_unref(m);
        ImvelaEmu_InjectFault(0, c.fault, 0);
        ImvelaEmu_Replug(0);
    }
}

TEST_F(EmulatedRamp, ASecondPipelineOnTheHeldCameraFailsAsBusy) {
    Pipeline holder("imvelasrc ! appsink name=out sync=false");
    ASSERT_TRUE(holder.play());
    ASSERT_FALSE(holder.pull().empty());
    Pipeline second("imvelasrc ! fakesink");
    EXPECT_FALSE(second.play());
    GstMessage* m = second.next_message(kWaitLimitMs);
    ASSERT_NE(m, nullptr);
    GError* error = nullptr;
    gst_message_parse_error(m, &error, nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(g_error_matches(error, GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_BUSY)) << error->message;
    EXPECT_NE(std::strstr(error->message, "error 2 ERR_DEVICE_UNAVAILABLE"), nullptr) << error->message;
    // The holder is this test program.
    EXPECT_NE(std::strstr(error->message, "(imvela_gstreamer_tests)"), nullptr) << error->message;
    g_error_free(error);
    gst_message_unref(m);
}

}  // namespace
