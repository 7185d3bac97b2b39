// Encoder errors come back as a false result, never through the caller's frames; only
// libpng's errors are printed, as "libpng error: <message>".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/jpeg_writer.h"
#include "files/png_writer.h"
#include "files/tiff_writer.h"
#include "support/scratch_store.h"

namespace {

class BlankRows : public imvela::StillRows {
public:
    BlankRows(int32_t width, int32_t bytesPerPixel) : StillRows(width, 2), row_(size_t(width) * bytesPerPixel) {}
    const uint8_t* Row(int32_t) override { return row_.data(); }

private:
    std::vector<uint8_t> row_;
};

bool jpeg(imvela::CReplacingFile& f, imvela::StillRows& r) { return write_jpeg(f, r, imvela::JpegInput::kBgr24, 90); }
bool png(imvela::CReplacingFile& f, imvela::StillRows& r) { return write_png(f, r, 24); }
bool tiff(imvela::CReplacingFile& f, imvela::StillRows& r) { return write_tiff(f, r, 24); }

}  // namespace

TEST(StillEncoders, ErrorsComeBackAsFalse) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / unique_test_name();
    fs::create_directories(folder);
    struct Case {
        const char* what;
        bool (*write)(imvela::CReplacingFile&, imvela::StillRows&);
        int32_t width;
        bool fileMade;
        const char* printed;
    };
    const Case cases[] = {
        {"JPEG wider than the library takes", jpeg, 70000, true, ""},
        {"PNG wider than the library takes", png, 1000001, true, "libpng error: "},
        {"TIFF into a file that takes no bytes", tiff, 16, false, ""},
    };
    for (const Case& c : cases) {
        imvela::CReplacingFile file;
        if (c.fileMade) {
            ASSERT_TRUE(file.Create((folder / "still").string().c_str())) << c.what;
        }
        BlankRows rows(c.width, 3);
        testing::internal::CaptureStderr();
        const bool written = c.write(file, rows);
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(written) << c.what;
        EXPECT_TRUE(*c.printed ? printed.rfind(c.printed, 0) == 0 : printed.empty()) << c.what << ": " << printed;
    }
    fs::remove_all(folder);
}
