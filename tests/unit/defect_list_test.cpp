#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "files/defect_list.h"
#include "support/scratch_store.h"

using imvela::DefectList;
using imvela::DefectPixel;
using imvela::load_defect_file;

namespace {

// A file in the working folder, removed at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes) : path_(unique_test_name() + ".cfg") {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (!f) return;
        if (!bytes.empty()) {
            EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        }
        std::fclose(f);
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

std::vector<uint8_t> records(std::initializer_list<int32_t> numbers) {
    std::vector<uint8_t> bytes;
    for (int32_t n : numbers)
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(n) >> shift));
    return bytes;
}

TEST(DefectList, RecordsAreLittleEndianPairsAndAPartialRecordIsIgnored) {
    std::vector<uint8_t> bytes = records({10, 20, -1, 0x01020304});
    bytes.insert(bytes.end(), {0xAA, 0xBB, 0xCC, 0xDD});  // 20 bytes
    const DefectList list = imvela::parse_defect_records(bytes.data(), bytes.size());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (DefectPixel{10, 20}));
    EXPECT_EQ(list[1], (DefectPixel{-1, 0x01020304}));
    EXPECT_TRUE(imvela::parse_defect_records(bytes.data(), 7).empty());
}

TEST(DefectList, LoadReplacesTheList) {
    std::mutex lock;
    DefectList list{{1, 1}, {2, 2}, {3, 3}};
    TempFile one(records({10, 20}));
    EXPECT_EQ(load_defect_file(one.path(), &list, &lock), 1);
    EXPECT_EQ(list, (DefectList{{10, 20}}));

    // Duplicates and points outside the sensor stay, in file order.
    TempFile many(records({5000, -3, 7, 8, 7, 8}));
    EXPECT_EQ(load_defect_file(many.path(), &list, &lock), 1);
    EXPECT_EQ(list, (DefectList{{5000, -3}, {7, 8}, {7, 8}}));
    EXPECT_TRUE(lock.try_lock());  // released again
    lock.unlock();
}

TEST(DefectList, MissingFileFailsAndKeepsTheListEmptyFileEmptiesIt) {
    std::mutex lock;
    DefectList list{{10, 20}};
    const std::string missing = unique_test_name() + ".missing";
    EXPECT_EQ(load_defect_file(missing.c_str(), &list, &lock), 0);
    EXPECT_EQ(list, (DefectList{{10, 20}}));
    EXPECT_EQ(load_defect_file(nullptr, &list, &lock), 0);
    EXPECT_EQ(list.size(), 1u);

    TempFile empty({});
    EXPECT_EQ(load_defect_file(empty.path(), &list, &lock), 1);
    EXPECT_TRUE(list.empty());

    TempFile short_file({1, 2, 3});
    list = {{4, 4}};
    EXPECT_EQ(load_defect_file(short_file.path(), &list, &lock), 1);
    EXPECT_TRUE(list.empty());
}

TEST(DefectList, AFolderIsNotAFile) {
    std::mutex lock;
    DefectList list{{10, 20}};
    EXPECT_EQ(load_defect_file(".", &list, &lock), 0);
    EXPECT_EQ(list.size(), 1u);
}

}  // namespace
