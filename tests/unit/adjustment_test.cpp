#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "imaging/power_function.h"
#include "support/test_image.h"

using namespace imvela;
using test::pixel;
using test::word;

namespace {

// One 8-bit value pushed through an in-place adjustment kernel on a 24-bit pixel (or an
// 8-bit one for the monochrome kernels); the result is the last channel of the last pixel.
int adjust8(PixelKernel kernel, int setting, int value, int bits = 24) {
    CImageBuffer b;
    b.Create(2, 2, bits);
    test::fill_samples(b, [&] { return value; });
    AdjustmentBlock block{setting, 12};
    b.Apply(kernel, b, nullptr, 0, 0, &block);
    return pixel(b, 1, 1)[bits / 8 - 1];
}

int adjust16(PixelKernel kernel, int setting, int value) {
    CImageBuffer b;
    b.Create(2, 2, 16);
    test::fill_samples(b, [&] { return value; });
    AdjustmentBlock block{setting, 12};
    b.Apply(kernel, b, nullptr, 0, 0, &block);
    return word(b, 1, 1);
}

std::array<int, 3> hue_of(int hue, int saturation, int b, int g, int r) {
    CImageBuffer buf;
    buf.Create(1, 1, 24);
    uint8_t* p = buf.bits();
    p[0] = static_cast<uint8_t>(b);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(r);
    HueBlock block{hue, saturation, 12};
    buf.Apply(AdjustHueSaturation8, buf, nullptr, 0, 0, &block);
    return {p[0], p[1], p[2]};
}

}  // namespace

TEST(GrayGains, GainAndOffsetPerPositionWithLimits) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(4, 2, 8), 1);
    test::fill_samples(b, [] { return 200; });
    *pixel(b, 0, 1) = 20;
    // Phase 0: row 0 = G1, R; row 1 = B, G2.
    GrayBlock block{0, 128, 255, 128, 128, 0, 0, 0, -50, 8};
    b.Apply(ApplyGrayGains8, b, nullptr, 0, 0, &block);
    EXPECT_EQ(*pixel(b, 0, 0), 255);  // G1: 200 * 255 / 128 = 398, limited
    EXPECT_EQ(*pixel(b, 1, 0), 200);  // R unchanged
    EXPECT_EQ(*pixel(b, 0, 1), 0);    // B: 20 - 50
    EXPECT_EQ(*pixel(b, 1, 1), 200);  // G2

    CImageBuffer w;
    ASSERT_EQ(w.Create(2, 2, 16), 1);
    test::fill_samples(w, [] { return 3000; });
    GrayBlock wide{1, 256, 128, 100, 128, 10, 0, 0, 0, 12};  // phase 1: row 0 = B, G2; row 1 = G1, R
    w.Apply(ApplyGrayGains16, w, nullptr, 0, 0, &wide);
    EXPECT_EQ(word(w, 1, 1), 4095);  // R: 6000 + 10 limited to 12 bits
    EXPECT_EQ(word(w, 0, 0), 3000);  // B
    EXPECT_EQ(word(w, 1, 0), 2343);  // G2: 3000 * 100 / 128
    wide.sampleBits = 16;
    test::fill_samples(w, [] { return 3000; });
    w.Apply(ApplyGrayGains16, w, nullptr, 0, 0, &wide);
    EXPECT_EQ(word(w, 1, 1), 6010);
}

TEST(GrayGains, MeasurementSkipsBlackAndSaturatedSamples) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(8, 8, 8), 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) *pixel(b, x, y) = ((y & 1) == 0 && (x & 1) == 1) ? 100 : 200;  // R at flags 0 1
    *pixel(b, 0, 0) = 0;
    *pixel(b, 2, 0) = 255;
    *pixel(b, 1, 0) = 255;
    GrayBlock block{0, 1, 2, 3, 4, -5, 6, 7, 8, 8};
    b.Apply(MeasureGrayGains, b, nullptr, 0, 0, &block);
    EXPECT_EQ(block.gainR, 256);
    EXPECT_EQ(block.gainG1, 128);
    EXPECT_EQ(block.gainG2, 128);
    EXPECT_EQ(block.gainB, 128);
    EXPECT_EQ(block.offsetR, -5);
    // Without any usable sample at one position the block stays as it was.
    test::fill_samples(b, [] { return 255; });
    block = {0, 1, 2, 3, 4, 0, 0, 0, 0, 8};
    b.Apply(MeasureGrayGains, b, nullptr, 0, 0, &block);
    EXPECT_EQ(block.gainR, 1);
    EXPECT_EQ(block.gainB, 4);
}

