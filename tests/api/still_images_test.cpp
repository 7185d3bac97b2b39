// Still image files through the exports, read back with the encoders' own decoders (never the
// library's writer code).
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "camera_fixture.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Shape = std::vector<int>;

const IMVELA_WCHAR* wide_text(const char16_t* text) { return reinterpret_cast<const IMVELA_WCHAR*>(text); }
std::string numbered(int camera, int n) { return "c" + std::to_string(camera) + "_" + std::to_string(n) + ".png"; }

Bytes file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
uint32_t le(const Bytes& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

// A decoded picture: samples row by row, channels red, green, blue(, fourth) or gray.
struct Decoded {
    int width = 0, height = 0, channels = 0, depth = 0, kind = 0;  // kind: PNG colour type, TIFF photometric
    bool progressive = false;
    std::vector<uint32_t> samples;
};

struct JpegFailure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

Decoded read_jpeg(const fs::path& path) {
    Decoded d;
    FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) return d;
    jpeg_decompress_struct c;
    JpegFailure failure;
    c.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = [](j_common_ptr p) { std::longjmp(reinterpret_cast<JpegFailure*>(p->err)->jump, 1); };
    if (setjmp(failure.jump) == 0) {
        jpeg_create_decompress(&c);
        jpeg_stdio_src(&c, f);
        jpeg_read_header(&c, TRUE);
        d.progressive = c.progressive_mode;
        jpeg_start_decompress(&c);
        d.width = static_cast<int>(c.output_width), d.height = static_cast<int>(c.output_height);
        d.channels = c.output_components, d.depth = 8;
        std::vector<JSAMPLE> row(static_cast<size_t>(d.width * d.channels));
        while (c.output_scanline < c.output_height) {
            JSAMPROW p = row.data();
            jpeg_read_scanlines(&c, &p, 1);
            d.samples.insert(d.samples.end(), row.begin(), row.end());
        }
        jpeg_finish_decompress(&c);
    }
    jpeg_destroy_decompress(&c);
    std::fclose(f);
    return d;
}

Decoded read_png(const fs::path& path) {
    Decoded d;
    FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) return d;
    png_structp png = png_create_read_struct(png_get_libpng_ver(nullptr), nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        d.width = static_cast<int>(png_get_image_width(png, info));
        d.height = static_cast<int>(png_get_image_height(png, info));
        d.depth = png_get_bit_depth(png, info), d.kind = png_get_color_type(png, info);
        d.channels = png_get_channels(png, info);
        png_bytepp rows = png_get_rows(png, info);
        for (int y = 0; y < d.height; ++y)
            for (int i = 0; i < d.width * d.channels; ++i)
                d.samples.push_back(d.depth == 16 ? (rows[y][2 * i] << 8 | rows[y][2 * i + 1]) : rows[y][i]);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return d;
}

Decoded read_tiff(const fs::path& path, uint16_t* compression) {
    Decoded d;
    TIFF* t = TIFFOpen(path.string().c_str(), "r");
    if (!t) return d;
    uint32_t w = 0, h = 0;
    uint16_t bits = 0, spp = 0, photometric = 0;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w), TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(t, TIFFTAG_BITSPERSAMPLE, &bits), TIFFGetField(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric), TIFFGetField(t, TIFFTAG_COMPRESSION, compression);
    d.width = static_cast<int>(w), d.height = static_cast<int>(h), d.depth = bits, d.channels = spp, d.kind = photometric;
    std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(t)));
    for (uint32_t y = 0; y < h; ++y) {
        if (TIFFReadScanline(t, row.data(), y) != 1) break;
        for (size_t i = 0; i < size_t{w} * spp; ++i)
            d.samples.push_back(bits == 16 ? (row[2 * i] | row[2 * i + 1] << 8) : row[i]);
    }
    TIFFClose(t);
    return d;
}

// The delivered image of one colour mode, as the camera holds it (memory row 0 on top).
struct Image {
    int bits = 0, width = 0, height = 0, stride = 0;
    Bytes data;
    // Channel c (red, green, blue, fourth; or gray) of pixel (x, y) in the buffer's own units.
    uint32_t sample(int x, int y, int c) const {
        const int wide = bits == 16 || bits >= 48 ? 2 : 1, channels = bits == 8 || bits == 16 ? 1 : bits / 8 / wide;
        const int index = channels == 1 || c == 3 ? c : 2 - c;  // stored blue, green, red
        return le(data, static_cast<size_t>(y) * stride + static_cast<size_t>(x) * channels * wide + index * wide, wide);
    }
};

