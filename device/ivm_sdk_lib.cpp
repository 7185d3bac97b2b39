// CIVMSdkLib: device naming, enumeration and the register, port and serial-ROM transactions.
#include "device/ivm_sdk_lib.h"

#include <cstring>
#include "platform/debug_log.h"

namespace imvela {

CIVMSdkLib::CIVMSdkLib(DriverTransport& transport) : transport_(&transport) {}

CIVMSdkLib::~CIVMSdkLib() {
    // Nothing is left to report to: the loop's result and the file's closing do not matter.
    static_cast<void>(stream_.stop());
    close_held_handle();
}

int32_t CIVMSdkLib::close_held_handle() {
    std::lock_guard<std::mutex> g(held_lock_);
    return close_device_file(&held_);
}

void CIVMSdkLib::cancel_single_read() {
    std::lock_guard<std::mutex> g(held_lock_);
    if (!held_.is_null() && !held_.is_invalid()) held_.transport->cancel_pending(held_.value);
}

void CIVMSdkLib::enumerate_devices() {
    DriverTransport& t = transport();
    for (int32_t n = 0; n < driver::kMaxDeviceCount; ++n) {
        char path[256];
        DriverHandle device;
        presence_[n] = 0;
        if (!format_device_path(prefix_, n, path, sizeof path)) continue;
        if (open_device_file(t, path, &device) && !device.is_invalid()) presence_[n] = 1;
        close_device_file(&device);
    }
    // The selection stays as it was: the path still names the selected device, and the
    // device-use table must keep guarding that camera, not device 0.
}

int32_t CIVMSdkLib::select_device(int32_t number) {
    // Numbers up to 32 are accepted although enumeration probes only 0..31.
    if (number < 0 || number > driver::kMaxDeviceCount) return kDeviceRefused;
    char path[sizeof path_];
    if (!format_device_path(prefix_, number, path, sizeof path)) return kDeviceRefused;
    device_number_ = number;
    std::memcpy(path_, path, sizeof path_);
    return 0;
}

int32_t CIVMSdkLib::is_device_present(int32_t number) const {
    return number >= 0 && number < driver::kMaxDeviceCount && presence_[number] ? 1 : 0;
}

int32_t CIVMSdkLib::set_driver_timeout(int32_t milliseconds) {
    driver_timeout_ = milliseconds;
    return transaction([&](DriverHandle& device) {
        auto record = driver::timeout_record(milliseconds);
        uint32_t moved = 0;
        return device.transport->control(device.value, driver::kCodeSetTimeout, record.data(),
                                         driver::kTimeoutRecordSize, nullptr, 0, &moved)
                   ? 1
                   : 0;
    });
}

int32_t CIVMSdkLib::send_command_record(const driver::Record& record) {
    if (leave_alone_) return 0;
    return transaction([&](DriverHandle& device) { return send_command(device, record) == kRecordOk ? 1 : 0; });
}

int32_t CIVMSdkLib::write_register(int32_t address, int32_t value) {
    const int32_t ok = send_command_record(driver::write_register_command(address, value));
    if (!ok) IMVELA_LOG(device, warn, "sensor register 0x%04X: writing 0x%04X failed (%s)", address, value, path_);
    return ok;
}

namespace {

// A command that asks for a reply, then two response reads: the first answer is stale and
// discarded, only the second one counts.
bool command_with_reply(const DriverHandle& device, const driver::Record& command, driver::Record* reply) {
    if (send_command(device, command) != kRecordOk) return false;
    read_response(device, reply);
    return read_response(device, reply) == kRecordOk;
}

}  // namespace

int32_t CIVMSdkLib::read_register(int32_t address, int32_t* value) {
    int32_t v = 0;
    const int32_t ok = transaction([&](DriverHandle& device) {
        driver::Record reply{};
        if (!command_with_reply(device, driver::read_register_command(address), &reply)) return 0;
        v = reply[0] * 256 + reply[1];
        return 1;
    });
    if (value) *value = ok ? v : 0;
    if (!ok) IMVELA_LOG(device, warn, "sensor register 0x%04X: reading failed (%s)", address, path_);
    return ok;
}

int32_t CIVMSdkLib::write_port(int32_t port, int32_t value) {
    return send_command_record(driver::write_port_command(port, value));
}

int32_t CIVMSdkLib::read_port(int32_t port, uint8_t* value) {
    uint8_t v = 0;
    const int32_t ok = transaction([&](DriverHandle& device) {
        driver::Record reply{};
        if (!command_with_reply(device, driver::read_port_command(port), &reply)) return 0;
        v = reply[0];
        return 1;
    });
    if (value) *value = ok ? v : 0;
    return ok;
}

int32_t CIVMSdkLib::read_srom_byte(int32_t address, uint8_t* value) {
    if (address < driver::kSromIdBase || address > 0xFFFF) return 0;
    uint8_t v = 0;
    const int32_t ok = transaction([&](DriverHandle& device) {
        // The ROM answers slowly: the command's own outcome is not used, the reads decide.
        send_command(device, driver::srom_read_command(address));
        settle(6);
        driver::Record reply{};
        read_response(device, &reply);
        const int32_t r = read_response(device, &reply);
        settle(6);
        if (r != kRecordOk) return 0;
        v = reply[0];
        return 1;
    });
    if (ok && value) *value = v;
    return ok;
}

int32_t CIVMSdkLib::read_srom_id(int32_t index, uint8_t* value) {
    if (index < 0 || index >= driver::kSromIdSize) return 0;
    return read_srom_byte(driver::kSromIdBase + index, value);
}

int32_t CIVMSdkLib::write_srom_id(int32_t index, int32_t value) {
    if (index < 0 || index >= driver::kSromIdSize) return 0;
    return transaction([&](DriverHandle& device) {
        const int32_t r = send_command(device, driver::srom_write_command(index, value));
        settle(10);  // the ROM's write cycle
        return r == kRecordOk ? 1 : 0;
    });
}

}  // namespace imvela
