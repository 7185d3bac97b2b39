#include <windows.h>

#include <gtest/gtest.h>

#include "platform/text_conversion.h"

using imvela::platform::narrow_to_wide;
using imvela::platform::wide_to_narrow;

namespace {

TEST(TextConversionAnsi, CharacterOutsideTheCodePageFails) {
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    char narrow[64];
    const IMVELA_WCHAR convertible[] = {L'a', 0x00E9, 0};
    ASSERT_TRUE(wide_to_narrow(convertible, narrow, sizeof narrow));
    EXPECT_STREQ(narrow, "a\xE9");
    IMVELA_WCHAR back[8];
    ASSERT_TRUE(narrow_to_wide(narrow, back, 8));
    EXPECT_EQ(back[1], 0x00E9);
    const IMVELA_WCHAR chinese[] = {L'a', 0x4E2D, 0};
    EXPECT_FALSE(wide_to_narrow(chinese, narrow, sizeof narrow));
}

}  // namespace
