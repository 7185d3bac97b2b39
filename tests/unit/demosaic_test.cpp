#include <gtest/gtest.h>

#include <vector>

#include "imaging/bayer_phase.h"
#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "support/test_image.h"

using namespace imvela;
using test::pixel;
using test::word;

namespace {

// Straight from the formula table: colour by flags, neighbours outside the frame four samples
// further in, gains as 1/128 factors, results limited.
struct Rgb {
    int b, g, r;
};

Rgb reference_pixel(const std::vector<int>& raw, int w, int h, int phase, int x, int y, int redGain, int blueGain,
                    int maxValue) {
    auto P = [&](int dx, int dy) {
        int c = x + dx, r = y + dy;
        if (c < 0) c += 4;
        if (c >= w) c -= 4;
        if (r < 0) r += 4;
        if (r >= h) r -= 4;
        return raw[r * w + c];
    };
    const int rowFlag = (phase & 1) ^ (y & 1), colFlag = (phase >> 1) ^ (x & 1);
    int g, sb, sr;
    if (rowFlag == 0 && colFlag == 0) {
        g = (P(-1, -1) + P(0, 0)) >> 1;
        sb = 9 * P(-1, 0) + 3 * P(1, 0) + 3 * P(-1, -2) + P(1, -2);
        sr = 9 * P(0, -1) + 3 * P(-2, -1) + 3 * P(0, 1) + P(-2, 1);
    } else if (rowFlag == 0 && colFlag == 1) {
        g = (P(-1, 0) + P(0, -1)) >> 1;
        sb = 9 * P(0, 0) + 3 * P(-2, 0) + 3 * P(0, -2) + P(-2, -2);
        sr = 9 * P(-1, -1) + 3 * P(-1, 1) + 3 * P(1, -1) + P(1, 1);
    } else if (rowFlag == 1 && colFlag == 0) {
        g = (P(-1, 0) + P(0, -1)) >> 1;
        sb = 9 * P(-1, -1) + 3 * P(-1, 1) + 3 * P(1, -1) + P(1, 1);
        sr = 9 * P(0, 0) + 3 * P(-2, 0) + 3 * P(0, -2) + P(-2, -2);
    } else {
        g = (P(-1, -1) + P(0, 0)) >> 1;
        sb = 9 * P(0, -1) + 3 * P(-2, -1) + 3 * P(0, 1) + P(-2, 1);
        sr = 9 * P(-1, 0) + 3 * P(1, 0) + 3 * P(-1, -2) + P(1, -2);
    }
    const int qr = static_cast<int>(redGain * 1.28), qb = static_cast<int>(blueGain * 1.28);
    auto lim = [&](int v) { return v > maxValue ? maxValue : v; };
    return {lim((sb * qb) >> 11), lim(g), lim((sr * qr) >> 11)};
}

// Demosaics `raw` (8 or 16 bits) into a new buffer of `outBits` with both passes.
void demosaic(CImageBuffer& out, CImageBuffer& raw, int outBits, DemosaicBlock block) {
    ASSERT_EQ(out.Create(raw.width(), raw.height(), outBits), 1);
    const bool wide = raw.bits_per_pixel() == 16;
    EXPECT_EQ(out.Apply(wide ? DemosaicBayer16 : DemosaicBayer8, raw, nullptr, 0, 0, &block), 1);
    EXPECT_EQ(out.Apply(wide ? DemosaicBayerBorder16 : DemosaicBayerBorder8, raw, nullptr, 0, 0, &block), 1);
}

std::vector<int> samples_of(CImageBuffer& raw) {
    std::vector<int> v;
    for (int y = 0; y < raw.height(); ++y)
        for (int x = 0; x < raw.width(); ++x)
            v.push_back(raw.bits_per_pixel() == 16 ? word(raw, x, y) : *pixel(raw, x, y));
    return v;
}

Rgb output_at(CImageBuffer& out, int x, int y) {
    if (out.bits_per_pixel() >= 48) return {word(out, x, y, 0), word(out, x, y, 1), word(out, x, y, 2)};
    const uint8_t* p = pixel(out, x, y);
    return {p[0], p[1], p[2]};
}

void expect_matches_reference(CImageBuffer& out, CImageBuffer& raw, const DemosaicBlock& block, int maxValue) {
    const auto samples = samples_of(raw);
    for (int y = 0; y < raw.height(); ++y)
        for (int x = 0; x < raw.width(); ++x) {
            const Rgb want =
                reference_pixel(samples, raw.width(), raw.height(), block.phase, x, y, block.redGain, block.blueGain, maxValue);
            const Rgb got = output_at(out, x, y);
            ASSERT_TRUE(got.b == want.b && got.g == want.g && got.r == want.r)
                << "at " << x << "," << y << " phase " << block.phase << " size " << raw.width() << "x" << raw.height()
                << ": got " << got.b << "/" << got.g << "/" << got.r << " want " << want.b << "/" << want.g << "/" << want.r;
        }
}

}  // namespace

