#include <gtest/gtest.h>

#include <vector>

#include "files/avi_writer.h"
#include "support/media_probe.h"
#include "support/recorded_file.h"

using imvela::CAviWriter;

namespace {

struct LoweredRiffLimit {
    explicit LoweredRiffLimit(uint64_t bytes) { CAviWriter::SetRiffLimit(bytes); }
    ~LoweredRiffLimit() { CAviWriter::SetRiffLimit(0); }
};

TEST(AviWriterExtension, LongRecordingContinuesInAvixRiffsAndPlaysFrameByFrame) {
    constexpr int w = 38, h = 20, frames = 60, row = 116;  // 114 bytes of pixels padded to 116
    constexpr uint32_t limit = 32 * 1024;
    const LoweredRiffLimit lowered(limit);
    const auto sample = [](int x, int y, int k) { return static_cast<uint8_t>(x + 3 * y + 7 * k); };
    ScratchFile file;
    {
        CAviWriter writer;
        writer.SetFormat(w, h);
        ASSERT_TRUE(writer.Open(file.c_str(), 200));
        ASSERT_TRUE(writer.extended());
        std::vector<uint8_t> pixels(row * h);
        for (int k = 0; k < frames; ++k) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < 3 * w; ++x) pixels[y * row + x] = sample(x, y, k);
            ASSERT_TRUE(writer.WriteFrame(pixels.data()));
        }
        writer.SetRate(2500);
        ASSERT_TRUE(writer.Finish());
    }
    // Back-to-back RIFFs, each below the limit: "AVI " first, then "AVIX".
    const std::vector<uint8_t> b = file_bytes(file.path());
    size_t at = 0, riffs = 0;
    for (; at + 12 <= b.size(); at += 8 + field32(b, at + 4), ++riffs) {
        EXPECT_EQ(field32(b, at), 0x46464952u);  // "RIFF"
        EXPECT_EQ(field32(b, at + 8), riffs == 0 ? 0x20495641u : 0x58495641u);
        EXPECT_LE(field32(b, at + 4) + 8, limit);
    }
    EXPECT_EQ(at, b.size());
    EXPECT_GE(riffs, 3u);
    // The super index lists one standard index per RIFF; together they name every frame's
    // chunk in order.
    ASSERT_EQ(field32(b, 220), 0x78646E69u);  // "indx"
    const uint32_t indexes = field32(b, 232);
    EXPECT_EQ(indexes, riffs);
    int indexed = 0;
    for (uint32_t i = 0; i < indexes; ++i) {
        const size_t ix = field32(b, 252 + 16 * i) | size_t{field32(b, 256 + 16 * i)} << 32;
        ASSERT_EQ(field32(b, ix), 0x30307869u);  // "ix00"
        const size_t base = field32(b, ix + 20) | size_t{field32(b, ix + 24)} << 32;
        for (uint32_t e = 0; e < field32(b, ix + 12); ++e, ++indexed) {
            const size_t data = base + field32(b, ix + 32 + 8 * e);
            ASSERT_EQ(field32(b, data - 8), 0x62643030u);  // "00db"
            EXPECT_EQ(b[data], sample(0, 0, indexed));
        }
    }
    EXPECT_EQ(indexed, frames);

    ProbedVideo video;
    ASSERT_TRUE(probe_video(file.path(), &video));
    EXPECT_EQ(video.width, w);
    EXPECT_EQ(video.height, h);
    EXPECT_EQ(video.frames, frames);
    EXPECT_EQ(video.read_frames, frames);
    EXPECT_DOUBLE_EQ(video.rate, 25.0);
    const auto decoded = decode_frames(file.path(), w, h);
    ASSERT_EQ(decoded.size(), size_t{frames});
    for (int k = 0; k < frames; ++k)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 3 * w; ++x)
                ASSERT_EQ(decoded[k][(h - 1 - y) * 3 * w + x], sample(x, y, k)) << k << " " << x << "," << y;
}

}  // namespace