TEST(ColorToGray, WeightsGreenRedBlue) {
    CImageBuffer c, g;
    ASSERT_EQ(c.Create(2, 1, 24), 1);
    ASSERT_EQ(g.Create(2, 1, 8), 1);
    uint8_t* p = c.bits();
    p[0] = 10, p[1] = 200, p[2] = 100;  // (59 * 200 + 30 * 100 + 11 * 10) / 100 = 149
    p[3] = 255, p[4] = 255, p[5] = 255;
    g.Apply(ColorToGray, c, nullptr, 0, 0, nullptr);
    EXPECT_EQ(g.bits()[0], 149);
    EXPECT_EQ(g.bits()[1], 255);
}

TEST(Brightness, ScalesByTheFactorAndLimits) {
    EXPECT_EQ(adjust8(AdjustBrightnessColor8, 255, 20), 220);
    EXPECT_EQ(adjust8(AdjustBrightnessColor8, 255, 30), 255);
    EXPECT_EQ(adjust8(AdjustBrightnessColor8, -255, 200), 0);
    EXPECT_EQ(adjust8(AdjustBrightnessColor8, -128, 200), 99);  // 200 * 0.498039 = 99.6
    EXPECT_EQ(adjust8(AdjustBrightnessColor8, 1000000, 1), 255);
    EXPECT_EQ(adjust8(AdjustBrightnessColor8, -1000000, 100), 0);
    EXPECT_EQ(adjust16(AdjustBrightnessMono16, 255, 200), 2200);
    EXPECT_EQ(adjust16(AdjustBrightnessMono16, 255, 400), 4095);
    CImageBuffer m;
    m.Create(3, 1, 8);
    m.bits()[1] = 20;
    AdjustmentBlock block{255, 12};
    m.Apply(AdjustBrightnessMono8, m, nullptr, 0, 0, &block);
    EXPECT_EQ(m.bits()[1], 220);
}

TEST(Brightness, EverySampleInVectorRunsIsTheSinglePrecisionProductLimited) {
    // A row of all 256 values, long enough for the vector lanes, at settings from darkening
    // to factors whose products leave the integer range.
    CImageBuffer row;
    ASSERT_EQ(row.Create(256, 1, 8), 1);
    for (int32_t setting : {-300, -2, 1, 60, 187, 100000000}) {
        for (int c = 0; c < 256; ++c) row.bits()[c] = static_cast<uint8_t>(c);
        AdjustmentBlock block{setting, 12};
        row.Apply(AdjustBrightnessMono8, row, nullptr, 0, 0, &block);
        const double f = setting > 0 ? 1.0 + setting * 0.0392156862745098 : 1.0 - -setting * 0.00392156862745098;
        for (int c = 0; c < 256; ++c) {
            const float p = static_cast<float>(c) * static_cast<float>(f);
            ASSERT_EQ(row.bits()[c], p <= 0.0f ? 0 : (p >= 255.0f ? 255 : static_cast<int>(p))) << setting << " " << c;
        }
    }
}

