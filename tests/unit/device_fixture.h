#pragma once
// Shared pieces of the device tests: a transport that records what passes the driver seam
// (and can fail chosen requests) in front of the emulated driver, and a fixture that gives
// every test freshly powered-on emulated cameras with fixed settings.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "driver/driver_protocol.h"
#include "driver/driver_transport.h"
#include "device/imvela_m61xzkr_sdk.h"
#include "emulator/emulated_driver.h"

struct TransportCall {
    uint32_t code;
    uint32_t pipe;  // for transfers
    uint32_t length;
};

class RecordingTransport final : public imvela::DriverTransport {
public:
    explicit RecordingTransport(imvela::DriverTransport& inner) : inner_(inner) {}

    intptr_t open_file(const char* path) override {
        std::lock_guard<std::mutex> g(lock_);
        ++opens;
        return inner_.open_file(path);
    }
    bool close_file(intptr_t handle) override {
        std::lock_guard<std::mutex> g(lock_);
        ++closes;
        return inner_.close_file(handle);
    }
    bool control(intptr_t handle, uint32_t code, const void* input, uint32_t input_size, void* output,
                 uint32_t output_size, uint32_t* returned) override {
        TransportCall call{code, 0, output_size};
        if (input_size == 4) std::memcpy(&call.pipe, input, 4);
        {
            std::lock_guard<std::mutex> g(lock_);
            calls.push_back(call);
            if (call.pipe == imvela::driver::kPipeCommand && code != imvela::driver::kCodeSetTimeout && output &&
                output_size == imvela::driver::kRecordSize) {
                imvela::driver::Record r;
                std::memcpy(r.data(), output, r.size());
                commands.push_back(r);
            }
            if (fail && fail(call)) {
                if (returned) *returned = 0;
                return false;
            }
        }
        return inner_.control(handle, code, input, input_size, output, output_size, returned);
    }

    // Settle pauses the device asked for, recorded instead of slept.
    void settle(int32_t milliseconds) override {
        std::lock_guard<std::mutex> g(lock_);
        settles.push_back(milliseconds);
    }

    void clear() {
        std::lock_guard<std::mutex> g(lock_);
        calls.clear();
        commands.clear();
        settles.clear();
        opens = closes = 0;
    }
    std::vector<imvela::driver::Record> commands_copy() {
        std::lock_guard<std::mutex> g(lock_);
        return commands;
    }

    std::vector<TransportCall> calls;
    std::vector<imvela::driver::Record> commands;
    std::vector<int32_t> settles;
    int opens = 0;
    int closes = 0;
    // Return true to make the request fail before it reaches the driver.
    std::function<bool(const TransportCall&)> fail;

private:
    imvela::DriverTransport& inner_;
    std::mutex lock_;
};

class EmulatedDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { use_cameras({0}); }
    void TearDown() override {
        imvela::emulator::emulated_driver().release_settings();
        imvela::emulator::emulated_driver().reset_cameras();
    }

    void use_cameras(std::vector<int32_t> numbers, imvela::emulator::Scene scene = imvela::emulator::Scene::kRamp) {
        imvela::emulator::Settings s;
        s.cameras = std::move(numbers);
        s.camera.scene = scene;
        s.camera.fps = 0;
        imvela::emulator::emulated_driver().fix_settings(s);
        imvela::emulator::emulated_driver().reset_cameras();
    }
    imvela::emulator::EmulatedCamera& camera(int32_t n = 0) { return *imvela::emulator::emulated_driver().camera(n); }

    RecordingTransport transport{imvela::emulator::emulated_driver()};
};
