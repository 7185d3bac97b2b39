#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "device/device_use_table.h"
#include "platform/shared_memory.h"
#include "support/scratch_store.h"

using imvela::DeviceUseTable;

namespace {

HWND fake_window(uintptr_t value) { return reinterpret_cast<HWND>(value); }

uint32_t word_at(const uint8_t* view, size_t offset) {
    uint32_t w;
    std::memcpy(&w, view + offset, 4);
    return w;
}

class DeviceUseTableTest : public ::testing::Test {
protected:
    ~DeviceUseTableTest() override { imvela::platform::remove_shared_section(name.c_str()); }
    std::string name = unique_test_name();
    int camera_a = 0, camera_b = 0;  // addresses stand for two camera objects
};

TEST_F(DeviceUseTableTest, RecordLayoutAtItsOffsets) {
    DeviceUseTable table(&camera_a);
    ASSERT_TRUE(table.map(name));
    const uint8_t* view = table.view();
    table.claim_device(5, fake_window(0x1234));
    const size_t record = 0x1DCE00 + 140 * 5;
    EXPECT_EQ(word_at(view, record), 0x1234u);
    EXPECT_NE(word_at(view, record + 4), 0u);
    EXPECT_EQ(word_at(view, record + 8), 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(view + record + 12), "ImvelaSdk_M52_ZKR.dll");
    // Neighbouring records untouched.
    for (size_t offset = record - 140; offset < record; ++offset) EXPECT_EQ(view[offset], 0) << offset;
    for (size_t offset = record + 140; offset < record + 280; ++offset) EXPECT_EQ(view[offset], 0) << offset;

    table.release_device(5, fake_window(0x1234));
    for (size_t offset = record; offset < record + 140; ++offset) EXPECT_EQ(view[offset], 0) << offset;
}

// Two camera objects see each other's claims, also with one notification window or with
// none: the claim marks the device, the other object sees it as someone else's, and only the
// claiming object frees it. (The one place this is checked: the camera object only forwards.)
TEST_F(DeviceUseTableTest, OnlyTheClaimingObjectFreesItsClaim) {
    DeviceUseTable a(&camera_a), b(&camera_b);
    ASSERT_TRUE(a.map(name));
    ASSERT_TRUE(b.map(name));
    const struct {
        int device;
        HWND window, other_window;  // a's and b's notification windows
    } cases[] = {{2, fake_window(0x100), fake_window(0x200)}, {0, fake_window(0x100), fake_window(0x100)},
                 {4, nullptr, nullptr}};
    for (const auto& c : cases) {
        a.claim_device(c.device, c.window);
        EXPECT_TRUE(b.is_in_use(c.device)) << c.device;
        EXPECT_FALSE(b.is_in_use(c.device + 1)) << c.device;
        EXPECT_TRUE(b.is_owned_by_other(c.device, c.other_window)) << c.device;
        EXPECT_FALSE(a.is_owned_by_other(c.device, c.window)) << c.device;
        b.release_device(c.device, c.other_window);
        EXPECT_TRUE(b.is_in_use(c.device)) << c.device;
        a.release_device(c.device, c.window);
        EXPECT_FALSE(b.is_in_use(c.device)) << c.device;
        EXPECT_FALSE(b.is_owned_by_other(c.device, c.other_window)) << c.device;
    }
}

// A claim names its process by id and start time; a record naming no running process, or
// a process that started at another time (its id reused), is free.
TEST_F(DeviceUseTableTest, ClaimWhoseProcessIsNotTheClaimantIsFree) {
    DeviceUseTable a(&camera_a);
    ASSERT_TRUE(a.map(name));
    a.claim_device(3, fake_window(0x30));
    uint32_t* record = reinterpret_cast<uint32_t*>(const_cast<uint8_t*>(a.view()) + 0x1DCE00 + 140 * 3);
    const uint32_t process = record[88 / 4], start = record[92 / 4];
    ASSERT_NE(start, 0u);
    const struct {
        size_t offset;
        uint32_t value;
        bool in_use;
    } cases[] = {{88, process, true}, {88, 0, false}, {88, static_cast<uint32_t>(-5), false}, {92, start + 1, false}};
    for (const auto& c : cases) {
        record[88 / 4] = process;
        record[92 / 4] = start;
        record[c.offset / 4] = c.value;
        EXPECT_EQ(a.is_in_use(3), c.in_use) << c.offset << " = " << c.value;
    }
}

TEST_F(DeviceUseTableTest, ModifiedReservedFieldBlocksRelease) {
    DeviceUseTable a(&camera_a);
    ASSERT_TRUE(a.map(name));
    a.claim_device(1, fake_window(0x10));
    uint8_t* view = const_cast<uint8_t*>(a.view());
    view[0x1DCE00 + 140 + 8] = 1;
    a.release_device(1, fake_window(0x10));
    EXPECT_TRUE(a.is_in_use(1));
}

TEST_F(DeviceUseTableTest, OutOfRangeNumbersAndUnmappedTablesDoNothing) {
    DeviceUseTable a(&camera_a);
    a.claim_device(0, fake_window(1));  // not mapped
    EXPECT_FALSE(a.is_in_use(0));
    ASSERT_TRUE(a.map(name));
    EXPECT_FALSE(a.is_in_use(0));
    a.claim_device(32, fake_window(1));
    a.claim_device(-1, fake_window(1));
    EXPECT_FALSE(a.is_in_use(32));
    const uint8_t* view = a.view();
    for (size_t offset = 0x1DCE00 - 140; offset < 0x1DCE00 + 140 * 33; ++offset) ASSERT_EQ(view[offset], 0) << offset;
}

TEST_F(DeviceUseTableTest, ClaimsFromManyThreads) {
    DeviceUseTable a(&camera_a);
    ASSERT_TRUE(a.map(name));
    std::thread workers[4];
    for (int t = 0; t < 4; ++t)
        workers[t] = std::thread([&a, t] {
            for (int i = 0; i < 200; ++i) {
                a.claim_device(7, fake_window(0x1000 + t));
                a.is_owned_by_other(7, fake_window(0x1000 + t));
                a.release_device(7, fake_window(0x1000 + t));
            }
        });
    for (auto& w : workers) w.join();
    a.claim_device(7, fake_window(0x1000));
    EXPECT_FALSE(a.is_owned_by_other(7, fake_window(0x1000)));
}

}  // namespace
