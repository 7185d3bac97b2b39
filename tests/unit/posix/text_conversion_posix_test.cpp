// On POSIX the narrow code page is UTF-8.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/text_conversion.h"

using imvela::platform::narrow_to_wide;
using imvela::platform::wide_to_narrow;

namespace {

TEST(TextConversionUtf8, EveryLengthClassRoundTrips) {
    // a, e-acute, CJK, U+1F600 as a surrogate pair
    const IMVELA_WCHAR text[] = {'a', 0x00E9, 0x4E2D, 0xD83D, 0xDE00, 0};
    const char utf8[] = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
    char narrow[64];
    ASSERT_TRUE(wide_to_narrow(text, narrow, sizeof narrow));
    EXPECT_STREQ(narrow, utf8);
    IMVELA_WCHAR back[16];
    ASSERT_TRUE(narrow_to_wide(utf8, back, 16));
    EXPECT_EQ(0, std::memcmp(back, text, sizeof text));
}

TEST(TextConversionUtf8, MultiByteCharacterNotFittingFails) {
    const IMVELA_WCHAR text[] = {'a', 0x4E2D, 0};  // 4 bytes + terminator
    char narrow[5];
    EXPECT_TRUE(wide_to_narrow(text, narrow, 5));
    EXPECT_FALSE(wide_to_narrow(text, narrow, 4));
    IMVELA_WCHAR out[3];
    EXPECT_FALSE(narrow_to_wide("\xF0\x9F\x98\x80", out, 2));  // a pair needs two units + terminator
    EXPECT_TRUE(narrow_to_wide("\xF0\x9F\x98\x80", out, 3));
}

TEST(TextConversionUtf8, InvalidUtf8Fails) {
    IMVELA_WCHAR out[16];
    for (const char* bad : {"\xC0\xAF",              // overlong '/'
                            "\xE0\x80\xAF",          // overlong
                            "\xED\xA0\x80",          // encoded surrogate
                            "\xF4\x90\x80\x80",      // beyond U+10FFFF
                            "\xC3",                  // truncated
                            "a\x80", "\xFF"}) {
        EXPECT_FALSE(narrow_to_wide(bad, out, 16)) << static_cast<int>(static_cast<unsigned char>(bad[0]));
    }
}

}  // namespace