class StillImages : public CameraTest {
protected:
    StillImages() : CameraTest("0,1") {}
    void SetUp() override {
        CameraTest::SetUp();
        folder = fs::temp_directory_path() / unique_test_name();
        fs::create_directories(folder);
    }
    void TearDown() override {
        CameraTest::TearDown();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    Image capture(int32_t camera, int bits) {
        Image image{bits, 162, 30, (bits / 8 * 162 + 3) & ~3, {}};
        image.data.resize(static_cast<size_t>(image.stride) * image.height);
        EXPECT_EQ(Imvela_SetCaptureWindowEx(camera, 1292, 7, image.width, 1040, 3, image.height), 1);
        EXPECT_EQ(Imvela_SetColorMode(camera, bits), 1);
        EXPECT_EQ(Imvela_SnapShot(camera, image.data.data(), static_cast<int32_t>(image.data.size()), 1), 1);
        return image;
    }
    std::string name(const char* file) const { return (folder / file).string(); }
    fs::path folder;
};

}  // namespace

TEST_F(StillImages, EveryTypeInEveryColourModeReadsBack) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        const Image image = capture(handle, bits);
        const bool wide = bits == 16 || bits >= 48, gray = bits <= 16;
        const int colors = gray ? 1 : 3, fourth = bits == 32 || bits == 64;
        const char* files[] = {"0.bmp", "1.raw", "2.jpg", "3.jpg", "4.jpg", "5.png", "6.tif"};
        for (int type = 0; type < 7; ++type) ASSERT_EQ(Imvela_SaveImage(handle, name(files[type]).c_str(), type), 1) << type;

        const Bytes bmp = file_bytes(folder / files[0]);
        const size_t offset = gray && !wide ? 1078 : 54, pixels = image.data.size();
        ASSERT_EQ(bmp.size(), offset + pixels);
        EXPECT_EQ(le(bmp, 0, 2), 0x4D42u);
        EXPECT_EQ(le(bmp, 2, 4), offset + pixels);
        EXPECT_EQ(le(bmp, 10, 4), offset);
        EXPECT_EQ((Shape{int(le(bmp, 18, 4)), int(le(bmp, 22, 4)), int(le(bmp, 28, 2))}), (Shape{162, 30, bits}));
        for (uint32_t i = 0; offset == 1078 && i < 256; ++i) EXPECT_EQ(le(bmp, 54 + 4 * i, 4), i * 0x010101u) << i;
        for (int y = 0; y < image.height; ++y)  // bottom-up: the last row is stored first
            EXPECT_TRUE(std::equal(image.data.begin() + y * image.stride, image.data.begin() + (y + 1) * image.stride,
                                   bmp.begin() + offset + (image.height - 1 - y) * image.stride)) << y;
        EXPECT_EQ(file_bytes(folder / files[1]), image.data);

        // JPEG: 8-bit samples (12 significant bits keep their top eight), progressive; the
        // three qualities give ever smaller files, the best one close to the image.
        uintmax_t previous = UINTMAX_MAX;
        for (int type = 2; type <= 4; ++type) {
            const Decoded jpeg = read_jpeg(folder / files[type]);
            ASSERT_EQ((Shape{jpeg.width, jpeg.height, jpeg.channels}), (Shape{162, 30, colors}));
            EXPECT_TRUE(jpeg.progressive);
            EXPECT_LT(fs::file_size(folder / files[type]), previous);
            previous = fs::file_size(folder / files[type]);
            double error = 0;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 162; ++x)
                    for (int c = 0; c < colors; ++c)
                        error += std::abs(int(jpeg.samples[(y * 162 + x) * colors + c]) - int(image.sample(x, y, c) >> (wide ? 4 : 0)));
            EXPECT_LT(error / (162 * 30 * colors), type == 2 ? 1.5 : 12.0) << type;
        }

        // PNG and TIFF: lossless, 16-bit samples widened from 12 bits to the full range; PNG
        // stores the inverted fourth byte (alpha), TIFF an opaque 255; a fourth 16-bit word
        // is 0xFFFF in both.
        uint16_t compression = 0;
        const Decoded png = read_png(folder / files[5]), tiff = read_tiff(folder / files[6], &compression);
        EXPECT_EQ(png.depth, wide ? 16 : 8);
        EXPECT_EQ(png.kind, gray ? PNG_COLOR_TYPE_GRAY : fourth ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(tiff.depth, wide ? 16 : 8);
        EXPECT_EQ(tiff.kind, gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        EXPECT_EQ(compression, COMPRESSION_NONE);
        const int channels = colors + fourth;
        for (const Decoded* d : {&png, &tiff}) {
            ASSERT_EQ((Shape{d->width, d->height, d->channels}), (Shape{162, 30, channels}));
            int wrong = 0;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 162; ++x)
                    for (int c = 0; c < channels; ++c) {
                        uint32_t want = image.sample(x, y, c) << (wide ? 4 : 0);
                        if (c == 3) want = wide ? 0xFFFF : d == &png ? 255 - image.sample(x, y, 3) : 255;
                        wrong += d->samples[(y * 162 + x) * channels + c] != want;
                    }
            EXPECT_EQ(wrong, 0) << (d == &png ? "png" : "tiff");
        }
        EXPECT_EQ(errors(), Codes{});
    }
}

