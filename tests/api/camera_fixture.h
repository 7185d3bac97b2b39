#pragma once
// A camera on emulated devices with a settings store of its own, and helpers to read what
// the camera reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImvelaSdk.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/test_window.h"
#include "support/wait.h"

class CameraTest : public ::testing::Test {
protected:
    explicit CameraTest(const char* cameras = "0") : cameras_("IMVELA_EMULATOR", cameras) {}

    void SetUp() override { open(); }
    void TearDown() override { close(); }

    void open() {
        handle = Imvela_Initialize(window.handle());
        ASSERT_NE(handle, 0);
        window.drain(20);
        drain_codes([this] { return Imvela_GetLastError(handle); });
    }
    void close() {
        if (handle) Imvela_Release(handle);
        handle = 0;
    }

    // Enumerates as an application does; the emulator takes its environment variables then.
    void enumerate() {
        static char names[32][256];
        Imvela_EnumDevice(handle, names);
    }

    // The recorded codes, newest first; empties the history.
    std::vector<int32_t> errors() {
        std::vector<int32_t> codes;
        for (int32_t c; codes.size() < 64 && (c = Imvela_GetLastError(handle)) != 0;) codes.push_back(c);
        return codes;
    }
    // The codes posted as WM_CAMERA_ERROR, oldest first.
    std::vector<intptr_t> posted() {
        std::vector<intptr_t> codes;
        for (const PostedMessage& m : window.drain(30))
            if (m.message == WM_CAMERA_ERROR) codes.push_back(m.lparam);
        return codes;
    }

    ScratchSettings store;
    ScopedEnvironment root{"IMVELA_SETTINGS_ROOT", store.root().c_str()};
    ScopedEnvironment cameras_;
    ScopedEnvironment fps{"IMVELA_EMULATOR_FPS", "0"};
    TestWindow window;
    int32_t handle = 0;
};

using Codes = std::vector<int32_t>;
using Posted = std::vector<intptr_t>;

// A camera object whose initialisation failed (the device-use table cannot be mapped), so
// it has no device object; the error 5 of initialisation is left in its history.
class CameraWithoutDevice : public CameraTest {
protected:
    void SetUp() override {
        handle = Imvela_Initialize(window.handle());
        ASSERT_NE(handle, 0);
    }
    ScopedEnvironment unmappable_table{"IMVELA_SHM_NAME", "ImvelaTests/no\\such\\table"};
};

// A camera object on a machine without cameras: it has a device object, but every device
// request fails.
class CameraWithoutCamera : public CameraTest {
protected:
    CameraWithoutCamera() : CameraTest("none") {}
};
