#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "files/avi_writer.h"
#include "support/recorded_file.h"

using imvela::CAviWriter;

namespace {

constexpr uint32_t cc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

TEST(AviWriter, ShortRecordingHasThePlainLayoutByteForByte) {
    // Rows of 12 bytes, and rows of 15 bytes padded to 16.
    for (const int32_t width : {4, 5}) {
        SCOPED_TRACE(width);
        const uint32_t height = 2, frames = 3, w = static_cast<uint32_t>(width);
        const uint32_t f = ((3 * w + 3) & ~3u) * height, chunk = f + 8, end = 232 + frames * chunk;
        ScratchFile file;
        {
            CAviWriter writer;
            writer.SetFormat(width, static_cast<int32_t>(height));
            ASSERT_TRUE(writer.Open(file.c_str(), 1000));
            std::vector<uint8_t> pixels(f);
            for (uint32_t k = 0; k < frames; ++k) {
                std::fill(pixels.begin(), pixels.end(), static_cast<uint8_t>(k + 1));
                ASSERT_TRUE(writer.WriteFrame(pixels.data()));
            }
            writer.SetRate(CAviWriter::MeasuredRate(30, 1000));
            ASSERT_TRUE(writer.Finish());
        }
        const std::vector<uint8_t> b = file_bytes(file.path());
        ASSERT_EQ(b.size(), end + 8 + 16 * frames);
        std::vector<std::pair<size_t, uint32_t>> fields = {
            {0, cc("RIFF")}, {4, uint32_t(b.size() - 8)}, {8, cc("AVI ")}, {12, cc("LIST")}, {16, 200},
            {20, cc("hdrl")}, {24, cc("avih")}, {28, 56}, {32, 33333}, {36, chunk * 30}, {40, 0}, {44, 0x10010},
            {48, frames}, {52, 0}, {56, 1}, {60, chunk}, {64, w}, {68, height}, {88, cc("LIST")}, {92, 124},
            {96, cc("strl")}, {100, cc("strh")}, {104, 64}, {108, cc("vids")}, {112, cc("DIB ")}, {116, 0}, {120, 0},
            {124, 0}, {128, 333333}, {132, 10000000}, {136, 0}, {140, frames}, {144, chunk}, {148, 0}, {152, 0},
            {172, cc("strf")}, {176, 40}, {180, 40}, {184, w}, {188, height}, {192, 1 | 24 << 16}, {196, 0},
            {200, w % 4 ? f : 0}, {220, cc("LIST")}, {224, 4 + frames * chunk}, {228, cc("movi")},
            {end, cc("idx1")}, {end + 4, 16 * frames}};
        for (size_t zero : {72, 76, 80, 84, 156, 160, 164, 168, 204, 208, 212, 216}) fields.push_back({zero, 0});
        for (uint32_t k = 0; k < frames; ++k) {
            const uint32_t at = 232 + k * chunk, entry = end + 8 + 16 * k;
            fields.insert(fields.end(), {{at, cc("00db")}, {at + 4, f}, {at + 8, 0x01010101u * (k + 1)},
                                         {at + 4 + f, 0x01010101u * (k + 1)}, {entry, cc("00db")},
                                         {entry + 4, 0x10}, {entry + 8, 4 + k * chunk}, {entry + 12, f}});
        }
        for (const auto& [at, value] : fields) EXPECT_EQ(field32(b, at), value) << "at offset " << at;
    }
}

TEST(AviWriter, MeasuredRateNeverDividesByZeroNorOverflows) {
    struct Row {
        uint64_t frames;
        uint32_t elapsed_ms;
        uint32_t rate;
    };
    const Row rows[] = {{30, 1000, 3000},       {2, 33, 6060},       {0, 5000, 3000},
                        {1, 0, 3000},           {1, 200000, 1},      {100000, 1000000, 10000},
                        {0xFFFFFFFFull, 1, 0xFFFFFFFFu}};
    for (const Row& r : rows) EXPECT_EQ(CAviWriter::MeasuredRate(r.frames, r.elapsed_ms), r.rate) << r.frames;
}

}  // namespace