TEST_F(StillImages, FailedSavesLeaveNoFileAndReplaceOnlyWhole) {
    EXPECT_EQ(Imvela_SaveImage(handle, name("early.bmp").c_str(), 0), 0);
    EXPECT_EQ(Imvela_SaveImageW(handle, wide_text(u"early.bmp"), 0), 0);  // no image buffer yet
    EXPECT_EQ(errors(), (Codes{ERR_NOT_READY, ERR_NOT_READY}));
    const Image image = capture(handle, 24);
    const fs::path existing = folder / "existing.raw";
    std::ofstream(existing, std::ios::binary) << std::string(100000, 'x');
    EXPECT_EQ(Imvela_SaveImage(handle, existing.string().c_str(), 1), 1);
    EXPECT_EQ(file_bytes(existing), image.data);
    for (int type : {7, -1}) EXPECT_EQ(Imvela_SaveImage(handle, name("unknown").c_str(), type), 0) << type;
    for (int type = 0; type < 7; ++type)
        EXPECT_EQ(Imvela_SaveImage(handle, (folder / "missing" / "still").string().c_str(), type), 0) << type;
    EXPECT_EQ(Imvela_SaveImage(handle, nullptr, 0), 0);
    EXPECT_EQ(errors(), Codes{});
    std::vector<fs::path> left;
    for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<fs::path>{"existing.raw"});
}

TEST_F(StillImages, WideNamesWithCharactersBeyondAscii) {
    capture(handle, 8);
    const std::u16string wideName = u"Bild_\u00e4\u00f6\u00fc\u00e9.png";
    const fs::path path = folder / fs::path(wideName);
    ASSERT_EQ(Imvela_SaveImageW(handle, wide_text(path.u16string().c_str()), 5), 1);
    ASSERT_EQ(Imvela_SaveImage(handle, name("plain.png").c_str(), 5), 1);
    EXPECT_EQ(file_bytes(path), file_bytes(folder / "plain.png"));
}

TEST_F(StillImages, TwoCamerasSavePngsAtOnce) {
    const int32_t second = Imvela_Initialize(window.handle());
    ASSERT_NE(second, 0);
    ASSERT_EQ(Imvela_SetDeviceNumber(second, 1), 1);
    const int32_t cameras[] = {handle, second};
    for (int i : {0, 1}) {
        capture(cameras[i], i ? 64 : 16);
        ASSERT_EQ(Imvela_SaveImage(cameras[i], name(i ? "reference1.png" : "reference0.png").c_str(), 5), 1);
    }
    int saved[2] = {0, 0};
    std::thread savers[2];
    for (int i : {0, 1})
        savers[i] = std::thread([&, i] {
            for (int n = 0; n < 8; ++n)
                saved[i] += Imvela_SaveImage(cameras[i], name(numbered(i, n).c_str()).c_str(), 5);
        });
    for (auto& t : savers) t.join();
    EXPECT_EQ((Shape{saved[0], saved[1]}), (Shape{8, 8}));
    for (int i : {0, 1})
        for (int n = 0; n < 8; ++n)
            EXPECT_EQ(file_bytes(folder / numbered(i, n)),
                      file_bytes(folder / ("reference" + std::to_string(i) + ".png"))) << i << " " << n;
    Imvela_Release(second);
}
