// Frames delivered per second by the emulated camera at 30 fps while the preview window is
// painted at the image's size, beside the same capture without a window: painting must not
// lower the rate. (Native only: counts WM_CAMERA_FRAME on a message queue.)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include "ImvelaSdk.h"

namespace {

void preview_frame_rate(benchmark::State& state) {
    const bool withWindow = state.range(0) != 0;
    setenv("IMVELA_EMULATOR", "0", 1);
    setenv("IMVELA_EMULATOR_FPS", "30", 1);
    const int32_t handle = Imvela_Initialize(nullptr);
    HWND queue = ImvelaMsg_CreateQueue();
    if (!handle || !queue) {
        state.SkipWithError("no camera");
        return;
    }
    Imvela_SetColorMode(handle, 24);
    if (!withWindow) Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    for (auto _ : state) {
        if (!Imvela_CallBackPreview(handle, queue, nullptr, 0, 0)) {
            state.SkipWithError("preview did not start");
            break;
        }
        ImvelaMsg m;
        while (ImvelaMsg_Get(queue, 2000, &m) && !(m.message == 0x8002 && m.wParam)) {
        }
        int frames = 0;
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end)
            if (ImvelaMsg_Get(queue, 50, &m) && m.message == 0x8002 && m.wParam) ++frames;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["delivered_fps"] = frames / seconds;
        Imvela_Close(handle);
    }
    Imvela_Release(handle);
    ImvelaMsg_DestroyQueue(queue);
}
}  // namespace

BENCHMARK(preview_frame_rate)->ArgNames({"window"})->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
