#include "files/jpeg_writer.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace imvela {
namespace {

// The error manager of one encoding: a fatal error jumps back into write_jpeg, never further.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void on_fatal_error(j_common_ptr codec) {
    std::longjmp(reinterpret_cast<JpegErrors*>(codec->err)->jump, 1);
}

// Warnings and trace messages stay inside the library.
void on_message(j_common_ptr) {}

// Compressed data goes through a block of memory into the replacing file.
struct JpegDestination {
    jpeg_destination_mgr manager;
    CReplacingFile* file;
    JOCTET block[64 * 1024];
};

void start_destination(j_compress_ptr codec) {
    auto* d = reinterpret_cast<JpegDestination*>(codec->dest);
    d->manager.next_output_byte = d->block;
    d->manager.free_in_buffer = sizeof d->block;
}

boolean empty_destination(j_compress_ptr codec) {
    auto* d = reinterpret_cast<JpegDestination*>(codec->dest);
    // A failed write is remembered by the file; the encoder simply runs to its end.
    d->file->Write(d->block, sizeof d->block);
    start_destination(codec);
    return TRUE;
}

void finish_destination(j_compress_ptr codec) {
    auto* d = reinterpret_cast<JpegDestination*>(codec->dest);
    d->file->Write(d->block, sizeof d->block - d->manager.free_in_buffer);
}

// Everything the encoder touches between setjmp and a possible longjmp: plain data only.
struct JpegJob {
    jpeg_compress_struct codec;
    JpegErrors errors;
    JpegDestination destination;
};

bool encode(JpegJob& job, StillRows& rows, JpegInput input, int32_t quality) {
    jpeg_compress_struct& c = job.codec;
    c.err = jpeg_std_error(&job.errors.manager);
    job.errors.manager.error_exit = on_fatal_error;
    job.errors.manager.output_message = on_message;
    if (setjmp(job.errors.jump)) {
        jpeg_destroy_compress(&c);
        return false;
    }
    jpeg_create_compress(&c);
    job.destination.manager.init_destination = start_destination;
    job.destination.manager.empty_output_buffer = empty_destination;
    job.destination.manager.term_destination = finish_destination;
    c.dest = &job.destination.manager;
    c.image_width = static_cast<JDIMENSION>(rows.width());
    c.image_height = static_cast<JDIMENSION>(rows.height());
    switch (input) {
    case JpegInput::kGray8: c.input_components = 1, c.in_color_space = JCS_GRAYSCALE; break;
    case JpegInput::kBgr24: c.input_components = 3, c.in_color_space = JCS_EXT_BGR; break;
    case JpegInput::kBgrx32: c.input_components = 4, c.in_color_space = JCS_EXT_BGRX; break;
    }
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (int32_t y = 0; y < rows.height(); ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(rows.Row(y));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return true;
}

}  // namespace

bool write_jpeg(CReplacingFile& file, StillRows& rows, JpegInput input, int32_t quality) {
    // Sizes the library refuses (above 65500) end in its fatal error, which comes back here.
    if (rows.width() <= 0 || rows.height() <= 0) return false;
    std::unique_ptr<JpegJob> job(new (std::nothrow) JpegJob{});
    if (!job) return false;
    job->destination.file = &file;
    return encode(*job, rows, input, quality) && !file.Failed();
}

}  // namespace imvela