TEST(Brightness, SixtyFourBitPixelsTakeTheProductLimitedAndKeepTheFourthSample) {
    // Every 12-bit value and some above, in pixels of four samples: the three colour samples
    // take the single-precision product limited to 4095, the fourth passes through.
    CImageBuffer row;
    ASSERT_EQ(row.Create(1100, 1, 64), 1);
    for (int32_t setting : {-300, -77, 33, 255, 1000000}) {
        int k = 0;
        test::fill_samples(row, [&] { return k++ * 7 % 5000; });
        AdjustmentBlock block{setting, 12};
        row.Apply(AdjustBrightnessColor16, row, nullptr, 0, 0, &block);
        const double f = setting > 0 ? 1.0 + setting * 0.0392156862745098 : 1.0 - -setting * 0.00392156862745098;
        for (k = 0; k < 4400; ++k) {
            const int c = k * 7 % 5000;
            const float p = static_cast<float>(c) * static_cast<float>(f);
            const int want = k % 4 == 3 ? c : (p <= 0.0f ? 0 : (p >= 4095.0f ? 4095 : static_cast<int>(p)));
            ASSERT_EQ(word(row, k / 4, 0, k % 4), want) << setting << " " << k;
        }
    }
}

TEST(Contrast, TablePointsForPositiveAndNegativeSettings) {
    EXPECT_EQ(adjust8(AdjustContrastColor8, 64, 63), 0);
    EXPECT_EQ(adjust8(AdjustContrastColor8, 64, 64), 0);
    EXPECT_EQ(adjust8(AdjustContrastColor8, 64, 100), 72);
    EXPECT_EQ(adjust8(AdjustContrastColor8, 64, 191), 254);
    EXPECT_EQ(adjust8(AdjustContrastColor8, 64, 192), 255);
    EXPECT_EQ(adjust8(AdjustContrastColor8, -64, 0), 42);
    EXPECT_EQ(adjust8(AdjustContrastColor8, -64, 255), 212);
    EXPECT_EQ(adjust8(AdjustContrastColor8, 128, 255), 0);
    // 16 bits with 12 significant bits: t = 64 * 16 = 1024.
    EXPECT_EQ(adjust16(AdjustContrastMono16, 64, 1023), 0);
    EXPECT_EQ(adjust16(AdjustContrastMono16, 64, 2048), 2048);
    EXPECT_EQ(adjust16(AdjustContrastMono16, 64, 3072), 4095);
    EXPECT_EQ(adjust16(AdjustContrastMono16, 64, 60000), 4095);  // above the table
    EXPECT_EQ(adjust16(AdjustContrastMono16, -64, 0), 682);      // 4096 / 6144 * 1024
}

TEST(Gamma, TablePointsAndSettingZero) {
    EXPECT_EQ(adjust8(AdjustGammaColor8, 200, 128), 0);
    EXPECT_EQ(adjust8(AdjustGammaColor8, 200, 255), 255);
    EXPECT_EQ(adjust8(AdjustGammaColor8, 50, 64), 127);  // sqrt(64 / 255) * 255 = 127.75
    EXPECT_EQ(adjust8(AdjustGammaColor8, 0, 0), 0);      // exponent limited to 0.001
    EXPECT_EQ(adjust8(AdjustGammaColor8, 0, 1), 253);
    EXPECT_EQ(adjust8(AdjustGammaMono8, 0, 0, 8), 255);
    EXPECT_EQ(adjust8(AdjustGammaMono8, -50, 0, 8), 255);  // pow(0, negative) limited
    EXPECT_EQ(adjust8(AdjustGammaMono8, 200, 128, 8), 0);
    EXPECT_EQ(adjust16(AdjustGammaMono16, 200, 4095), 4084);  // (4095 / 4096)^11 * 4095 = 4084.01
    EXPECT_EQ(adjust16(AdjustGammaMono16, 100, 4095), 4094);  // divisor 4096, not 4095
    EXPECT_EQ(adjust16(AdjustGammaMono16, 50, 1024), 2047);   // sqrt(0.25) * 4095
}

