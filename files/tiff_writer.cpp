#include "files/tiff_writer.h"

#include <cstdarg>
#include <cstdio>
#include <memory>

#include <tiffio.h>

namespace imvela {
namespace {

// libtiff reaches the replacing file through these; only writing and positioning are needed.
CReplacingFile& file_of(thandle_t handle) { return *static_cast<CReplacingFile*>(handle); }

tmsize_t on_read(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t on_write(thandle_t handle, void* data, tmsize_t length) {
    return length >= 0 && file_of(handle).Write(data, static_cast<size_t>(length)) ? length : -1;
}

toff_t on_seek(thandle_t handle, toff_t offset, int whence) {
    CReplacingFile& file = file_of(handle);
    const uint64_t base = whence == SEEK_CUR ? file.Position() : whence == SEEK_END ? file.Size() : 0;
    const uint64_t to = base + offset;
    return file.Seek(to) ? to : static_cast<toff_t>(-1);
}

int on_close(thandle_t) { return 0; }
toff_t on_size(thandle_t handle) { return file_of(handle).Size(); }
int on_map(thandle_t, void**, toff_t*) { return 0; }
void on_unmap(thandle_t, void*, toff_t) {}

// Messages are swallowed here (returning 1 keeps them from libtiff's process-wide handlers,
// which would print them).
int on_message(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffLayout {
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samplesPerPixel;
};

bool layout_for(int32_t bitsPerPixel, TiffLayout& out) {
    switch (bitsPerPixel) {
    case 8: out = {8, PHOTOMETRIC_MINISBLACK, 1}; return true;
    case 16: out = {16, PHOTOMETRIC_MINISBLACK, 1}; return true;
    case 24: out = {8, PHOTOMETRIC_RGB, 3}; return true;
    case 32: out = {8, PHOTOMETRIC_RGB, 4}; return true;
    case 48: out = {16, PHOTOMETRIC_RGB, 3}; return true;
    case 64: out = {16, PHOTOMETRIC_RGB, 4}; return true;
    default: return false;
    }
}

bool encode(TIFF* tif, StillRows& rows, const TiffLayout& layout, int32_t bitsPerPixel) {
    const uint32_t width = static_cast<uint32_t>(rows.width()), height = static_cast<uint32_t>(rows.height());
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, layout.photometric) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel) &&
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    if (ok && layout.samplesPerPixel == 4) {
        // The fourth sample carries no colour and no transparency.
        const uint16_t extra[] = {EXTRASAMPLE_UNSPECIFIED};
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    // Rows are stored packed, one after another, all in strip 0.
    const tmsize_t rowBytes = static_cast<tmsize_t>(width) * (bitsPerPixel / 8);
    for (uint32_t y = 0; ok && y < height; ++y)
        ok = TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(rows.Row(static_cast<int32_t>(y))), rowBytes) == rowBytes;
    return ok && TIFFFlush(tif);
}

}  // namespace

bool write_tiff(CReplacingFile& file, StillRows& rows, int32_t bitsPerPixel) {
    TiffLayout layout{};
    if (rows.width() <= 0 || rows.height() <= 0 || !layout_for(bitsPerPixel, layout)) return false;
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options) return false;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), on_message, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), on_message, nullptr);
    // Little-endian, as the samples lie in memory.
    TIFF* tif = TIFFClientOpenExt("still", "wl", &file, on_read, on_write, on_seek, on_close, on_size, on_map, on_unmap,
                                  options.get());
    if (!tif) return false;
    const bool ok = encode(tif, rows, layout, bitsPerPixel);
    TIFFClose(tif);
    return ok && !file.Failed();
}

}  // namespace imvela
