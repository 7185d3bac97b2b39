#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/text_conversion.h"

using imvela::platform::kNarrowTextCapacity;
using imvela::platform::narrow_to_wide;
using imvela::platform::wide_to_narrow;

namespace {

std::vector<IMVELA_WCHAR> wide(const char* ascii) {
    std::vector<IMVELA_WCHAR> text;
    for (const char* p = ascii; *p; ++p) text.push_back(static_cast<IMVELA_WCHAR>(*p));
    text.push_back(0);
    return text;
}

TEST(TextConversion, AsciiRoundTrip) {
    const char* name = "C:\\cameras\\defects 01.cfg";
    char narrow[kNarrowTextCapacity];
    ASSERT_TRUE(wide_to_narrow(wide(name).data(), narrow, sizeof narrow));
    EXPECT_STREQ(narrow, name);
    IMVELA_WCHAR back[kNarrowTextCapacity];
    ASSERT_TRUE(narrow_to_wide(narrow, back, kNarrowTextCapacity));
    EXPECT_EQ(std::vector<IMVELA_WCHAR>(back, back + std::strlen(name) + 1), wide(name));
}

TEST(TextConversion, ResultMustFitWithItsTerminator) {
    char narrow[kNarrowTextCapacity];
    const std::string fits(kNarrowTextCapacity - 1, 'a');
    EXPECT_TRUE(wide_to_narrow(wide(fits.c_str()).data(), narrow, sizeof narrow));
    EXPECT_EQ(std::strlen(narrow), kNarrowTextCapacity - 1);
    const std::string too_long(kNarrowTextCapacity, 'a');
    EXPECT_FALSE(wide_to_narrow(wide(too_long.c_str()).data(), narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "");

    IMVELA_WCHAR out[4];
    EXPECT_TRUE(narrow_to_wide("abc", out, 4));
    EXPECT_FALSE(narrow_to_wide("abcd", out, 4));
    EXPECT_EQ(out[0], 0);
}

TEST(TextConversion, UnpairedSurrogateFails) {
    char narrow[kNarrowTextCapacity] = "x";
    const IMVELA_WCHAR lone_high[] = {'a', 0xD800, 'b', 0};
    const IMVELA_WCHAR lone_low[] = {'a', 0xDC00, 0};
    const IMVELA_WCHAR high_at_end[] = {'a', 0xDBFF, 0};
    EXPECT_FALSE(wide_to_narrow(lone_high, narrow, sizeof narrow));
    EXPECT_FALSE(wide_to_narrow(lone_low, narrow, sizeof narrow));
    EXPECT_FALSE(wide_to_narrow(high_at_end, narrow, sizeof narrow));
    EXPECT_FALSE(wide_to_narrow(nullptr, narrow, sizeof narrow));
}

}  // namespace