TEST(Gamma, PowerFunctionIsExactWhereThePowerIsRepresentable) {
    EXPECT_EQ(correctly_rounded_pow(0.25, 0.5), 0.5);
    EXPECT_EQ(correctly_rounded_pow(0.5, 11.0), 1.0 / 2048.0);
    EXPECT_EQ(correctly_rounded_pow(3.0 / 4096.0, 3.0), 27.0 / 68719476736.0);
    EXPECT_EQ(correctly_rounded_pow(0.75, 2.0), 0.5625);
    EXPECT_EQ(correctly_rounded_pow(0.3, 1.0), 0.3);
    EXPECT_EQ(correctly_rounded_pow(0.0, 0.0), 1.0);
    EXPECT_EQ(correctly_rounded_pow(0.0, 2.0), 0.0);
    EXPECT_EQ(correctly_rounded_pow(1.0, 99.999), 1.0);
    // Known values (correctly rounded): these bits are what both builds must produce.
    EXPECT_EQ(correctly_rounded_pow(0.5, 0.3), 0.81225239635623558);
    EXPECT_EQ(correctly_rounded_pow(100.0 / 255.0, 1.3), 0.29614047281161682);
    EXPECT_EQ(correctly_rounded_pow(0.7, 99.999), 3.2356303721171716e-16);
}

TEST(Gamma, TablesAgreeWithTheCLibraryOnEverySetting) {
    // Table entries from our pow and the C library's pow agree for all settings and all
    // 8-bit and 12-bit entries (the host library's pow is accurate to well under one unit).
    int differences = 0;
    for (int v = 0; v <= 200; v += 1) {
        const double g = v > 100 ? (v - 100) / 10.0 + 1.0 : v / 100.0;
        for (int i = 0; i < 256; ++i)
            differences += static_cast<int>(correctly_rounded_pow(i / 255.0, g) * 255) !=
                           static_cast<int>(std::pow(i / 255.0, g) * 255);
        for (int i = 0; i < 4096; i += 7)
            differences += static_cast<int>(correctly_rounded_pow(i / 4096.0, g) * 4095) !=
                           static_cast<int>(std::pow(i / 4096.0, g) * 4095);
    }
    EXPECT_EQ(differences, 0);
}

TEST(Sharpness, FlatImageUnchangedAndOuterRingNeverWritten) {
    CImageBuffer work, out;
    ASSERT_EQ(work.Create(12, 9, 24), 1);
    ASSERT_EQ(out.Create(12, 9, 24), 1);
    test::fill_samples(work, [] { return 90; });
    std::memcpy(out.bits(), work.bits(), work.size_bytes());
    AdjustmentBlock block{30, 12};
    out.Apply(SharpenColor8, work, nullptr, 0, 0, &block);
    EXPECT_EQ(std::memcmp(out.bits(), work.bits(), work.size_bytes()), 0);

    // A spike: its neighbourhood changes, the two outermost rows and columns do not.
    test::fill_samples(out, [] { return 7; });
    test::fill_samples(work, [] { return 100; });
    pixel(work, 5, 4)[1] = 200;
    out.Apply(SharpenColor8, work, nullptr, 0, 0, &block);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inner = x >= 2 && x <= 9 && y >= 2 && y <= 6;
            if (!inner) {
                ASSERT_EQ(pixel(out, x, y)[1], 7) << x << "," << y;
            }
        }
    // Box of columns 4..7, rows 3..6 for pixel (6, 5): mean (15 * 100 + 200) / 16 = 106,
    // so 100 + (100 - 106) * 30 / 10 = 82.
    EXPECT_EQ(pixel(out, 6, 5)[1], 82);
    // Pixel (5, 4): mean 106, 200 + (94 * 3) = 482, limited.
    EXPECT_EQ(pixel(out, 5, 4)[1], 255);
    EXPECT_EQ(pixel(out, 5, 4)[0], 100);

    // 16 bits and frames of 4 pixels or fewer.
    CImageBuffer w, wo;
    ASSERT_EQ(w.Create(4, 8, 16), 1);
    ASSERT_EQ(wo.Create(4, 8, 16), 1);
    test::fill_random(w, 3, 4095);
    wo.Apply(SharpenMono16, w, nullptr, 0, 0, &block);
    for (size_t i = 0; i < wo.size_bytes(); ++i) ASSERT_EQ(wo.bits()[i], 0);
}

