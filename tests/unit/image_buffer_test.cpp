#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "files/bitmap_file.h"
#include "files/file_buffer.h"
#include "imaging/image_buffer.h"
#include "support/test_image.h"

using namespace imvela;

namespace {

std::vector<uint8_t> read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

std::string temp_path(const char* name) { return std::string(::testing::TempDir()) + name; }

// Records the arguments a kernel receives.
struct Call {
    int count = 0;
    ImageRect rect{};
    int32_t x = 0, y = 0, dstStride = 0, srcStride = 0;
    uint16_t dstBytes = 0, srcBytes = 0;
};
Call g_call;
int32_t recording_kernel(uint8_t*, const uint8_t*, const ImageRect& rect, int32_t x, int32_t y, uint16_t dstBytes,
                         uint16_t srcBytes, int32_t dstStride, int32_t srcStride, void*, int32_t) {
    ++g_call.count;
    g_call.rect = rect;
    g_call.x = x;
    g_call.y = y;
    g_call.dstBytes = dstBytes;
    g_call.srcBytes = srcBytes;
    g_call.dstStride = dstStride;
    g_call.srcStride = srcStride;
    return 7;
}

}  // namespace

TEST(ImageBuffer, StrideRoundsWholeBytesPerRowUpToFour) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(1, 1, 24), 1);
    EXPECT_EQ(b.stride(), 4);
    ASSERT_EQ(b.Create(3, 2, 8), 1);
    EXPECT_EQ(b.stride(), 4);
    ASSERT_EQ(b.Create(1292, 1040, 16), 1);
    EXPECT_EQ(b.stride(), 2584);
    ASSERT_EQ(b.Create(5, 1, 48), 1);
    EXPECT_EQ(b.stride(), 32);
    EXPECT_EQ(b.info().header.biSize, 40u);
    EXPECT_EQ(b.info().header.biHeight, 1);
    EXPECT_EQ(b.info().header.biBitCount, 48);
    EXPECT_EQ(b.info().header.biSizeImage, 0u);
}

TEST(ImageBuffer, RefusedCreationLeavesTheBufferAsItWas) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(4, 3, 8), 1);
    uint8_t* bits = b.bits();
    bits[0] = 99;
    EXPECT_EQ(b.Create(0, 10, 8), 0);
    EXPECT_EQ(b.Create(10, -1, 8), 0);
    EXPECT_EQ(b.Create(10, 10, 0), 0);
    EXPECT_EQ(b.Create(10, 10, 12), 0);
    EXPECT_EQ(b.Create(0x7FFFFFFF, 2, 64), 0);  // pixel memory beyond 32-bit sizes
    EXPECT_EQ(b.CreateLike(nullptr), 0);
    CImageBuffer empty;
    EXPECT_EQ(b.CreateLike(&empty), 0);
    EXPECT_EQ(b.width(), 4);
    EXPECT_EQ(b.bits(), bits);
    EXPECT_EQ(bits[0], 99);
}

TEST(ImageBuffer, EightBitBuffersCarryTheGrayRampAndCreateLikeCopiesTheFormat) {
    CImageBuffer a, b;
    ASSERT_EQ(a.Create(7, 5, 8), 1);
    for (int i = 0; i < 256; ++i) {
        const RgbQuad& q = a.info().colors[i];
        ASSERT_TRUE(q.red == i && q.green == i && q.blue == i && q.reserved == 0) << i;
    }
    ASSERT_EQ(b.CreateLike(&a), 1);
    EXPECT_EQ(b.width(), 7);
    EXPECT_EQ(b.height(), 5);
    EXPECT_EQ(b.stride(), 8);
    EXPECT_EQ(b.info().colors[200].green, 200);
    EXPECT_EQ(b.bits()[0], 0);  // new pixel memory is zeroed
    b.Release();
    EXPECT_EQ(b.width(), 0);
    EXPECT_FALSE(b.has_pixels());
    EXPECT_EQ(b.info().header.biSize, 40u);
    EXPECT_EQ(b.info().colors[200].green, 0);
}

