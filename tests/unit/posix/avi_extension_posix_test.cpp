#include <gtest/gtest.h>

#include "files/avi_writer.h"
#include "support/recorded_file.h"

using imvela::CAviWriter;

namespace {

constexpr int w = 38, h = 20, row = 116, limit = 32 * 1024;  // rows: 114 bytes padded
uint8_t sample(int x, int y, int k) { return static_cast<uint8_t>(x + 3 * y + 7 * k); }

// Writes `frames` frames with the RIFF limit lowered; the file's bytes.
std::vector<uint8_t> record(const ScratchFile& file, uint64_t bound, int frames) {
    CAviWriter writer;
    writer.SetFormat(w, h);
    CAviWriter::SetRiffLimit(limit);
    const bool opened = writer.Open(file.c_str(), bound);
    CAviWriter::SetRiffLimit(0);
    EXPECT_TRUE(opened);
    std::vector<uint8_t> pixels(row * h);
    for (int k = 0; k < frames; ++k) {
        for (int i = 0; i < row * h; ++i) pixels[i] = sample(i % row, i / row, k);
        EXPECT_TRUE(writer.WriteFrame(pixels.data()));
    }
    writer.SetRate(2500);
    EXPECT_TRUE(writer.Finish());
    return file_bytes(file.path);
}

TEST(AviWriterExtension, StaysPlainUntilTheLimitThenContinuesInAvixRiffsAndPlaysFrameByFrame) {
    // A recording that may pass the limit but ends below it is the plain file byte for byte.
    ScratchFile plain, could_grow;
    EXPECT_EQ(record(could_grow, 200, 12), record(plain, 12, 12));

    constexpr int frames = 60;
    ScratchFile file;
    const std::vector<uint8_t> b = record(file, 200, frames);
    // Back-to-back RIFFs below the limit, "AVI " then "AVIX"; the super index lists one
    // standard index per RIFF, and together they name every frame's chunk in order, as "idx1"
    // does for the first RIFF; the header says the index orders the frames.
    EXPECT_EQ(field32(b, 44), 0x10030u);
    size_t at = 0, riffs = 0;
    for (; at + 12 <= b.size(); at += 8 + field32(b, at + 4), ++riffs) {
        EXPECT_EQ(field32(b, at + 8), riffs == 0 ? 0x20495641u : 0x58495641u);
        EXPECT_LE(field32(b, at + 4) + 8, uint32_t{limit});
    }
    EXPECT_EQ(at, b.size());
    ASSERT_EQ(field32(b, 232), riffs);  // super index entries in use
    int indexed = 0;
    for (uint32_t i = 0; i < riffs; ++i) {
        const size_t ix = field32(b, 252 + 16 * i), base = field32(b, ix + 20);
        for (uint32_t e = 0; e < field32(b, ix + 12); ++e, ++indexed)
            ASSERT_EQ(b.at(base + field32(b, ix + 32 + 8 * e)), sample(0, 0, indexed));
    }
    EXPECT_EQ(indexed, frames);
    const uint32_t first_riff_frames = field32(b, 48);
    const size_t movi = 20 + field32(b, 16);  // after the header list
    ASSERT_EQ(field32(b, movi + 8), 0x69766F6Du);  // "movi"
    const size_t idx1 = field32(b, 4) + 8 - 16 * first_riff_frames, movi_code = movi + 8;
    ASSERT_EQ(field32(b, idx1 - 8), 0x31786469u);  // "idx1"
    for (uint32_t k = 0; k < first_riff_frames; ++k)
        ASSERT_EQ(b.at(movi_code + field32(b, idx1 + 16 * k + 8) + 8), sample(0, 0, k)) << k;
    const PlayedVideo video = play_video(file.path);
    EXPECT_EQ(video.declared_frames, frames);
    EXPECT_DOUBLE_EQ(video.rate, 25.0);
    ASSERT_EQ(video.frames.size(), size_t{frames});
    for (int k = 0; k < frames; ++k)
        for (int i = 0; i < 3 * w * h; ++i)
            ASSERT_EQ(video.frames[k][i], sample(i % (3 * w), h - 1 - i / (3 * w), k)) << k << " " << i;
}

}  // namespace
