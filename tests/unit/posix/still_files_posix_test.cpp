// A 32-bit TIFF as libtiff's tiffinfo and ImageMagick read it, and a save through symbolic
// links over a file with its own permission bits.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/still_writer.h"
#include "imaging/image_buffer.h"
#include "support/recorded_file.h"

namespace fs = std::filesystem;

TEST(StillFiles, TiffReadsOpaqueAndSavesGoThroughLinksKeepingPermissions) {
    const fs::path folder = fs::temp_directory_path() / unique_test_name();
    fs::create_directories(folder / "sub");
    const std::string tif = (folder / "a.tif").string(), target = (folder / "sub/t.raw").string();
    imvela::CImageBuffer image;
    ASSERT_TRUE(image.Create(5, 3, 32));
    std::string rgb;  // what ImageMagick must read; the fourth byte is 0, as the camera leaves it
    for (int i = 0; i < 60; ++i) image.bits()[i] = i % 4 == 3 ? 0 : static_cast<uint8_t>(10 * i + 1);
    for (int i = 0; i < 15; ++i)
        for (int c : {2, 1, 0}) rgb += static_cast<char>(image.bits()[4 * i + c]);
    ASSERT_EQ(imvela::write_still(tif.c_str(), image, imvela::kStillTiff, 12), 1);
    EXPECT_NE(output_of("tiffinfo '" + tif + "'").find("Extra Samples: 1<unspecified>"), std::string::npos);
    EXPECT_EQ(output_of("convert '" + tif + "' -alpha extract -format '%[fx:minima]' info:"), "1");
    EXPECT_EQ(output_of("convert '" + tif + "' -depth 8 rgb:-"), rgb);

    // The file behind two links, one of them relative, is replaced; the links and its bits stay.
    ASSERT_EQ(imvela::write_still(target.c_str(), image, imvela::kStillRaw, 12), 1);
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink("sub/t.raw", folder / "near");
    fs::create_symlink(folder / "near", folder / "far");
    image.bits()[0] = 99;
    ASSERT_EQ(imvela::write_still((folder / "far").string().c_str(), image, imvela::kStillRaw, 12), 1);
    EXPECT_TRUE(fs::is_symlink(folder / "far") && fs::is_symlink(folder / "near"));
    EXPECT_EQ(std::ifstream(target, std::ios::binary).get(), 99);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    fs::remove_all(folder);
}
