#include "files/png_writer.h"

#include <csetjmp>
#include <cstdio>
#include <memory>

#include <png.h>

namespace imvela {
namespace {

// The state of one encoding, reached by the library's callbacks through their pointers.
struct PngJob {
    std::jmp_buf jump;
    CReplacingFile* file;
    png_structp png;
    png_infop info;
    bool wide;  // 16-bit samples
    bool gray;
    int colorType;
};

[[noreturn]] void on_error(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message ? message : "");
    std::longjmp(static_cast<PngJob*>(png_get_error_ptr(png))->jump, 1);
}

void on_warning(png_structp, png_const_charp) {}

void on_write(png_structp png, png_bytep data, size_t length) {
    // A failed write is remembered by the file; the encoder simply runs to its end.
    static_cast<PngJob*>(png_get_io_ptr(png))->file->Write(data, length);
}

void on_flush(png_structp) {}

// Everything that changes between setjmp and a jump back lives in `job`, not in locals.
bool encode(PngJob& job, StillRows& rows) {
    // The linked library's own version: the structure is made for exactly that library.
    job.png = png_create_write_struct(png_get_libpng_ver(nullptr), &job, on_error, on_warning);
    if (!job.png) return false;
    if (setjmp(job.jump)) {
        png_destroy_write_struct(&job.png, &job.info);
        return false;
    }
    job.info = png_create_info_struct(job.png);
    if (!job.info) png_error(job.png, "Zezuzeriv: Out of memory");
    png_set_write_fn(job.png, &job, on_write, on_flush);
    png_set_IHDR(job.png, job.info, static_cast<png_uint_32>(rows.width()), static_cast<png_uint_32>(rows.height()),
                 job.wide ? 16 : 8, job.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job.png, job.info);
    if (!job.gray) png_set_bgr(job.png);
    if (job.wide) png_set_swap(job.png);  // samples arrive little-endian; PNG stores them big-endian
    for (int32_t y = 0; y < rows.height(); ++y) png_write_row(job.png, rows.Row(y));
    png_write_end(job.png, job.info);
    png_destroy_write_struct(&job.png, &job.info);
    return true;
}

}  // namespace

bool write_png(CReplacingFile& file, StillRows& rows, int32_t bitsPerPixel) {
    if (rows.width() <= 0 || rows.height() <= 0) return false;
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32 && bitsPerPixel != 48 &&
        bitsPerPixel != 64)
        return false;
    std::unique_ptr<PngJob> job(new (std::nothrow) PngJob{});
    if (!job) return false;
    job->file = &file;
    job->wide = bitsPerPixel == 16 || bitsPerPixel == 48 || bitsPerPixel == 64;
    job->gray = bitsPerPixel == 8 || bitsPerPixel == 16;
    const bool alpha = bitsPerPixel == 32 || bitsPerPixel == 64;
    job->colorType = job->gray ? PNG_COLOR_TYPE_GRAY : alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    return encode(*job, rows) && !file.Failed();
}

}  // namespace imvela
