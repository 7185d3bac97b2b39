// Still images of a 1280 x 1024 frame at 24 and 16 bits: the library's still writer
// (BM_StillWriter: conversion, encoding, the file written beside the target and moved onto
// it) beside the bare encoder called directly on input already in the form it takes, writing
// with stdio (BM_BareEncoder); the difference is the library's overhead. BM_FrameLockHold is
// what a save does under the frame lock (lock, one copy of the frame). BM_FrameRateDuringSaves
// streams the emulated camera at 30 fps while another thread saves stills back to back.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "ImvelaSdk.h"
#include "files/still_writer.h"
#include "emulator/emulated_driver.h"
#include "imaging/image_buffer.h"

using namespace imvela;

namespace {

constexpr int32_t kWidth = 1280, kHeight = 1024;

std::string scratch(const char* name) {
    return std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/imvela-bench-" + name;
}

// A camera-like picture: smooth shading with a little noise; 16-bit samples carry 12 bits.
const CImageBuffer& frame(int32_t bits) {
    static CImageBuffer frames[2];
    CImageBuffer& f = frames[bits == 16];
    if (!f.has_pixels()) {
        f.Create(kWidth, kHeight, bits);
        std::mt19937 noise(7);
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                uint8_t* p = f.bits() + y * f.stride() + x * f.bytes_per_pixel();
                if (bits == 16) {
                    const uint16_t v = static_cast<uint16_t>((x * 3 + y * 2 + noise() % 16) & 0xFFF);
                    std::memcpy(p, &v, 2);
                } else {
                    for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((x / (c + 2) + y / (3 - c) + noise() % 4) & 0xFF);
                }
            }
    }
    return f;
}

const char* const kTypeNames[] = {"bmp", "raw", "jpeg100", "jpeg70", "jpeg20", "png", "tiff"};

void BM_StillWriter(benchmark::State& state) {
    const int32_t type = static_cast<int32_t>(state.range(0)), bits = static_cast<int32_t>(state.range(1));
    const CImageBuffer& image = frame(bits);
    const std::string path = scratch("still");
    for (auto _ : state)
        if (!write_still(path.c_str(), image, type, 12)) state.SkipWithError("save failed");
    state.SetLabel(kTypeNames[type]);
}

// ---- the bare encoders, on input prepared outside the timed loop ---------------------------

// Rows in the form each encoder takes: 8-bit gray or R, G, B for JPEG and TIFF; for PNG the
// 16-bit samples widened and big-endian, colour as B, G, R with the library told so.
struct Prepared {
    std::vector<uint8_t> pixels;
    int32_t rowBytes = 0;
    const uint8_t* row(int32_t y) const { return pixels.data() + static_cast<size_t>(y) * rowBytes; }
};

Prepared prepare(const CImageBuffer& image, int32_t type) {
    Prepared p;
    const bool gray16 = image.bits_per_pixel() == 16;
    const bool jpeg = type >= 2 && type <= 4;
    p.rowBytes = gray16 ? (jpeg ? kWidth : 2 * kWidth) : 3 * kWidth;
    p.pixels.resize(static_cast<size_t>(p.rowBytes) * kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        const uint8_t* in = image.bits() + y * image.stride();
        uint8_t* out = p.pixels.data() + static_cast<size_t>(y) * p.rowBytes;
        for (int32_t x = 0; x < kWidth; ++x) {
            if (gray16) {
                uint16_t v;
                std::memcpy(&v, in + 2 * x, 2);
                if (jpeg) out[x] = static_cast<uint8_t>(v >> 4);
                else if (type == 5) out[2 * x] = static_cast<uint8_t>(v >> 4), out[2 * x + 1] = static_cast<uint8_t>(v << 4);
                else v = static_cast<uint16_t>(v << 4), std::memcpy(out + 2 * x, &v, 2);
            } else {
                const bool swap = type != 5 && !jpeg;  // TIFF wants red first
                out[3 * x] = in[3 * x + (swap ? 2 : 0)], out[3 * x + 1] = in[3 * x + 1], out[3 * x + 2] = in[3 * x + (swap ? 0 : 2)];
            }
        }
    }
    return p;
}

