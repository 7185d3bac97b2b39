#include <gtest/gtest.h>

#include "imaging/image_buffer.h"
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_selection.h"
#include "support/test_image.h"

using namespace imvela;
using test::pixel;
using test::word;

namespace {

// Source of 3 rows whose samples encode row and column, converted into a fresh buffer.
void convert(CImageBuffer& out, int outBits, CImageBuffer& in, PixelKernel kernel) {
    ASSERT_EQ(out.Create(in.width(), in.height(), outBits), 1);
    EXPECT_EQ(out.Apply(kernel, in, nullptr, 0, 0, nullptr), 1);
}

}  // namespace

TEST(Conversion, MonoReductionSelectsBitsAndFlips) {
    CImageBuffer in, out;
    ASSERT_EQ(in.Create(3, 3, 16), 1);
    for (int r = 0; r < 3; ++r) {
        test::set_word(in, 0, r, 0, 4095);
        test::set_word(in, 1, r, 0, 16);
        test::set_word(in, 2, r, 0, static_cast<uint16_t>(1023 + r));  // row marker
    }
    convert(out, 8, in, Shift16To8);
    EXPECT_EQ(*pixel(out, 0, 0), 255);
    EXPECT_EQ(*pixel(out, 1, 0), 1);
    EXPECT_EQ(*pixel(out, 2, 0), 63);
    convert(out, 8, in, ReduceMono16Flip10);
    EXPECT_EQ(*pixel(out, 2, 2), 255);  // row 0's 1023 lands in the last row
    EXPECT_EQ(*pixel(out, 2, 1), 0);    // 1024: bits 2..9 are zero
    EXPECT_EQ(*pixel(out, 0, 0), 255);  // 4095 >> 2 & 0xFF
    convert(out, 8, in, ReduceMono16Flip12);
    EXPECT_EQ(*pixel(out, 2, 0), 64);  // row 2's 1025 >> 4
}

TEST(Conversion, ColourReductionAndChannelWork) {
    CImageBuffer in, out;
    ASSERT_EQ(in.Create(5, 2, 64), 1);
    for (int r = 0; r < 2; ++r)
        for (int x = 0; x < 5; ++x) {
            test::set_word(in, x, r, 0, static_cast<uint16_t>(16 * x + 1000 * r));
            test::set_word(in, x, r, 1, 4095);
            test::set_word(in, x, r, 2, 1024);
            test::set_word(in, x, r, 3, 0x7777);
        }
    convert(out, 24, in, Shift48To24);
    EXPECT_EQ(pixel(out, 3, 0)[0], 3);
    EXPECT_EQ(pixel(out, 3, 0)[1], 255);
    EXPECT_EQ(pixel(out, 3, 0)[2], 64);
    EXPECT_EQ(pixel(out, 4, 1)[0], (64 + 1000) >> 4);
    convert(out, 24, in, ReduceColor16Flip10);
    EXPECT_EQ(pixel(out, 4, 1)[0], 16);  // row 0, 64 >> 2
    EXPECT_EQ(pixel(out, 4, 0)[0], ((64 + 1000) >> 2) & 0xFF);
    EXPECT_EQ(pixel(out, 4, 0)[2], 0);

    CImageBuffer in48, e;
    ASSERT_EQ(in48.Create(2, 1, 48), 1);
    test::set_word(in48, 1, 0, 0, 1);
    test::set_word(in48, 1, 0, 1, 2);
    test::set_word(in48, 1, 0, 2, 4095);
    convert(e, 48, in48, ExpandColor48By4);
    EXPECT_EQ(word(e, 1, 0, 0), 16);
    EXPECT_EQ(word(e, 1, 0, 2), 65520);
    convert(e, 48, in48, ExpandColor48SwapBy6);
    EXPECT_EQ(word(e, 1, 0, 0), (4095 << 6) & 0xFFFF);
    EXPECT_EQ(word(e, 1, 0, 1), 128);
    EXPECT_EQ(word(e, 1, 0, 2), 64);
    convert(e, 64, in, ExpandColor64SwapBy4);
    EXPECT_EQ(word(e, 2, 1, 0), 1024 << 4);
    EXPECT_EQ(word(e, 2, 1, 2), (32 + 1000) << 4);
    EXPECT_EQ(word(e, 2, 1, 3), 0xFFFF);
    convert(e, 64, in, ExpandColor64By6);
    EXPECT_EQ(word(e, 1, 0, 0), 16 << 6);
    EXPECT_EQ(word(e, 1, 0, 3), 0xFFFF);

    CImageBuffer m, me;
    ASSERT_EQ(m.Create(2, 1, 16), 1);
    test::set_word(m, 0, 0, 0, 4095);
    test::set_word(m, 1, 0, 0, 1023);
    convert(me, 16, m, ExpandMono16By4);
    EXPECT_EQ(word(me, 0, 0), 65520);
    convert(me, 16, m, ExpandMono16By6);
    EXPECT_EQ(word(me, 1, 0), 65472);
}

