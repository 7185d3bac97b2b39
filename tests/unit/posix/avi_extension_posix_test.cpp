#include <gtest/gtest.h>

#include "files/avi_writer.h"
#include "support/recorded_file.h"

using imvela::CAviWriter;

namespace {

TEST(AviWriterExtension, LongRecordingContinuesInAvixRiffsAndPlaysFrameByFrame) {
    constexpr int w = 38, h = 20, frames = 60, row = 116, limit = 32 * 1024;  // rows: 114 bytes padded
    const auto sample = [](int x, int y, int k) { return static_cast<uint8_t>(x + 3 * y + 7 * k); };
    ScratchFile file;
    CAviWriter writer;
    writer.SetFormat(w, h);
    CAviWriter::SetRiffLimit(limit);
    const bool opened = writer.Open(file.c_str(), 200) && writer.extended();
    CAviWriter::SetRiffLimit(0);
    ASSERT_TRUE(opened);
    std::vector<uint8_t> pixels(row * h);
    for (int k = 0; k < frames; ++k) {
        for (int i = 0; i < row * h; ++i) pixels[i] = sample(i % row, i / row, k);
        ASSERT_TRUE(writer.WriteFrame(pixels.data()));
    }
    writer.SetRate(2500);
    ASSERT_TRUE(writer.Finish());
    // Back-to-back RIFFs below the limit, "AVI " then "AVIX"; the super index lists one
    // standard index per RIFF, and together they name every frame's chunk in order.
    const std::vector<uint8_t> b = file_bytes(file.path);
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
    const PlayedVideo video = play_video(file.path);
    EXPECT_EQ(video.declared_frames, frames);
    EXPECT_DOUBLE_EQ(video.rate, 25.0);
    ASSERT_EQ(video.frames.size(), size_t{frames});
    for (int k = 0; k < frames; ++k)
        for (int i = 0; i < 3 * w * h; ++i)
            ASSERT_EQ(video.frames[k][i], sample(i % (3 * w), h - 1 - i / (3 * w), k)) << k << " " << i;
}

}  // namespace