void bare_jpeg(FILE* f, const Prepared& p, bool gray, int quality) {
    jpeg_compress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = kWidth, c.image_height = kHeight;
    c.input_components = gray ? 1 : 3;
    c.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (int32_t y = 0; y < kHeight; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(p.row(y));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
}

void bare_png(FILE* f, const Prepared& p, bool gray) {
    png_structp png = png_create_write_struct(png_get_libpng_ver(nullptr), nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, kWidth, kHeight, gray ? 16 : 8, gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (!gray) png_set_bgr(png);
    for (int32_t y = 0; y < kHeight; ++y) png_write_row(png, p.row(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
}

void bare_tiff(const std::string& path, const Prepared& p, bool gray) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth), TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE), TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, gray ? 16 : 8);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, gray ? 1 : 3), TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, kHeight);
    TIFFWriteEncodedStrip(t, 0, const_cast<uint8_t*>(p.row(0)), static_cast<tmsize_t>(p.pixels.size()));
    TIFFClose(t);
}

void BM_BareEncoder(benchmark::State& state) {
    const int32_t type = static_cast<int32_t>(state.range(0)), bits = static_cast<int32_t>(state.range(1));
    const CImageBuffer& image = frame(bits);
    const Prepared p = prepare(image, type);
    const std::string path = scratch("bare");
    const bool gray = bits == 16;
    for (auto _ : state) {
        if (type == 6) {
            bare_tiff(path, p, gray);
            continue;
        }
        FILE* f = std::fopen(path.c_str(), "wb");
        if (type == 0) {  // header, then the rows bottom-up
            const uint8_t head[54] = {'B', 'M'};
            std::fwrite(head, 1, sizeof head, f);
            for (int32_t y = kHeight - 1; y >= 0; --y) std::fwrite(image.bits() + y * image.stride(), 1, image.stride(), f);
        } else if (type == 1) {
            std::fwrite(image.bits(), 1, image.size_bytes(), f);
        } else if (type == 5) {
            bare_png(f, p, gray);
        } else {
            bare_jpeg(f, p, gray, type == 2 ? 100 : type == 3 ? 70 : 20);
        }
        std::fclose(f);
    }
    state.SetLabel(kTypeNames[type]);
}

void still_arguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"type", "bits"})->Unit(benchmark::kMillisecond);
    for (int bits : {24, 16})
        for (int type = 0; type <= 6; ++type) b->Args({type, bits});
}

// ---- the frame lock --------------------------------------------------------------------------

void BM_FrameLockHold(benchmark::State& state) {
    const CImageBuffer& image = frame(static_cast<int32_t>(state.range(0)));
    CImageBuffer copy;
    copy.Create(image.width(), image.height(), image.bits_per_pixel());
    std::mutex frameLock;
    for (auto _ : state) {
        std::lock_guard<std::mutex> held(frameLock);
        std::memcpy(copy.bits(), image.bits(), image.size_bytes());
        benchmark::ClobberMemory();
    }
}

// ---- capture while saving --------------------------------------------------------------------

void BM_FrameRateDuringSaves(benchmark::State& state) {
    const bool saving = state.range(0) != 0;
    emulator::emulated_driver().release_settings();
    setenv("IMVELA_EMULATOR", "0", 1);
    setenv("IMVELA_EMULATOR_FPS", "30", 1);
    const int32_t handle = Imvela_Initialize(nullptr);
    HWND queue = ImvelaMsg_CreateQueue();
    std::vector<uint8_t> buffer(static_cast<size_t>(kWidth) * kHeight * 3);
    Imvela_SetColorMode(handle, 24);
    Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    for (auto _ : state) {
        if (!handle || !queue || !Imvela_CallBackPreview(handle, queue, buffer.data(), static_cast<int32_t>(buffer.size()), 0)) {
            state.SkipWithError("preview did not start");
            break;
        }
        ImvelaMsg m;
        while (ImvelaMsg_Get(queue, 2000, &m) && !(m.message == WM_CAMERA_FRAME && m.wParam)) {
        }
        std::atomic<bool> run{true};
        int saves = 0;
        std::thread saver([&] {
            const std::string path = scratch("burst");
            for (int type = 0; saving && run; type = (type + 1) % 7) saves += Imvela_SaveImage(handle, path.c_str(), type);
        });
        int frames = 0;
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < start + std::chrono::seconds(3))
            if (ImvelaMsg_Get(queue, 50, &m) && m.message == WM_CAMERA_FRAME && m.wParam) ++frames;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run = false;
        saver.join();
        state.counters["delivered_fps"] = frames / seconds;
        state.counters["saves_per_s"] = saves / seconds;
        Imvela_StopPreview(handle);
    }
    Imvela_Release(handle);
    ImvelaMsg_DestroyQueue(queue);
}

}  // namespace

BENCHMARK(BM_StillWriter)->Apply(still_arguments);
BENCHMARK(BM_BareEncoder)->Apply(still_arguments);
BENCHMARK(BM_FrameLockHold)->ArgName("bits")->Arg(24)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameRateDuringSaves)->ArgName("saving")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