TEST(Conversion, ByteReorderingFlipsAndAlpha) {
    CImageBuffer in, out;
    ASSERT_EQ(in.Create(3, 3, 32), 1);
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = pixel(in, x, r);
            p[0] = static_cast<uint8_t>(10 * r + x), p[1] = 100, p[2] = 200, p[3] = 5;
        }
    convert(out, 24, in, Drop32To24);
    EXPECT_EQ(pixel(out, 2, 1)[0], 12);
    EXPECT_EQ(pixel(out, 2, 1)[2], 200);
    convert(out, 24, in, FlipRows24);
    EXPECT_EQ(pixel(out, 1, 0)[0], 21);
    EXPECT_EQ(pixel(out, 1, 2)[0], 1);
    EXPECT_EQ(out.bits()[9], 0);  // padding after the last pixel untouched
    convert(out, 32, in, SwapRedBlue24);
    EXPECT_EQ(pixel(out, 1, 1)[0], 200);
    EXPECT_EQ(pixel(out, 1, 1)[2], 11);
    EXPECT_EQ(pixel(out, 1, 1)[3], 0);
    convert(out, 32, in, InvertAlpha32);
    EXPECT_EQ(pixel(out, 1, 1)[3], 250);
    EXPECT_EQ(pixel(out, 1, 1)[0], 11);

    CImageBuffer fresh;
    ASSERT_EQ(fresh.Create(4, 2, 32), 1);
    convert(out, 32, fresh, InvertAlpha32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pixel(out, x, y)[3], 255);

    CImageBuffer g, f;
    ASSERT_EQ(g.Create(3, 3, 8), 1);
    for (int r = 0; r < 3; ++r) std::memset(pixel(g, 0, r), r + 1, 4);  // padding included
    convert(f, 8, g, FlipRows);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(*pixel(f, 0, r), 3 - r);
}

TEST(Conversion, ScaleFlipTakesEverySecondPixelFromTheLastRow) {
    CImageBuffer in, out;
    ASSERT_EQ(in.Create(1292, 1040, 24), 1);
    for (int y = 0; y < 1040; ++y)
        for (int x = 0; x < 1292; ++x) {
            uint8_t* p = pixel(in, x, y);
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(x >> 8), p[2] = static_cast<uint8_t>(y);
        }
    ASSERT_EQ(out.Create(646, 520, 24), 1);
    EXPECT_EQ(out.ApplyScaled(ScaleFlip24, in, nullptr, nullptr), 1);
    for (int i = 0; i < 520; i += 37)
        for (int j = 0; j < 646; j += 13) {
            const uint8_t* p = pixel(out, j, i);
            ASSERT_EQ(p[0] | (p[1] << 8), 2 * j);
            ASSERT_EQ(p[2], static_cast<uint8_t>(1039 - 2 * i));
        }
    CImageBuffer g, d;
    ASSERT_EQ(g.Create(3, 2, 8), 1);
    std::memset(pixel(g, 0, 0), 1, 3);
    std::memset(pixel(g, 0, 1), 2, 3);
    ASSERT_EQ(d.Create(7, 5, 8), 1);
    EXPECT_EQ(d.ApplyScaled(ScaleFlip8, g, nullptr, nullptr), 1);
    EXPECT_EQ(*pixel(d, 6, 0), 2);
    EXPECT_EQ(*pixel(d, 6, 4), 1);
    EXPECT_EQ(d.ApplyScaled(nullptr, g, nullptr, nullptr), 0);
}

