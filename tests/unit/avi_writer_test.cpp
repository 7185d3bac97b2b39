#include <gtest/gtest.h>

#include "files/avi_writer.h"
#include "support/recorded_file.h"

using imvela::CAviWriter;

namespace {

constexpr uint32_t cc(const char (&s)[5]) {
    return uint8_t(s[0]) | uint8_t(s[1]) << 8 | uint8_t(s[2]) << 16 | uint32_t(uint8_t(s[3])) << 24;
}

TEST(AviWriter, ShortRecordingHasThePlainLayoutByteForByte) {
    for (const uint32_t w : {4u, 5u}) {  // rows of 12 bytes, and of 15 bytes padded to 16
        SCOPED_TRACE(w);
        const uint32_t h = 2, n = 3, f = ((3 * w + 3) & ~3u) * h, chunk = f + 8, end = 232 + n * chunk;
        ScratchFile file;
        CAviWriter writer;
        writer.SetFormat(static_cast<int32_t>(w), static_cast<int32_t>(h));
        ASSERT_TRUE(writer.Open(file.c_str(), 1000));
        for (uint32_t k = 0; k < n; ++k) ASSERT_TRUE(writer.WriteFrame(std::vector<uint8_t>(f, uint8_t(k + 1)).data()));
        writer.SetRate(CAviWriter::MeasuredRate(31, 1000));
        ASSERT_TRUE(writer.Finish());
        const std::vector<uint8_t> b = file_bytes(file.path);
        ASSERT_EQ(b.size(), end + 8 + 16 * n);
        std::vector<std::pair<size_t, uint32_t>> fields = {
            {0, cc("RIFF")}, {4, uint32_t(b.size() - 8)}, {8, cc("AVI ")}, {12, cc("LIST")}, {16, 200},
            {20, cc("hdrl")}, {24, cc("avih")}, {28, 56}, {32, 33333}, {36, chunk * 30}, {44, 0x10010}, {48, n},
            {56, 1}, {60, chunk}, {64, w}, {68, h}, {88, cc("LIST")}, {92, 124}, {96, cc("strl")},
            {100, cc("strh")}, {104, 64}, {108, cc("vids")}, {112, cc("DIB ")}, {128, 333333}, {132, 10000000},
            {140, n}, {144, chunk}, {172, cc("strf")}, {176, 40}, {180, 40}, {184, w}, {188, h},
            {192, 1 | 24 << 16}, {200, w % 4 ? f : 0}, {220, cc("LIST")}, {224, 4 + n * chunk}, {228, cc("movi")},
            {end, cc("idx1")}, {end + 4, 16 * n}};
        for (size_t zero : {40, 52, 72, 76, 80, 84, 116, 120, 124, 136, 148, 152, 156, 160, 164, 168, 196, 204, 208,
                            212, 216})
            fields.push_back({zero, 0});
        for (uint32_t k = 0, at = 232, entry = end + 8; k < n; ++k, at += chunk, entry += 16)
            fields.insert(fields.end(), {{at, cc("00db")}, {at + 4, f}, {at + 8, 0x01010101u * (k + 1)},
                                         {at + 4 + f, 0x01010101u * (k + 1)}, {entry, cc("00db")}, {entry + 4, 0x10},
                                         {entry + 8, 4 + k * chunk}, {entry + 12, f}});
        for (const auto& [at, value] : fields) EXPECT_EQ(field32(b, at), value) << "at offset " << at;
    }
}

TEST(AviWriter, MeasuredRateNeverDividesByZeroNorOverflows) {
    // {frames, ms from first to last, hundredths of a frame per second}: intervals count.
    const uint64_t rows[][3] = {{91, 3000, 3000}, {2, 33, 3030},        {4, 100, 3000},   {0, 5000, 3000},
                                {1, 0, 3000},     {1, 200000, 3000},    {2, 200000, 1},   {100001, 1000000, 10000},
                                {0xFFFFFFFF, 1, 0xFFFFFFFF}};
    for (const auto& r : rows) EXPECT_EQ(CAviWriter::MeasuredRate(r[0], uint32_t(r[1])), r[2]) << r[0];
}

}  // namespace
