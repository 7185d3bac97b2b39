// The registry keeps what the settings tree writes as REG_DWORD and reads any 4-byte value.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/settings_tree.h"
#include "support/scratch_store.h"

using imvela::platform::SettingsKeyHandle;

namespace {

TEST(SettingsTreeRegistry, WritesDwordsAndReadsAnyFourByteValue) {
    ScratchSettings store;
    SettingsKeyHandle key = SettingsKeyHandle::create(nullptr, store.root().c_str());
    ASSERT_TRUE(key);
    ASSERT_TRUE(key.write("Gamma", -2));
    HKEY raw;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, store.root().c_str(), 0, KEY_ALL_ACCESS, &raw), ERROR_SUCCESS);
    DWORD type = 0, data = 0, size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(raw, "Gamma", nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 0xFFFFFFFEu);

    const BYTE binary[4] = {1, 2, 0, 0};
    ASSERT_EQ(RegSetValueExA(raw, "Binary", 0, REG_BINARY, binary, 4), ERROR_SUCCESS);
    const BYTE two[2] = {9, 9};
    ASSERT_EQ(RegSetValueExA(raw, "Short", 0, REG_BINARY, two, 2), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(raw, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("hello"), 6), ERROR_SUCCESS);
    RegCloseKey(raw);

    int32_t value = 77;
    EXPECT_TRUE(key.read("Binary", &value));
    EXPECT_EQ(value, 0x0201);
    value = 77;
    EXPECT_FALSE(key.read("Short", &value));
    EXPECT_FALSE(key.read("Text", &value));
    EXPECT_EQ(value, 77);
}

}  // namespace