TEST(Conversion, RegionAverages) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(30, 20, 8), 1);
    test::fill_samples(b, [] { return 200; });
    for (int y = 5; y < 15; ++y) std::memset(pixel(b, 3, y), 7, 10);
    ImageRect r{3, 5, 13, 15};
    EXPECT_EQ(b.Apply(RegionAverage8, b, &r, 3, 5, nullptr), 7);
    CImageBuffer w;
    ASSERT_EQ(w.Create(10, 10, 16), 1);
    test::fill_samples(w, [] { return 400; });
    EXPECT_EQ(w.Apply(RegionAverage16, w, nullptr, 0, 0, nullptr), 100);
    test::fill_samples(w, [] { return 1024; });
    EXPECT_EQ(w.Apply(RegionAverage16, w, nullptr, 0, 0, nullptr), 0);
}

TEST(KernelSelection, ModesPickTheirKernels) {
    EXPECT_EQ(select_kernel(KernelOperation::Demosaic, 3), DemosaicBayer8);
    EXPECT_EQ(select_kernel(KernelOperation::Demosaic, 5), DemosaicBayer16);
    EXPECT_EQ(select_kernel(KernelOperation::Demosaic, 1), DemosaicBayer16);  // the luminance gray mode
    EXPECT_EQ(select_kernel(KernelOperation::HueSaturation, 0), nullptr);
    EXPECT_EQ(select_kernel(KernelOperation::Gamma, 1), AdjustGammaMono16);
    EXPECT_EQ(select_kernel(KernelOperation::Sharpness, 2), SharpenColor8);
    EXPECT_EQ(select_kernel(KernelOperation::ColorToGray, 0), ColorToGray);
    EXPECT_EQ(select_kernel(KernelOperation::PreviewToDisplayable, 0), nullptr);
    EXPECT_EQ(select_kernel(KernelOperation::PreviewToDisplayable, 3), Drop32To24);
    EXPECT_EQ(select_kernel(KernelOperation::RegionAverage, 4), RegionAverage16);
    EXPECT_EQ(select_kernel(KernelOperation::Brightness, 6), nullptr);
    EXPECT_EQ(select_preview_scale_kernel(1), ScaleFlip8);
    EXPECT_EQ(select_preview_scale_kernel(4), ScaleFlip24);
}

TEST(Conversion, WideRowsPackThreeBytePixelsExactlyAndSwapInPlace) {
    CImageBuffer in, out, c48;
    ASSERT_EQ(in.Create(21, 2, 32), 1);
    ASSERT_EQ(c48.Create(21, 2, 48), 1);
    test::fill_random(in, 77, 255);
    test::fill_random(c48, 78, 4095);
    ASSERT_EQ(out.Create(21, 2, 24), 1);
    std::memset(out.bits(), 0xEE, out.size_bytes());
    out.Apply(Drop32To24, in, nullptr, 0, 0, nullptr);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 21; ++x) ASSERT_EQ(std::memcmp(pixel(out, x, y), pixel(in, x, y), 3), 0) << x;
        ASSERT_EQ(pixel(out, 0, y)[63], 0xEE);  // padding byte after the row
    }
    out.Apply(Shift48To24, c48, nullptr, 0, 0, nullptr);
    for (int x = 0; x < 21; ++x)
        for (int c = 0; c < 3; ++c) ASSERT_EQ(pixel(out, x, 1)[c], (word(c48, x, 1, c) >> 4) & 0xFF);
    CImageBuffer copy;
    ASSERT_EQ(copy.CreateLike(&out), 1);
    std::memcpy(copy.bits(), out.bits(), out.size_bytes());
    out.Apply(SwapRedBlue24, out, nullptr, 0, 0, nullptr);
    for (int x = 0; x < 21; ++x) {
        ASSERT_EQ(pixel(out, x, 0)[0], pixel(copy, x, 0)[2]);
        ASSERT_EQ(pixel(out, x, 0)[1], pixel(copy, x, 0)[1]);
        ASSERT_EQ(pixel(out, x, 0)[2], pixel(copy, x, 0)[0]);
    }
}