TEST(ImageBuffer, ApplyPassesWholePictureAndConvertsRowsFromTheOtherEnd) {
    CImageBuffer d, s;
    ASSERT_EQ(d.Create(20, 10, 24), 1);
    ASSERT_EQ(s.Create(20, 10, 8), 1);
    g_call = {};
    EXPECT_EQ(d.Apply(recording_kernel, s, nullptr, 0, 0, nullptr), 7);
    EXPECT_EQ(g_call.count, 1);
    EXPECT_EQ(g_call.rect.left, 0);
    EXPECT_EQ(g_call.rect.top, 0);
    EXPECT_EQ(g_call.rect.right, 20);
    EXPECT_EQ(g_call.rect.bottom, 10);
    EXPECT_EQ(g_call.x, 0);
    EXPECT_EQ(g_call.y, 0);
    EXPECT_EQ(g_call.dstBytes, 3);
    EXPECT_EQ(g_call.srcBytes, 1);
    EXPECT_EQ(g_call.dstStride, 60);
    EXPECT_EQ(g_call.srcStride, 20);

    // Rectangle (2, 1)-(6, 4) placed at (3, 2): destination rows 2..4 from the top are memory
    // rows counted from the bottom: y = 10 - 5 = 5; source rows 1..3 become 10 - 4 .. 10 - 1.
    ImageRect r{2, 1, 6, 4};
    g_call = {};
    EXPECT_EQ(d.Apply(recording_kernel, s, &r, 3, 2, nullptr), 7);
    EXPECT_EQ(g_call.x, 3);
    EXPECT_EQ(g_call.y, 5);
    EXPECT_EQ(g_call.rect.left, 2);
    EXPECT_EQ(g_call.rect.top, 6);
    EXPECT_EQ(g_call.rect.right, 6);
    EXPECT_EQ(g_call.rect.bottom, 9);
}

TEST(ImageBuffer, ApplyClipsPartialOverlapAndRefusesDisjointPlacement) {
    CImageBuffer d, s;
    ASSERT_EQ(d.Create(10, 10, 8), 1);
    ASSERT_EQ(s.Create(10, 10, 8), 1);
    for (auto [x, y] : {std::pair{10, 0}, {0, 10}, {-10, 0}, {0, -10}, {50, 50}}) {
        g_call = {};
        ImageRect r{0, 0, 10, 10};
        EXPECT_EQ(d.Apply(recording_kernel, s, &r, x, y, nullptr), 0);
        EXPECT_EQ(g_call.count, 0);
        EXPECT_EQ(r.right, 0);  // the caller's rectangle is zeroed
    }
    EXPECT_EQ(d.Apply(nullptr, s, nullptr, 0, 0, nullptr), 0);

    // Placed at (-3, 4): the left three source columns and the lowest four rows fall away.
    g_call = {};
    ImageRect r{0, 0, 10, 10};
    EXPECT_EQ(d.Apply(recording_kernel, s, &r, -3, 4, nullptr), 7);
    EXPECT_EQ(g_call.x, 0);
    EXPECT_EQ(g_call.y, 0);  // destination rows 4..9 from the top: bottom edge 10
    EXPECT_EQ(g_call.rect.left, 3);
    EXPECT_EQ(g_call.rect.right, 10);
    EXPECT_EQ(g_call.rect.top, 4);  // source rows 0..5 from the top: 10 - 6
    EXPECT_EQ(g_call.rect.bottom, 10);

    // A source rectangle reaching beyond the source keeps its correspondence with the destination.
    CImageBuffer small;
    ASSERT_EQ(small.Create(4, 4, 8), 1);
    g_call = {};
    ImageRect wide{2, 2, 8, 8};
    EXPECT_EQ(d.Apply(recording_kernel, small, &wide, 1, 1, nullptr), 7);
    EXPECT_EQ(g_call.rect.right - g_call.rect.left, 2);
    EXPECT_EQ(g_call.rect.bottom - g_call.rect.top, 2);
    EXPECT_EQ(g_call.x, 1);
    EXPECT_EQ(g_call.y, 10 - 3);
}

TEST(ImageBuffer, RepadSpreadsAPackedFrameToPaddedRows) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(161, 7, 8), 1);
    ASSERT_EQ(b.stride(), 164);
    for (int i = 0; i < 161 * 7; ++i) b.bits()[i] = static_cast<uint8_t>(i * 7 + 3);
    EXPECT_EQ(b.Apply(RepadRows8, b, nullptr, 0, 0, nullptr), 1);
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 161; ++c) ASSERT_EQ(b.bits()[164 * r + c], static_cast<uint8_t>((r * 161 + c) * 7 + 3));

    CImageBuffer w;
    ASSERT_EQ(w.Create(161, 5, 16), 1);
    ASSERT_EQ(w.stride(), 324);
    for (int i = 0; i < 161 * 5; ++i) {
        const uint16_t v = static_cast<uint16_t>(i * 13);
        std::memcpy(w.bits() + 2 * i, &v, 2);
    }
    EXPECT_EQ(w.Apply(RepadRows16, w, nullptr, 0, 0, nullptr), 1);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 161; ++c) ASSERT_EQ(test::word(w, c, r), static_cast<uint16_t>((r * 161 + c) * 13));
}

