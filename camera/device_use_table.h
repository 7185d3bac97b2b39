#pragma once
// The device-use table: one record per device number in the named shared memory
// "ORVANE_USBCAMERA", through which the camera objects of every process see which cameras
// are in use. Record n lies at 0x1DCE00 + 140 * n:
//   +0   owner         the owner's notification window (low 32 bits), 0 when free
//   +4   owner module  Windows: the owning executable's module handle; POSIX: its process id
//   +8   reserved      0
//   +12  text[128]     "ImvelaSdk_M52_ZKR.dll" while owned, empty when free
// Every field is accessed as an aligned 32-bit atomic, so the writers of one process do
// not race and other processes never see a torn field.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ImvelaSdk.h"

namespace imvela {

namespace platform {
struct SharedSection;
}

class DeviceUseTable {
public:
    static constexpr const char* kDefaultName = "ORVANE_USBCAMERA";
    // The environment variable that replaces kDefaultName (tests use it for a private table).
    static constexpr const char* kNameVariable = "IMVELA_SHM_NAME";
    static constexpr size_t kSectionSize = 0x460000;
    static constexpr size_t kTableOffset = 0x1DCE00;
    static constexpr size_t kRecordSize = 140;
    static constexpr size_t kOwnerOffset = 0;
    static constexpr size_t kModuleOffset = 4;
    static constexpr size_t kReservedOffset = 8;
    static constexpr size_t kTextOffset = 12;
    static constexpr size_t kTextSize = 128;
    static constexpr int32_t kDeviceCount = 32;  // device numbers 0 to 31
    static constexpr const char* kOwnerText = "ImvelaSdk_M52_ZKR.dll";

    // The value of IMVELA_SHM_NAME when set and not empty, else kDefaultName.
    static std::string default_name();

    // `holder` is the camera object; it stands in as owner when it has no notification window.
    explicit DeviceUseTable(const void* holder) : holder_(holder) {}
    ~DeviceUseTable() { unmap(); }
    DeviceUseTable(const DeviceUseTable&) = delete;
    DeviceUseTable& operator=(const DeviceUseTable&) = delete;

    // Opens the section, or creates it zero-filled; true when mapped (also when it already was).
    bool map(const std::string& name = default_name());
    void unmap();
    bool is_mapped() const { return view_ != nullptr; }

    // The owner value written for `window`: its low 32 bits, or, for a null window (or one
    // whose low 32 bits are 0), a non-zero value derived from the holder.
    uint32_t owner_value(HWND window) const;

    // The record has an owner whose process still runs (POSIX: a record left by a process
    // that has ended counts as free). false when not mapped or the number is out of range.
    bool is_in_use(int32_t number) const;
    // In use, and not by (window, this process).
    bool is_owned_by_other(int32_t number, HWND window) const;

    // Marks the device as owned by (window, this process). No effect when not mapped or the
    // number is outside 0 to 31.
    void claim_device(int32_t number, HWND window);
    // Frees the record only when it is owned by (window, this process) with reserved 0;
    // otherwise leaves it as it is.
    void release_device(int32_t number, HWND window);

    // The mapped bytes (tests inspect the layout); null when not mapped.
    const uint8_t* view() const { return view_; }

private:
    uint32_t* field(int32_t number, size_t offset) const;

    const void* holder_;
    platform::SharedSection* section_ = nullptr;
    uint8_t* view_ = nullptr;
};

}  // namespace imvela