TEST(Sharpness, SixteenBitSpikeAndFourthWordUntouched) {
    CImageBuffer work, out;
    ASSERT_EQ(work.Create(8, 8, 64), 1);
    ASSERT_EQ(out.Create(8, 8, 64), 1);
    test::fill_samples(work, [] { return 1000; });
    test::set_word(work, 4, 4, 2, 3000);
    std::memcpy(out.bits(), work.bits(), work.size_bytes());
    AdjustmentBlock block{10, 16};
    out.Apply(SharpenColor16, work, nullptr, 0, 0, &block);
    EXPECT_EQ(word(out, 4, 4, 2), 3000 + (3000 - 1125));  // mean (15000 + 3000) / 16
    block.sampleBits = 12;
    std::memcpy(out.bits(), work.bits(), work.size_bytes());
    out.Apply(SharpenColor16, work, nullptr, 0, 0, &block);
    EXPECT_EQ(word(out, 4, 4, 2), 4095);
    EXPECT_EQ(word(out, 3, 3, 2), 875);  // 1000 - 125
    test::set_word(out, 4, 4, 3, 0x1234);
    out.Apply(SharpenColor16, work, nullptr, 0, 0, &block);
    EXPECT_EQ(word(out, 4, 4, 3), 0x1234);
}

TEST(Sharpness, SixteenBitSamplesMoveByTheTruncatedTenth) {
    // 12-bit and full-range samples, strengths of every remainder and sign, against the filter
    // written out: c + (c - mean) * s / 10, truncated, limited to the significant bits.
    CImageBuffer work, out;
    ASSERT_EQ(work.Create(40, 7, 16), 1);
    ASSERT_EQ(out.Create(40, 7, 16), 1);
    for (int32_t bits : {12, 16}) {
        const int64_t top = (int64_t{1} << bits) - 1;
        test::fill_random(work, 11, static_cast<uint32_t>(top));
        for (int32_t strength : {-32767, -89, -29, -7, 3, 17, 29, 85, 32767}) {
            AdjustmentBlock block{strength, bits};
            out.Apply(SharpenMono16, work, nullptr, 0, 0, &block);
            for (int y = 2; y < 5; ++y)
                for (int x = 2; x < 38; ++x) {
                    int64_t sum = 0;
                    for (int j = y - 2; j <= y + 1; ++j)
                        for (int i = x - 2; i <= x + 1; ++i) sum += word(work, i, j);
                    const int64_t c = word(work, x, y);
                    const int64_t moved = c + (c - sum / 16) * strength / 10;
                    ASSERT_EQ(word(out, x, y), std::clamp<int64_t>(moved, 0, top)) << bits << " " << strength << " " << x;
                }
        }
    }
}

TEST(HueSaturation, HueRotatesPureRed) {
    EXPECT_EQ(hue_of(120, 0, 0, 0, 255), (std::array<int, 3>{0, 255, 2}));
    EXPECT_EQ(hue_of(60, 0, 0, 0, 255), (std::array<int, 3>{0, 255, 255}));
    // Hue 0 and 360 reproduce a pixel to within one unit.
    for (int hue : {0, 360}) {
        const auto p = hue_of(hue, 0, 30, 140, 222);
        EXPECT_NEAR(p[0], 30, 1);
        EXPECT_NEAR(p[1], 140, 1);
        EXPECT_NEAR(p[2], 222, 1);
    }
}

TEST(HueSaturation, FullDesaturationGivesGrayAndSixteenBitKeepsLowBitsZero) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(16, 16, 32), 1);
    test::fill_random(b, 11, 255);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) pixel(b, x, y)[3] = 0x5A;
    HueBlock block{45, -255, 12};
    b.Apply(AdjustHueSaturation8, b, nullptr, 0, 0, &block);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t* p = pixel(b, x, y);
            ASSERT_LE(std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}), 1);
            ASSERT_EQ(p[3], 0x5A);
        }
    CImageBuffer w;
    ASSERT_EQ(w.Create(1, 1, 48), 1);
    test::set_word(w, 0, 0, 2, 4095);
    test::set_word(w, 0, 0, 1, 60000);  // beyond 12 bits: limited, never outside the tables
    HueBlock wide{120, 0, 12};
    w.Apply(AdjustHueSaturation16, w, nullptr, 0, 0, &wide);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(word(w, 0, 0, c) & 0xF, 0);
}