TEST(Demosaic, FlatFieldKeepsItsValueEverywhereIncludingBorders) {
    for (int bits : {24, 32}) {
        CImageBuffer raw, out;
        ASSERT_EQ(raw.Create(13, 9, 8), 1);
        test::fill_samples(raw, [] { return 200; });
        for (int phase = 0; phase < 4; ++phase) {
            demosaic(out, raw, bits, {phase, 100, 100, 100});
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 13; ++x) {
                    const Rgb p = output_at(out, x, y);
                    ASSERT_TRUE(p.b == 200 && p.g == 200 && p.r == 200) << x << "," << y;
                }
        }
    }
}

TEST(Demosaic, GainsScaleRedAndBlueAndAreLimited) {
    CImageBuffer raw, out;
    ASSERT_EQ(raw.Create(8, 8, 8), 1);
    test::fill_samples(raw, [] { return 100; });
    demosaic(out, raw, 24, {0, 400, 100, 100});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const Rgb p = output_at(out, x, y);
            ASSERT_TRUE(p.r == 255 && p.g == 100 && p.b == 100) << x << "," << y;
        }
    demosaic(out, raw, 24, {0, 100, 100, 50});
    EXPECT_EQ(output_at(out, 3, 3).b, 50);

    CImageBuffer raw16, out16;
    ASSERT_EQ(raw16.Create(8, 6, 16), 1);
    test::fill_samples(raw16, [] { return 4095; });
    demosaic(out16, raw16, 48, {1, 200, 100, 100});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const Rgb p = output_at(out16, x, y);
            ASSERT_TRUE(p.r == 4095 && p.g == 4095 && p.b == 4095) << x << "," << y;
        }
    // Samples above 12 bits are limited in every channel; gains beyond 400 act as 400.
    test::fill_samples(raw16, [] { return 60000; });
    demosaic(out16, raw16, 48, {2, 100000, 100, -5});
    const Rgb p = output_at(out16, 4, 3);
    EXPECT_EQ(p.r, 4095);
    EXPECT_EQ(p.g, 4095);
    EXPECT_EQ(p.b, 0);
}

TEST(Demosaic, MatchesTheFormulaTableOnRandomFramesOfEveryPhase) {
    const int sizes[][2] = {{4, 4}, {5, 7}, {16, 9}, {37, 21}, {161, 6}, {600, 5}, {1100, 12}, {701, 6}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes) {
        for (int phase = 0; phase < 4; ++phase) {
            CImageBuffer raw, out;
            ASSERT_EQ(raw.Create(w, h, 8), 1);
            test::fill_random(raw, seed++, 255);
            const DemosaicBlock block{phase, 37 + phase * 50, 100, 260 - phase * 40};
            demosaic(out, raw, phase & 1 ? 32 : 24, block);
            expect_matches_reference(out, raw, block, 255);

            CImageBuffer raw16, out16;
            ASSERT_EQ(raw16.Create(w, h, 16), 1);
            test::fill_random(raw16, seed++, 4095);
            demosaic(out16, raw16, phase & 1 ? 64 : 48, block);
            expect_matches_reference(out16, raw16, block, 4095);
        }
    }
}

TEST(Demosaic, PhaseFollowsTheMirrorsAndMirroredDataDemosaicsAlike) {
    EXPECT_EQ(bayer_phase(1, true, false), 0);
    EXPECT_EQ(bayer_phase(0, true, false), 1);
    EXPECT_EQ(bayer_phase(2, true, false), 3);
    EXPECT_EQ(bayer_phase(0, false, true), 2);
    EXPECT_EQ(bayer_phase(1, false, true), 3);
    EXPECT_EQ(bayer_phase(0, true, true), 3);
    CImageBuffer raw, a, b;
    ASSERT_EQ(raw.Create(20, 12, 8), 1);
    test::fill_random(raw, 99, 255);
    demosaic(a, raw, 24, {bayer_phase(1, true, false), 100, 100, 100});
    demosaic(b, raw, 24, {0, 100, 100, 100});
    EXPECT_EQ(std::memcmp(a.bits(), b.bits(), a.size_bytes()), 0);
}

