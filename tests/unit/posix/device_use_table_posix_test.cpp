// On POSIX a record names the owning process, and a record left by a process that has
// ended counts as free.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/device_use_table.h"
#include "platform/shared_memory.h"
#include "support/scratch_store.h"

using imvela::DeviceUseTable;

namespace {

class DeviceUseTablePosix : public ::testing::Test {
protected:
    ~DeviceUseTablePosix() override { imvela::platform::remove_shared_section(name.c_str()); }
    std::string name = unique_test_name();
    int camera = 0;
};

TEST_F(DeviceUseTablePosix, OwnerModuleIsTheProcessId) {
    DeviceUseTable table(&camera);
    ASSERT_TRUE(table.map(name));
    table.claim_device(4, reinterpret_cast<HWND>(0x55));
    uint32_t module;
    std::memcpy(&module, table.view() + 0x1DCE00 + 140 * 4 + 4, 4);
    EXPECT_EQ(module, static_cast<uint32_t>(getpid()));
}

TEST_F(DeviceUseTablePosix, ClaimOfAnEndedProcessCountsAsFree) {
    DeviceUseTable table(&camera);
    ASSERT_TRUE(table.map(name));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DeviceUseTable other(&camera);
        if (!other.map(name)) _exit(1);
        other.claim_device(6, reinterpret_cast<HWND>(0x77));
        _exit(other.is_in_use(6) ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    uint32_t owner;
    std::memcpy(&owner, table.view() + 0x1DCE00 + 140 * 6, 4);
    EXPECT_EQ(owner, 0x77u);  // the record is still there...
    EXPECT_FALSE(table.is_in_use(6));  // ... but its process is gone
    EXPECT_FALSE(table.is_owned_by_other(6, nullptr));
}

// Records that carry no process identity name their process by the owner module alone.
TEST_F(DeviceUseTablePosix, RecordWithoutIdentityIsInUseWhileItsProcessRuns) {
    DeviceUseTable table(&camera);
    ASSERT_TRUE(table.map(name));
    uint8_t* record = const_cast<uint8_t*>(table.view()) + 0x1DCE00 + 140 * 9;
    const uint32_t owner = 0x99;
    std::memcpy(record, &owner, 4);
    for (const uint32_t module : {static_cast<uint32_t>(getppid()), 0u, 0xFFFFFFFFu}) {
        std::memcpy(record + 4, &module, 4);
        EXPECT_EQ(table.is_in_use(9), module != 0 && module != 0xFFFFFFFFu) << module;
    }
}

// The table is the user's own: no other user may read or write it, and an object under its
// name that others could reach is not used.
TEST_F(DeviceUseTablePosix, TableIsPrivateToTheUser) {
    DeviceUseTable table(&camera);
    ASSERT_TRUE(table.map(name));
    const std::string object = "/dev/shm/" + name + ".u" + std::to_string(geteuid());
    struct stat info;
    ASSERT_EQ(stat(object.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    table.unmap();
    ASSERT_EQ(chmod(object.c_str(), 0666), 0);
    EXPECT_FALSE(table.map(name));
}

}  // namespace