TEST(HueSaturation, ConcurrentCallsWithDifferentSaturationsUseTheirOwnTables) {
    CImageBuffer source;
    ASSERT_EQ(source.Create(64, 32, 24), 1);
    test::fill_random(source, 21, 255);
    auto run = [&](int saturation, CImageBuffer& out) {
        out.Create(64, 32, 24);
        HueBlock block{30, saturation, 12};
        out.Apply(AdjustHueSaturation8, source, nullptr, 0, 0, &block);
    };
    CImageBuffer expectA, expectB;
    run(-200, expectA);
    run(150, expectB);
    for (int round = 0; round < 20; ++round) {
        CImageBuffer a, b;
        std::thread ta([&] { run(-200, a); });
        std::thread tb([&] { run(150, b); });
        ta.join();
        tb.join();
        ASSERT_EQ(std::memcmp(a.bits(), expectA.bits(), a.size_bytes()), 0);
        ASSERT_EQ(std::memcmp(b.bits(), expectB.bits(), b.size_bytes()), 0);
    }
}

TEST(ColourKernels, FourSamplePixelsGiveTheThreeSamplePixelsResultsAndKeepTheFourth) {
    struct Case {
        const char* name;
        PixelKernel kernel;
        int sampleBytes;
        bool inPlace;
        std::vector<int32_t> block;
    };
    const Case cases[] = {
        {"Hue8", AdjustHueSaturation8, 1, true, {75, -40, 12}},
        {"Hue16", AdjustHueSaturation16, 2, true, {-130, 90, 12}},
        {"Brightness8", AdjustBrightnessColor8, 1, true, {-45, 12}},
        {"Brightness16", AdjustBrightnessColor16, 2, true, {70, 12}},
        {"Gamma16", AdjustGammaColor16, 2, true, {160, 12}},
        {"Contrast8", AdjustContrastColor8, 1, false, {50, 12}},
        {"Contrast16", AdjustContrastColor16, 2, false, {-20, 12}},
        {"Sharpen8", SharpenColor8, 1, false, {25, 12}},
        {"Sharpen16", SharpenColor16, 2, false, {30, 12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int s = c.sampleBytes;
        CImageBuffer three, four, threeOut, fourOut;
        ASSERT_EQ(three.Create(67, 13, 24 * s), 1);
        ASSERT_EQ(four.Create(67, 13, 32 * s), 1);
        test::fill_random(three, 7, s == 1 ? 255 : 4095);
        test::fill_random(four, 8, 65535);  // the fourth samples
        for (int row = 0; row < 13; ++row)
            for (int x = 0; x < 67; ++x) std::memcpy(pixel(four, x, row), pixel(three, x, row), 3 * s);
        threeOut.CreateLike(&three);
        fourOut.CreateLike(&four);
        std::memcpy(threeOut.bits(), three.bits(), three.size_bytes());
        std::memcpy(fourOut.bits(), four.bits(), four.size_bytes());
        std::vector<int32_t> block = c.block;
        threeOut.Apply(c.kernel, c.inPlace ? threeOut : three, nullptr, 0, 0, block.data());
        block = c.block;
        fourOut.Apply(c.kernel, c.inPlace ? fourOut : four, nullptr, 0, 0, block.data());
        for (int row = 0; row < 13; ++row)
            for (int x = 0; x < 67; ++x) {
                ASSERT_EQ(std::memcmp(pixel(fourOut, x, row), pixel(threeOut, x, row), 3 * s), 0) << x << "," << row;
                ASSERT_EQ(std::memcmp(pixel(fourOut, x, row) + 3 * s, pixel(four, x, row) + 3 * s, s), 0);
            }
    }
}