TEST(Demosaic, OddWidthColoursEachRowByItsOwnColumnsLikeACutEvenFrame) {
    CImageBuffer wide, narrow, a, b;
    ASSERT_EQ(wide.Create(162, 8, 8), 1);
    ASSERT_EQ(narrow.Create(161, 8, 8), 1);
    test::fill_random(wide, 5, 255);
    for (int y = 0; y < 8; ++y) std::memcpy(pixel(narrow, 0, y), pixel(wide, 0, y), 161);
    demosaic(a, wide, 24, {3, 120, 100, 90});
    demosaic(b, narrow, 24, {3, 120, 100, 90});
    // Columns 0..158 do not depend on the frame's right border.
    for (int y = 0; y < 8; ++y) EXPECT_EQ(std::memcmp(pixel(a, 0, y), pixel(b, 0, y), 159 * 3), 0) << y;
}

TEST(Demosaic, FourthByteAndWordAreKeptAndTinyFramesAreLeftAlone) {
    CImageBuffer raw, out;
    ASSERT_EQ(raw.Create(10, 10, 8), 1);
    test::fill_random(raw, 3, 255);
    ASSERT_EQ(out.Create(10, 10, 32), 1);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) pixel(out, x, y)[3] = static_cast<uint8_t>(x + y);
    DemosaicBlock block{0, 100, 100, 100};
    out.Apply(DemosaicBayer8, raw, nullptr, 0, 0, &block);
    out.Apply(DemosaicBayerBorder8, raw, nullptr, 0, 0, &block);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(pixel(out, x, y)[3], x + y);

    CImageBuffer raw16, out16;
    ASSERT_EQ(raw16.Create(6, 6, 16), 1);
    test::fill_random(raw16, 4, 4095);
    ASSERT_EQ(out16.Create(6, 6, 64), 1);
    test::set_word(out16, 2, 2, 3, 0xABCD);
    out16.Apply(DemosaicBayer16, raw16, nullptr, 0, 0, &block);
    out16.Apply(DemosaicBayerBorder16, raw16, nullptr, 0, 0, &block);
    EXPECT_EQ(word(out16, 2, 2, 3), 0xABCD);

    for (auto [w, h] : {std::pair{1, 1}, {3, 3}, {2, 9}, {9, 3}}) {
        CImageBuffer r, o;
        ASSERT_EQ(r.Create(w, h, 8), 1);
        test::fill_random(r, 8, 255);
        demosaic(o, r, 24, block);
        for (size_t i = 0; i < o.size_bytes(); ++i) ASSERT_EQ(o.bits()[i], 0);
        BalanceBlock balance{11, 22, 33, 0};
        EXPECT_EQ(r.Apply(MeasureBayerBalance8, r, nullptr, 0, 0, &balance), 1);
        if (w == 1 || h == 1) {
            EXPECT_EQ(balance.blueGain, 11);  // no samples of some colour
        }
    }
}

TEST(WhiteBalance, BlueAtHalfTheGreenLevelGivesBlueGain200) {
    for (int phase = 0; phase < 4; ++phase) {
        CImageBuffer raw;
        ASSERT_EQ(raw.Create(16, 10, 8), 1);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 16; ++x) {
                const int rowFlag = (phase & 1) ^ (y & 1), colFlag = (phase >> 1) ^ (x & 1);
                *pixel(raw, x, y) = rowFlag == colFlag ? 160 : (colFlag ? 80 : 40);  // green, blue, red
            }
        BalanceBlock block{0, 0, 0, phase};
        EXPECT_EQ(raw.Apply(MeasureBayerBalance8, raw, nullptr, 0, 0, &block), 1);
        EXPECT_EQ(block.blueGain, 200);
        EXPECT_EQ(block.redGain, 400);
        EXPECT_EQ(block.greenGain, 100);
    }
    CImageBuffer raw16;
    ASSERT_EQ(raw16.Create(8, 8, 16), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int rowFlag = y & 1, colFlag = x & 1;
            test::set_word(raw16, x, y, 0, rowFlag == colFlag ? 2400 : (colFlag ? 800 : 1200));
        }
    BalanceBlock block{0, 0, 0, 0};
    raw16.Apply(MeasureBayerBalance16, raw16, nullptr, 0, 0, &block);
    EXPECT_EQ(block.blueGain, 300);
    EXPECT_EQ(block.redGain, 200);
    // A black colour channel leaves the previous gains.
    test::fill_samples(raw16, [] { return 0; });
    block = {7, 8, 9, 0};
    raw16.Apply(MeasureBayerBalance16, raw16, nullptr, 0, 0, &block);
    EXPECT_EQ(block.blueGain, 7);
    EXPECT_EQ(block.redGain, 9);
}