TEST(ImageBuffer, BmpOfEightBitBufferHasHeaderGrayTableAndRowsAsInMemory) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(4, 2, 8), 1);
    for (int i = 0; i < 8; ++i) b.bits()[i] = static_cast<uint8_t>(10 + i);
    const std::string path = temp_path("imvela_gray.bmp");
    ASSERT_EQ(save_bmp(b, path.c_str()), 1);
    const auto f = read_all(path);
    ASSERT_EQ(f.size(), 1086u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(le32(f, 2), 1086u);
    EXPECT_EQ(le32(f, 6), 0u);
    EXPECT_EQ(le32(f, 10), 1078u);
    EXPECT_EQ(le32(f, 14), 40u);
    EXPECT_EQ(le32(f, 18), 4u);
    EXPECT_EQ(le32(f, 22), 2u);
    EXPECT_EQ(f[26] | (f[27] << 8), 1);
    EXPECT_EQ(f[28] | (f[29] << 8), 8);
    EXPECT_EQ(le32(f, 34), 0u);  // image size stays 0
    EXPECT_EQ(le32(f, 54 + 4 * 128), 0x00808080u);
    EXPECT_EQ(le32(f, 54 + 4 * 255), 0x00FFFFFFu);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f[1078 + i], 10 + i);
    std::remove(path.c_str());
}

TEST(ImageBuffer, BmpOfColourBufferHasNoTableAndKeepsRowPadding) {
    CImageBuffer b;
    ASSERT_EQ(b.Create(3, 2, 24), 1);
    ASSERT_EQ(b.stride(), 12);
    for (int i = 0; i < 24; ++i) b.bits()[i] = static_cast<uint8_t>(i + 1);
    const std::string path = temp_path("imvela_colour.bmp");
    // An existing longer file is truncated.
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(500, 'x');
    }
    ASSERT_EQ(save_bmp(b, path.c_str()), 1);
    const auto f = read_all(path);
    ASSERT_EQ(f.size(), 78u);
    EXPECT_EQ(le32(f, 2), 78u);
    EXPECT_EQ(le32(f, 10), 54u);
    EXPECT_EQ(f[28], 24);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(f[54 + i], i + 1);
    std::remove(path.c_str());
    EXPECT_EQ(save_bmp(b, (temp_path("no_such_dir/") + "x.bmp").c_str()), 0);
}

TEST(FileBuffer, WritesOnlyWhileOpen) {
    CFileBuffer file;
    EXPECT_EQ(file.Write("abc", 3), 0);
    const std::string path = temp_path("imvela_file.bin");
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(file.Write("abc", 3), 1);
    EXPECT_EQ(file.Write("de", 2), 1);
    file.Close();
    EXPECT_EQ(file.Write("zz", 2), 0);
    ASSERT_TRUE(file.Open(path.c_str()));  // reopening an existing file truncates it
    EXPECT_EQ(file.Size(), 0u);
    file.Close();
    std::ofstream(path, std::ios::binary) << "abcde";
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_EQ(file.Size(), 0u);
    EXPECT_EQ(file.Write("xy", 2), 1);
    file.Close();
    const auto f = read_all(path);
    EXPECT_EQ(std::string(f.begin(), f.end()), "xy");
    std::remove(path.c_str());
    EXPECT_FALSE(file.Open(nullptr));
}

TEST(ImageBuffer, BlitCopiesRectanglesInDeviceCoordinates) {
    CImageBuffer s, d;
    ASSERT_EQ(s.Create(4, 4, 8), 1);
    ASSERT_EQ(d.Create(4, 4, 8), 1);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) *test::pixel(s, c, r) = static_cast<uint8_t>(10 * r + c);
    ImageRect r{1, 0, 3, 2};  // device rows 0..1 are memory rows 3..2
    EXPECT_EQ(d.BlitFrom(s, &r, 0, 2), 1);
    EXPECT_EQ(*test::pixel(d, 0, 1), 31);
    EXPECT_EQ(*test::pixel(d, 1, 1), 32);
    EXPECT_EQ(*test::pixel(d, 0, 0), 21);
    EXPECT_EQ(*test::pixel(d, 2, 0), 0);
    EXPECT_EQ(*test::pixel(d, 0, 3), 0);
    EXPECT_EQ(d.BlitFrom(s, nullptr, 3, 3), 1);  // clipped to one pixel
    EXPECT_EQ(*test::pixel(d, 3, 0), 30);
}
