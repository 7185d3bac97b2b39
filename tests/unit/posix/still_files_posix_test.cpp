// Still files as ImageMagick and libtiff's tools read them, and saves through symbolic links
// and over files with their own permission bits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "camera/still_writer.h"
#include "imaging/image_buffer.h"
#include "support/recorded_file.h"

namespace fs = std::filesystem;
using imvela::CImageBuffer;

namespace {

struct StillFiles : ::testing::Test {
    void SetUp() override {
        fs::create_directories(folder);
        // Blue, green, red of each pixel from its place; the fourth byte 0, as the camera leaves it.
        ASSERT_TRUE(image.Create(5, 3, 32));
        for (int i = 0; i < 5 * 3 * 4; ++i) image.bits()[i] = i % 4 == 3 ? 0 : static_cast<uint8_t>(10 * i + 1);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string at(const char* name) const { return (folder / name).string(); }

    const fs::path folder = fs::temp_directory_path() / unique_test_name();
    CImageBuffer image;
};

TEST_F(StillFiles, ThirtyTwoBitTiffShowsOpaqueWithItsColoursInImageMagick) {
    ASSERT_EQ(imvela::write_still(at("a.tif").c_str(), image, imvela::kStillTiff, 12), 1);
    EXPECT_NE(output_of("tiffinfo '" + at("a.tif") + "'").find("Extra Samples: 1<unspecified>"), std::string::npos);
    EXPECT_EQ(output_of("convert '" + at("a.tif") + "' -alpha extract -format '%[fx:minima]' info:"), "1");
    std::string expected;
    for (int i = 0; i < 5 * 3; ++i)
        for (int c : {2, 1, 0}) expected += static_cast<char>(image.bits()[4 * i + c]);
    EXPECT_EQ(output_of("convert '" + at("a.tif") + "' -depth 8 rgb:-"), expected);
}

TEST_F(StillFiles, SavesWriteThroughLinksAndKeepPermissions) {
    // The file behind a chain of two links, one of them relative, is replaced; the links stay.
    fs::create_directories(folder / "sub");
    ASSERT_EQ(imvela::write_still(at("sub/target.raw").c_str(), image, imvela::kStillRaw, 12), 1);
    chmod(at("sub/target.raw").c_str(), 0640);
    fs::create_symlink("sub/target.raw", folder / "near");
    fs::create_symlink(folder / "near", folder / "far");
    image.bits()[0] = 99;
    ASSERT_EQ(imvela::write_still(at("far").c_str(), image, imvela::kStillRaw, 12), 1);
    EXPECT_TRUE(fs::is_symlink(folder / "far") && fs::is_symlink(folder / "near"));
    std::ifstream in(at("sub/target.raw"), std::ios::binary);
    EXPECT_EQ(in.get(), 99);
    struct stat st {};
    ASSERT_EQ(stat(at("sub/target.raw").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

}  // namespace
