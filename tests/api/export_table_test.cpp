#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>

#include "support/binary_exports.h"

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

class ExportTable : public ::testing::Test {
protected:
    void SetUp() override {
        exports = read_binary_exports(IMVELA_LIBRARY_FILE);
        ASSERT_TRUE(exports.ok) << exports.error;
        list = read_export_list(IMVELA_EXPORTS_LIST, !exports.is_pe);
        ASSERT_FALSE(list.names.empty());
    }
    BinaryExports exports;
    ExportList list;
};

}  // namespace

TEST_F(ExportTable, ExactlyTheListedNames) {
    const std::set<std::string> have(exports.names.begin(), exports.names.end());
    const std::set<std::string> want(list.names.begin(), list.names.end());
    EXPECT_EQ(have.size(), exports.names.size()) << "a name is exported twice";
    for (const auto& name : want) EXPECT_TRUE(have.count(name)) << "missing export " << name;
    for (const auto& name : have) EXPECT_TRUE(want.count(name)) << "unlisted export " << name;
}

TEST_F(ExportTable, OnlyLibraryPrefixes) {
    for (const auto& name : exports.names) {
        const bool api = name.rfind("Imvela_", 0) == 0 || name.rfind("ImvelaEmu_", 0) == 0 ||
                         name.rfind("ImvelaDiag_", 0) == 0;
        const bool queue = !exports.is_pe && name.rfind("ImvelaMsg_", 0) == 0;
        EXPECT_TRUE(api || queue) << name;
    }
}

TEST_F(ExportTable, AliasesShareOneEntryPoint) {
    std::map<std::string, uint64_t> address;
    for (size_t i = 0; i < exports.names.size(); ++i) address[exports.names[i]] = exports.addresses[i];
    ASSERT_FALSE(list.aliases.empty());
    for (const auto& [name, target] : list.aliases) {
        ASSERT_TRUE(address.count(name) && address.count(target)) << name;
        EXPECT_EQ(address[name], address[target]) << name << " is not " << target;
    }
}

TEST_F(ExportTable, DllNeedsOnlySystemLibraries) {
    if (!exports.is_pe) GTEST_SKIP() << "Windows DLL only";
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "winmm.dll",
                                          "msvcrt.dll", "comctl32.dll", "ole32.dll", "shell32.dll"};
    ASSERT_FALSE(exports.imported_dlls.empty());
    for (const auto& dll : exports.imported_dlls) EXPECT_TRUE(system.count(lower(dll))) << "imports " << dll;
}
