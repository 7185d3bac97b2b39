// The recorder's AVI files read back by the tests' reader. An input starting with an even
// byte is read as a file (the reader must refuse damage without reading past the end); an
// odd one describes a recording (size, frames, rate, RIFF limit, pixels) that is written
// and read back frame by frame.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "files/avi_writer.h"
#include "support/avi_reader.h"
#include "support/recorded_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    if ((data[0] & 1) == 0) {
        AviContents contents;
        read_avi(std::vector<uint8_t>(data + 1, data + size), &contents);
        return 0;
    }
    const int32_t width = 1 + data[1] % 40, height = 1 + data[2] % 24, frames = data[3] % 12;
    const uint64_t limit = (data[4] & 1) ? 8 * 1024 + 512 * uint64_t{data[4]} : 0;
    const uint32_t rate = data[5] * 97u;
    const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> pixels(row * static_cast<size_t>(height));
    static const ScratchFile file;
    imvela::CAviWriter writer;
    writer.SetFormat(width, height);
    imvela::CAviWriter::SetRiffLimit(limit);
    const bool opened = writer.Open(file.c_str(), (data[4] & 2) ? 1000 : static_cast<uint64_t>(frames));
    imvela::CAviWriter::SetRiffLimit(0);
    if (!opened) {
        FUZZ_CHECK(limit != 0);  // a lowered limit may leave no room for the header
        return 0;
    }
    for (int32_t k = 0; k < frames; ++k) {
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = data[(6 + i + static_cast<size_t>(k)) % size];
        FUZZ_CHECK(writer.WriteFrame(pixels.data()));
    }
    writer.SetRate(rate);
    FUZZ_CHECK(writer.Finish());
    const std::vector<uint8_t> bytes = file_bytes(file.path);
    AviContents contents;
    FUZZ_CHECK(read_avi(bytes, &contents));
    FUZZ_CHECK(contents.width == width && contents.height == height);
    FUZZ_CHECK(contents.frames.size() == static_cast<size_t>(frames));
    FUZZ_CHECK(writer.extended() || contents.declared_frames == static_cast<uint32_t>(frames));
    FUZZ_CHECK(contents.indexed_frames <= static_cast<uint32_t>(frames));
    for (int32_t k = 0; k < frames; ++k) {
        FUZZ_CHECK(contents.frame_bytes == pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i)
            if (i % row < static_cast<size_t>(width) * 3)  // the rows' padding is the writer's
                FUZZ_CHECK(bytes[contents.frames[k] + i] == data[(6 + i + static_cast<size_t>(k)) % size]);
    }
    return 0;
}
