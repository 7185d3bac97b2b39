// Painting a 1280 x 1024 frame into the preview window (needs a display, e.g. Xvfb): the
// direct copy when the client area has the picture's size, and the scaled path through the
// display buffer at half size, for the gray and the colour modes. A frame of the emulated
// camera at 30 fps leaves 33 ms for the whole pipeline and the painting.
#include <benchmark/benchmark.h>

#include <cstring>

#include "support/screen_probe.h"
#include "tests/unit/preview_test_access.h"

using namespace imvela;

namespace {

constexpr int32_t kWidth = 1280, kHeight = 1024;

void paint_preview(benchmark::State& state) {
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const int32_t divisor = static_cast<int32_t>(state.range(1));
    CImvela camera;
    CImvelaTestAccess::preview_setup(camera, kWidth, kHeight, mode);
    CImageBuffer& source = CImvelaTestAccess::preview_buffer(camera, mode == 0 ? kRaw8 : kColor24);
    source.Create(kWidth, kHeight, mode == 0 ? 8 : 24);
    for (size_t i = 0; i < source.size_bytes(); ++i) source.bits()[i] = static_cast<uint8_t>(i * 7);
    if (!CImvelaTestAccess::preview_create(camera)) {
        state.SkipWithError("no display for the preview window");
        return;
    }
    resize_window_client(CImvelaTestAccess::preview_native(camera), kWidth / divisor, kHeight / divisor);
    for (auto _ : state) CImvelaTestAccess::preview_paint(camera);
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

// Arguments: colour mode (0 gray, 2 colour), size divisor (1: the picture's size, 2: half).
BENCHMARK(paint_preview)->ArgNames({"mode", "divisor"})->Args({2, 1})->Args({2, 2})->Args({0, 1})->Args({0, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
