// Painting a 1280 x 1024 frame into a preview window (needs a display, e.g. Xvfb), the way
// each processed frame is painted: the direct copy when the client area has the picture's
// size, and the scaled path through the display buffer at half size, for the gray and the
// colour display. A frame of the emulated camera at 30 fps leaves 33 ms for the pipeline and
// the painting together.
#include <benchmark/benchmark.h>

#include <memory>

#include "preview/preview_picture.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "platform/preview_surface.h"

using namespace imvela;

namespace {

constexpr int32_t kWidth = 1280, kHeight = 1024;

void paint_frame(benchmark::State& state) {
    const int32_t bits = static_cast<int32_t>(state.range(0));
    const int32_t divisor = static_cast<int32_t>(state.range(1));
    CImageBuffer source, display;
    source.Create(kWidth, kHeight, bits);
    for (size_t i = 0; i < source.size_bytes(); ++i) source.bits()[i] = static_cast<uint8_t>(i * 7);
    platform::PreviewPlacement placement;
    placement.width = kWidth / divisor;
    placement.height = kHeight / divisor;
    placement.class_name = "VideoRenderer_bench";
    std::unique_ptr<platform::PreviewSurface> window = platform::open_preview_surface(placement);
    int32_t width = 0, height = 0;
    if (!window || !window->drawable_size(width, height)) {
        state.SkipWithError("no display for the preview window");
        return;
    }
    for (auto _ : state) {
        window->drawable_size(width, height);
        if (divisor == 1) {
            window->show_top_down(preview_picture(source));
        } else {
            if (display.width() != width || display.height() != height) display.Create(width, height, bits);
            display.ApplyScaled(bits == 8 ? ScaleFlip8 : ScaleFlip24, source, nullptr, nullptr);
            window->show_bottom_up(preview_picture(display));
        }
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

// Arguments: bits per pixel of the picture (8 gray, 24 colour), size divisor (1: the
// picture's own size, 2: half).
BENCHMARK(paint_frame)->ArgNames({"bits", "divisor"})->Args({24, 1})->Args({24, 2})->Args({8, 1})->Args({8, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
