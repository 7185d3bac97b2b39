// Camera objects of two processes see each other's device claims, and a claim left by a
// process that ended without releasing it does not lock the camera.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_use_table.h"
#include "camera/imvela.h"
#include "unit/emulated_camera_fixture.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"


using imvela::CImvela;

namespace {

TEST(CameraUseTablePosix, ClaimsAcrossProcessesAndAClaimLeftByAnEndedProcess) {
    ScratchSettings store;
    ScopedEnvironment root("IMVELA_SETTINGS_ROOT", store.root().c_str());
    ScopedEnvironment cameras("IMVELA_EMULATOR", "0,1");
    CImvela parent;
    ASSERT_EQ(parent.initialize(nullptr), 1);
    parent.claim_device(1);

    int to_parent[2], to_child[2];
    ASSERT_EQ(pipe(to_parent), 0);
    ASSERT_EQ(pipe(to_child), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CImvela camera;
        char report = camera.initialize(nullptr) ? 'i' : 'f';
        if (report == 'i') {
            camera.claim_device(0);
            report = camera.use_table().is_owned_by_other(1, nullptr) ? 'y' : 'n';
        }
        char go = 0;
        if (write(to_parent[1], &report, 1) != 1 || read(to_child[0], &go, 1) != 1) _exit(3);
        _exit(0);  // ends without releasing its claim, as a crashed application would
    }
    char report = 0;
    ASSERT_EQ(read(to_parent[0], &report, 1), 1);
    EXPECT_EQ(report, 'y');  // the child saw the parent's claim
    auto& table = parent.use_table();
    EXPECT_TRUE(table.is_owned_by_other(0, nullptr));
    const char go = 'g';
    ASSERT_EQ(write(to_child[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(table.is_in_use(0));
    EXPECT_FALSE(table.is_owned_by_other(0, nullptr));
    EXPECT_TRUE(table.is_in_use(1));
    for (int fd : {to_parent[0], to_parent[1], to_child[0], to_child[1]}) close(fd);
}

// A device-use table others may open, or (as root) one of another user, is not mapped:
// initialisation records error 5 and the camera object stays, without a device.
TEST(CameraUseTablePosix, TableOfAnotherUserOrOpenToOthersFailsInitialisation) {
    ScratchSettings store;
    ScopedEnvironment root("IMVELA_SETTINGS_ROOT", store.root().c_str());
    const std::string name = unique_test_name();
    ScopedEnvironment table("IMVELA_SHM_NAME", name.c_str());
    const std::string object = "/" + name + ".u" + std::to_string(geteuid());
    const int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchmod(fd, 0644), 0);  // whatever the umask left
    std::vector<mode_t> modes{0644};
    if (geteuid() == 0 && fchown(fd, 65534, 65534) == 0) modes.push_back(0600);
    for (const mode_t mode : modes) {
        ASSERT_EQ(fchmod(fd, mode), 0);
        CImvela camera;
        EXPECT_EQ(camera.initialize(nullptr), 0) << std::oct << mode;
        EXPECT_EQ(camera.last_error(), ERR_BUFFER);
        EXPECT_FALSE(camera.use_table().is_mapped());
    }
    close(fd);
    shm_unlink(object.c_str());
}

}  // namespace
