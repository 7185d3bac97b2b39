// CPU time per frame of `imvelasrc ! fakesink` beside the library's own callback path in the
// same run: the emulated camera at 60 frames a second, 1280 x 1024, neutral adjustments, 24
// and 48 bits. Paced at a rate both paths keep up with: an unpaced camera renders frames that
// nobody takes (the emulator's rendering is most of the process's time), and their cost would
// be counted against the path that takes fewer of them.
// Both count the whole process (library workers, the emulated camera, GStreamer's threads)
// from the first frame to the last, so starting and stopping capture is left out.
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "ImvelaSdk.h"

namespace {

constexpr int kFrames = 60;

double process_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void use_emulated_camera() {
    setenv("IMVELA_EMULATOR", "0", 1);
    setenv("IMVELA_EMULATOR_FPS", "60", 1);
    setenv("GST_PLUGIN_PATH", IMVELA_GST_PLUGIN_DIR, 1);
    setenv("GST_REGISTRY", IMVELA_GST_PLUGIN_DIR "/registry.bin", 1);
    gst_init(nullptr, nullptr);
}

void report(benchmark::State& state, double cpu, int64_t frames) {
    state.counters["cpu_ms_per_frame"] = cpu * 1000.0 / static_cast<double>(frames);
}

// The application's way: Imvela_CallBackPreview into one buffer, frames counted off the queue.
void callback_path(benchmark::State& state) {
    use_emulated_camera();
    const int32_t bits = static_cast<int32_t>(state.range(0));
    const int32_t h = Imvela_Initialize(nullptr);
    HWND queue = ImvelaMsg_CreateQueue();
    Imvela_SetColorMode(h, bits);
    Imvela_SetPreviewWindow(h, nullptr, 0, 0, 0, 0);
    std::vector<uint8_t> buffer(static_cast<size_t>(Imvela_Width(h)) * Imvela_Height(h) * bits / 8 + 4096);
    double cpu = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        if (Imvela_CallBackPreview(h, queue, buffer.data(), static_cast<int32_t>(buffer.size()), 0) != 1) {
            state.SkipWithError("capture did not start");
            break;
        }
        ImvelaMsg m;
        double cpu0 = 0;
        for (int n = 0; n < kFrames && ImvelaMsg_Get(queue, 5000, &m);) {
            if (m.message != WM_CAMERA_FRAME || m.wParam == 0) continue;
            if (++n == 1) cpu0 = process_cpu_seconds();
        }
        cpu += process_cpu_seconds() - cpu0;
        frames += kFrames - 1;
        Imvela_StopPreview(h);
    }
    report(state, cpu, frames);
    Imvela_Release(h);
    ImvelaMsg_DestroyQueue(queue);
}

// The element: the same frames pushed through a pipeline.
void element_path(benchmark::State& state) {
    use_emulated_camera();
    const std::string description = "imvelasrc num-buffers=" + std::to_string(kFrames) +
                                    " color-mode=" + std::to_string(state.range(0)) +
                                    " ! fakesink sync=false signal-handoffs=true name=sink";
    double cpu = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        GstElement* pipeline = gst_parse_launch(description.c_str(), nullptr);
        GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
        // CPU time at the first and the last frame, read on the streaming thread.
        double marks[2] = {0, 0};
        int seen = 0;
        struct Marks {
            double* at;
            int* seen;
        } marks_of{marks, &seen};
        g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement*, GstBuffer*, GstPad*, gpointer data) {
                             auto* m = static_cast<Marks*>(data);
                             const int n = ++*m->seen;
                             if (n == 1) m->at[0] = process_cpu_seconds();
                             if (n == kFrames) m->at[1] = process_cpu_seconds();
                         }),
                         &marks_of);
        gst_object_unref(sink);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* m = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                                   static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!m || GST_MESSAGE_TYPE(m) != GST_MESSAGE_EOS) state.SkipWithError("the pipeline did not finish");
        if (m) gst_message_unref(m);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        cpu += marks[1] - marks[0];
        frames += kFrames - 1;
        gst_object_unref(pipeline);
    }
    report(state, cpu, frames);
}

}  // namespace

BENCHMARK(callback_path)->ArgName("bits")->Arg(24)->Arg(48)->Arg(64)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(element_path)->ArgName("bits")->Arg(24)->Arg(48)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
