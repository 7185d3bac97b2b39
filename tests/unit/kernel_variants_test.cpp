// Every instruction-set variant and every band count gives the baseline's bytes.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

#include "imaging/band_pool.h"
#include "imaging/kernel_variant.h"
#include "imaging/row_bands.h"
#include "support/test_image.h"

using namespace imvela;

namespace {

using Member = PixelKernel KernelVariant::*;

struct Case {
    const char* name;
    Member kernel;
    int srcBits, dstBits;
    bool inPlace;
    std::vector<int32_t> block;  // empty: no block
};

std::vector<Case> cases() {
    std::vector<Case> list = {
        {"Balance8", &KernelVariant::MeasureBayerBalance8, 8, 8, true, {0, 0, 0, 1}},
        {"Balance16", &KernelVariant::MeasureBayerBalance16, 16, 16, true, {0, 0, 0, 2}},
        {"Sums8", &KernelVariant::SumBayerColours8, 8, 8, true, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"Sums16", &KernelVariant::SumBayerColours16, 16, 16, true, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"GrayGains", &KernelVariant::MeasureGrayGains, 8, 8, true, {3, 128, 128, 128, 128, 1, 2, 3, 4, 8}},
        {"ApplyGray8", &KernelVariant::ApplyGrayGains8, 8, 8, true, {1, 140, 90, 128, 300, 5, -9, 0, 3, 8}},
        {"ApplyGray16", &KernelVariant::ApplyGrayGains16, 16, 16, true, {2, 140, 90, 128, 300, 5, -9, 0, 3, 12}},
        {"ColorToGray", &KernelVariant::ColorToGray, 24, 8, false, {}},
        {"ColorToGray16", &KernelVariant::ColorToGray16, 48, 16, false, {}},
        {"Hue8", &KernelVariant::AdjustHueSaturation8, 32, 32, true, {40, -70, 12}},
        {"Hue16", &KernelVariant::AdjustHueSaturation16, 48, 48, true, {-130, 90, 12}},
        {"HueTone16", &KernelVariant::AdjustHueSaturationTone16, 64, 64, true, {75, -40, 12}},
        {"GammaMono8", &KernelVariant::AdjustGammaMono8, 8, 8, true, {60, 12}},
        {"GammaMono16", &KernelVariant::AdjustGammaMono16, 16, 16, true, {150, 12}},
        {"GammaColor16", &KernelVariant::AdjustGammaColor16, 64, 64, true, {30, 12}},
        {"ContrastMono8", &KernelVariant::AdjustContrastMono8, 8, 8, true, {-40, 12}},
        {"ContrastColor8", &KernelVariant::AdjustContrastColor8, 32, 32, true, {50, 12}},
        {"ContrastMono16", &KernelVariant::AdjustContrastMono16, 16, 16, true, {70, 12}},
        {"ContrastColor16", &KernelVariant::AdjustContrastColor16, 48, 48, true, {-20, 12}},
        {"BrightnessMono8", &KernelVariant::AdjustBrightnessMono8, 8, 8, true, {-60, 12}},
        {"BrightnessColor8", &KernelVariant::AdjustBrightnessColor8, 24, 24, true, {90, 12}},
        {"BrightnessMono16", &KernelVariant::AdjustBrightnessMono16, 16, 16, true, {33, 12}},
        {"BrightnessColor16", &KernelVariant::AdjustBrightnessColor16, 64, 64, true, {-77, 12}},
        {"SharpenMono8", &KernelVariant::SharpenMono8, 8, 8, false, {300, 12}},
        {"SharpenColor8", &KernelVariant::SharpenColor8, 32, 32, false, {15, 12}},
        {"SharpenMono16", &KernelVariant::SharpenMono16, 16, 16, false, {40000, 12}},
        {"SharpenColor16", &KernelVariant::SharpenColor16, 48, 48, false, {30, 12}},
        {"FlipRows", &KernelVariant::FlipRows, 24, 24, false, {}},
        {"SharpenInPlace", &KernelVariant::SharpenInPlace, 32, 32, true, {17, 12, 3, 1}},
        {"FlipRows24", &KernelVariant::FlipRows24, 32, 24, false, {}},
        {"Drop32To24", &KernelVariant::Drop32To24, 32, 24, false, {}},
        {"Shift16To8", &KernelVariant::Shift16To8, 16, 8, false, {}},
        {"ReduceMono16Flip12", &KernelVariant::ReduceMono16Flip12, 16, 8, false, {}},
        {"ReduceMono16Flip10", &KernelVariant::ReduceMono16Flip10, 16, 8, false, {}},
        {"Shift48To24", &KernelVariant::Shift48To24, 48, 24, false, {}},
        {"Shift64To24", &KernelVariant::Shift48To24, 64, 24, false, {}},
        {"ReduceColor16Flip10", &KernelVariant::ReduceColor16Flip10, 48, 24, false, {}},
        {"ReduceColor16Flip12", &KernelVariant::ReduceColor16Flip12, 64, 24, false, {}},
        {"ExpandMono16By4", &KernelVariant::ExpandMono16By4, 16, 16, false, {}},
        {"ExpandMono16By6", &KernelVariant::ExpandMono16By6, 16, 16, false, {}},
        {"ExpandColor48By6", &KernelVariant::ExpandColor48By6, 48, 48, false, {}},
        {"ExpandColor48SwapBy4", &KernelVariant::ExpandColor48SwapBy4, 48, 48, false, {}},
        {"ExpandColor64By4", &KernelVariant::ExpandColor64By4, 64, 64, false, {}},
        {"ExpandColor64SwapBy6", &KernelVariant::ExpandColor64SwapBy6, 64, 64, false, {}},
        {"ExpandColor48By4", &KernelVariant::ExpandColor48By4, 48, 48, false, {}},
        {"ExpandColor48SwapBy6", &KernelVariant::ExpandColor48SwapBy6, 48, 48, false, {}},
        {"ExpandColor64By6", &KernelVariant::ExpandColor64By6, 64, 64, false, {}},
        {"ExpandColor64SwapBy4", &KernelVariant::ExpandColor64SwapBy4, 64, 64, false, {}},
        {"SwapRedBlue24", &KernelVariant::SwapRedBlue24, 24, 24, true, {}},
        {"SwapRedBlue32To24", &KernelVariant::SwapRedBlue24, 32, 24, false, {}},
        {"InvertAlpha32", &KernelVariant::InvertAlpha32, 32, 32, true, {}},
        {"RegionAverage8", &KernelVariant::RegionAverage8, 8, 8, true, {}},
        {"RegionAverage16", &KernelVariant::RegionAverage16, 16, 16, true, {}},
    };
    for (int bits : {24, 32}) {
        list.push_back({"GammaColor8", &KernelVariant::AdjustGammaColor8, bits, bits, true, {140, 12}});
        list.push_back({"ApplyTable8", &KernelVariant::ApplyTable8, bits, bits, true, {3}});
    }
    for (int bits : {16, 48, 64})
        list.push_back({"ApplyTable16", &KernelVariant::ApplyTable16, bits, bits, true, {bits == 16 ? 1 : 3}});
    for (int phase = 0; phase < 4; ++phase) {
        const std::vector<int32_t> gains{phase, phase == 3 ? 400 : 130, 100, phase == 2 ? 0 : 85};
        list.push_back({"Demosaic8", &KernelVariant::DemosaicBayer8, 8, phase & 1 ? 32 : 24, false, gains});
        list.push_back({"DemosaicBorder8", &KernelVariant::DemosaicBayerBorder8, 8, 24, false, gains});
        list.push_back({"Demosaic16", &KernelVariant::DemosaicBayer16, 16, phase & 1 ? 64 : 48, false, gains});
        list.push_back({"DemosaicBorder16", &KernelVariant::DemosaicBayerBorder16, 16, 48, false, gains});
    }
    return list;
}

// The block as the kernel receives it; the table kernel gets random table bytes.
std::vector<int32_t> block_for(const Case& c, uint32_t seed) {
    std::vector<int32_t> block = c.block;
    if (c.kernel == &KernelVariant::ApplyTable8) {
        std::mt19937 rng(seed);
        block.resize(1 + 256 / 4);
        for (size_t i = 1; i < block.size(); ++i) block[i] = static_cast<int32_t>(rng());
    }
    if (c.kernel == &KernelVariant::SharpenInPlace) {
        // The history rows: rows 0, 1 and height - 2 of a frame of constant value 77.
        static const std::vector<uint8_t> row(4 * 200, 77);
        block.resize(4 + 3 * sizeof(void*) / 4);
        const uint8_t* rows[3] = {row.data(), row.data(), row.data()};
        std::memcpy(&block[4], rows, sizeof rows);
    }
    const bool toned = c.kernel == &KernelVariant::AdjustHueSaturationTone16;
    if (c.kernel == &KernelVariant::ApplyTable16 || toned) {
        // A table of 1000 random entries; its address follows the channels (or the hue
        // block) and the size.
        static std::vector<uint16_t> table;
        std::mt19937 rng(seed);
        table.resize(1000);
        for (uint16_t& e : table) e = static_cast<uint16_t>(rng());
        const size_t size_at = toned ? 3 : 1;
        block.resize(size_at + 1 + sizeof(void*) / 4 + 1);
        block[size_at] = 1000;
        const uint16_t* address = table.data();
        std::memcpy(&block[size_at + 1], &address, sizeof address);
    }
    return block;
}

// The destination's bytes (and the block, which measurements write) after one kernel call.
struct Outcome {
    std::vector<uint8_t> pixels;
    std::vector<int32_t> block;
    int32_t result;
};

Outcome run(const Case& c, PixelKernel kernel, int width, int height, uint32_t seed) {
    CImageBuffer src, dst;
    EXPECT_EQ(src.Create(width, height, c.srcBits), 1);
    EXPECT_EQ(dst.Create(width, height, c.dstBits), 1);
    test::fill_random(src, seed, 65535);
    test::fill_random(dst, seed + 1, 65535);
    Outcome o{{}, block_for(c, seed), 0};
    CImageBuffer& from = c.inPlace ? dst : src;
    o.result = dst.Apply(kernel, from, nullptr, 0, 0, o.block.empty() ? nullptr : o.block.data());
    o.pixels.assign(dst.bits(), dst.bits() + dst.size_bytes());
    return o;
}

const int kSizes[][2] = {{67, 13}, {130, 9}, {5, 5}, {1, 6}};

TEST(KernelVariants, EveryVariantGivesTheBaselinesBytes) {
    const KernelVariant& base = kernel_variant(0);
    int compared = 0;
    for (int32_t v = 1; v < kernel_variant_count(); ++v) {
        if (!kernel_variant_supported(v)) continue;
        const KernelVariant& variant = kernel_variant(v);
        for (const Case& c : cases())
            for (const auto& size : kSizes) {
                const uint32_t seed = static_cast<uint32_t>(size[0] * 31 + c.srcBits);
                const Outcome want = run(c, base.*c.kernel, size[0], size[1], seed);
                const Outcome got = run(c, variant.*c.kernel, size[0], size[1], seed);
                SCOPED_TRACE(std::string(variant.name) + " " + c.name + " " + std::to_string(size[0]));
                EXPECT_EQ(got.result, want.result);
                EXPECT_EQ(got.block, want.block);
                EXPECT_TRUE(got.pixels == want.pixels);
                ++compared;
            }
    }
    // Both builds run on processors with SSE4.1 and AVX2.
    EXPECT_GT(compared, 0);
}

// A kernel added to the variant table without a case here would go unchecked.
TEST(KernelVariants, EveryKernelOfTheVariantTableHasACase) {
    const std::vector<Case> all = cases();
    auto has_case = [&all](Member kernel) {
        for (const Case& c : all)
            if (c.kernel == kernel) return true;
        return false;
    };
#define IMVELA_VARIANT_CASE_CHECK(k) EXPECT_TRUE(has_case(&KernelVariant::k)) << #k " has no case";
    IMVELA_VARIANT_KERNELS(IMVELA_VARIANT_CASE_CHECK)
#undef IMVELA_VARIANT_CASE_CHECK
}

TEST(KernelVariants, BandsGiveTheSingleCallsBytesAtEveryThreadCount) {
    const BandPool::Lease workers;  // bands really run on other threads
    const struct {
        PixelKernel kernel;
        BandShape shape;
        int srcBits, dstBits;
        std::vector<int32_t> block;
    } banded[] = {
        {DemosaicBayer8, BandShape::TwoBelow, 8, 24, {1, 120, 100, 90}},
        {DemosaicBayer16, BandShape::TwoBelow, 16, 64, {2, 120, 100, 90}},
        {SharpenColor8, BandShape::TwoBelow, 24, 24, {20, 12}},
        {SharpenMono16, BandShape::TwoBelow, 16, 16, {20, 12}},
        {AdjustHueSaturation8, BandShape::Rows, 24, 24, {70, 30, 12}},
        {ApplyGrayGains8, BandShape::Rows, 8, 8, {3, 140, 90, 128, 300, 5, -9, 0, 3, 8}},
        {AdjustBrightnessColor16, BandShape::Rows, 48, 48, {-30, 12}},
    };
    for (const auto& b : banded)
        for (int bands : {2, 3, 8}) {
            CImageBuffer src, single, split;
            ASSERT_EQ(src.Create(97, 261, b.srcBits), 1);
            ASSERT_EQ(single.Create(97, 261, b.dstBits), 1);
            ASSERT_EQ(split.Create(97, 261, b.dstBits), 1);
            test::fill_random(src, 7, 4095);
            std::vector<int32_t> block = b.block;
            single.Apply(b.kernel, src, nullptr, 0, 0, block.data());
            apply_in_bands(b.kernel, split, src, block.data(), b.shape, bands);
            EXPECT_EQ(0, std::memcmp(single.bits(), split.bits(), single.size_bytes())) << bands << " bands";
        }
    // White balance from the colour sums of the bands.
    for (int bits : {8, 16})
        for (int bands : {1, 2, 3, 8}) {
            CImageBuffer raw;
            ASSERT_EQ(raw.Create(97, 261, bits), 1);
            test::fill_random(raw, 5 + bits, bits == 8 ? 255 : 4095);
            BalanceBlock single{1, 1, 1, 3}, split = single;  // a measurement writes all three
            raw.Apply(bits == 8 ? MeasureBayerBalance8 : MeasureBayerBalance16, raw, nullptr, 0, 0, &single);
            measure_balance_in_bands(raw, bits == 8 ? SumBayerColours8 : SumBayerColours16, &split, bands);
            EXPECT_EQ(single.greenGain, 100);
            EXPECT_EQ(std::vector<int32_t>({single.blueGain, single.greenGain, single.redGain}),
                      std::vector<int32_t>({split.blueGain, split.greenGain, split.redGain}))
                << bits << " bits, " << bands << " bands";
        }
    // Sharpness on the image itself, history rows and band seams included.
    for (int bits : {8, 32, 48, 64})
        for (int bands : {1, 2, 3, 8}) {
            CImageBuffer image, copy, expected;
            ASSERT_EQ(image.Create(97, 261, bits), 1);
            test::fill_random(image, 11, 4095);
            ASSERT_EQ(copy.CreateLike(&image), 1);
            ASSERT_EQ(expected.CreateLike(&image), 1);
            std::memcpy(copy.bits(), image.bits(), image.size_bytes());
            std::memcpy(expected.bits(), image.bits(), image.size_bytes());
            AdjustmentBlock block{bits == 8 ? 300 : 13, 12};
            const int channels = bits == 8 ? 1 : 3;
            expected.Apply(channels == 1 ? SharpenMono8 : (bits >= 48 ? SharpenColor16 : SharpenColor8), copy, nullptr,
                           0, 0, &block);
            ASSERT_TRUE(sharpen_in_bands(image, block, channels, bands));
            EXPECT_EQ(0, std::memcmp(expected.bits(), image.bits(), image.size_bytes())) << bits << " bits, " << bands;
        }
}

TEST(KernelVariants, DemosaicClearingTheFourthSampleGivesTheSingleCallsBytesOverAnyPriorContent) {
    const BandPool::Lease workers;
    for (auto [kernel, border, srcBits, dstBits] : {std::tuple{&DemosaicBayer8, &DemosaicBayerBorder8, 8, 32},
                                                    {&DemosaicBayer16, &DemosaicBayerBorder16, 16, 64}})
        for (int bands : {1, 2, 3}) {
            // Rows of 1101 pixels, 261 of them: bands of several runs (about a quarter of a
            // megabyte each), the last of odd length.
            CImageBuffer src, single, split;
            ASSERT_EQ(src.Create(1101, 261, srcBits), 1);
            ASSERT_EQ(single.Create(1101, 261, dstBits), 1);
            ASSERT_EQ(split.Create(1101, 261, dstBits), 1);
            test::fill_random(src, 9, 4095);
            test::fill_random(split, 10, 65535);
            DemosaicBlock block{3, 120, 100, 90};
            // The border pass completes the frame, as in the pipeline; new images hold zeros.
            single.Apply(kernel, src, nullptr, 0, 0, &block);
            single.Apply(border, src, nullptr, 0, 0, &block);
            apply_in_bands_clearing_fourth(kernel, split, src, &block, bands);
            split.Apply(border, src, nullptr, 0, 0, &block);
            EXPECT_EQ(0, std::memcmp(single.bits(), split.bits(), single.size_bytes())) << dstBits << " bits, " << bands;
        }
}

TEST(KernelVariants, PoolStopsCleanlyWhileFramesRun) {
    // Frames keep running while leases come and go; the last lease stops the workers.
    std::atomic<bool> stop{false};
    std::vector<std::thread> frames;
    std::atomic<int> total{0};
    for (int t = 0; t < 2; ++t)
        frames.emplace_back([&] {
            std::vector<int> hits(5);
            while (!stop.load()) {
                BandPool::shared().run(5, [](void* context, int32_t band) { ++(*static_cast<std::vector<int>*>(context))[band]; },
                                       &hits);
                total.fetch_add(1);
            }
            for (int h : hits) EXPECT_EQ(h, hits[0]);
        });
    for (int i = 0; i < 50; ++i) {
        const BandPool::Lease lease;
        std::this_thread::yield();
    }
    stop = true;
    for (std::thread& t : frames) t.join();
    EXPECT_GT(total.load(), 0);
}

}  // namespace
