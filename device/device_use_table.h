#pragma once
// The device-use table: one record per device number in the named shared memory
// "ORVANE_USBCAMERA", through which the camera objects of every process see which cameras
// are in use. Record n lies at 0x1DCE00 + 140 * n:
//   +0   owner         the owner's notification window (low 32 bits), 0 when free
//   +4   owner module  Windows: the owning executable's module handle; POSIX: its process id
//   +8   reserved      0
//   +12  text[128]     "ImvelaSdk_M52_ZKR.dll" while owned, empty when free
// Behind the terminated name, in bytes of the text that other programs neither read nor
// write, this library names the claim itself:
//   +76  mark          kIdentityMark
//   +80  owner copy    the owner and owner module as claimed, so that a record another
//   +84  module copy   program rewrote without touching these bytes is not taken as ours
//   +88  process id
//   +92  process start (64 bits, low word first; 0 when the system cannot tell)
//   +100 claim         which table object of the process made the claim
//   +104 claimed at    seconds since 1970 UTC (64 bits, low word first)
// A record counts as in use only while its owner lives: with the identity, while that
// process runs and is the one that started then (not a later process given the same id);
// without it (another program's record), until the owner is certainly gone. Only the table
// object that made a claim frees it.
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

// Who holds a device, as its record tells.
struct DeviceHolder {
    bool in_use = false;     // the record has an owner
    bool alive = false;      // that owner still runs (false: a stale record)
    int32_t process_id = 0;  // 0 when free or when the record names no process
    int64_t since = 0;       // seconds since 1970 UTC; 0 when the record does not say
};

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
    static constexpr size_t kMarkOffset = 76;
    static constexpr size_t kOwnerCopyOffset = 80;
    static constexpr size_t kModuleCopyOffset = 84;
    static constexpr size_t kProcessOffset = 88;
    static constexpr size_t kStartOffset = 92;
    static constexpr size_t kClaimOffset = 100;
    static constexpr size_t kClaimTimeOffset = 104;
    static constexpr uint32_t kIdentityMark = 0x4F4D5649;  // "IVMO"
    static constexpr int32_t kDeviceCount = 32;  // device numbers 0 to 31
    static constexpr const char* kOwnerText = "ImvelaSdk_M52_ZKR.dll";

    // The value of IMVELA_SHM_NAME when set and not empty, else kDefaultName.
    static std::string default_name();

    // `holder` is the camera object; it stands in as owner when it has no notification window.
    explicit DeviceUseTable(const void* holder);
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

    // The record has an owner that still lives (above). false when not mapped or the number
    // is out of range.
    bool is_in_use(int32_t number) const;
    // In use, and not by a claim of this table object for `window`.
    bool is_owned_by_other(int32_t number, HWND window) const;

    // The record of `number` read as a whole; nothing in use when not mapped or the number is
    // outside 0 to 31.
    DeviceHolder holder(int32_t number) const;

    // Marks the device as owned by (window, this process, this table object). No effect when
    // not mapped or the number is outside 0 to 31.
    void claim_device(int32_t number, HWND window);
    // Frees the record only when this table object claimed it for `window` and reserved is
    // still 0; otherwise leaves it as it is.
    void release_device(int32_t number, HWND window);

    // The mapped bytes (tests inspect the layout); null when not mapped.
    const uint8_t* view() const { return view_; }

private:
    uint32_t* field(int32_t number, size_t offset) const;
    // The record carries this library's identity, written for its present owner.
    bool has_identity(int32_t number) const;
    uint64_t wide_field(int32_t number, size_t offset) const;
    // The record is a claim of this table object for `window`.
    bool is_own_claim(int32_t number, HWND window) const;

    const void* holder_;
    const uint32_t claim_;  // unique among the table objects of this process
    platform::SharedSection* section_ = nullptr;
    uint8_t* view_ = nullptr;
};

}  // namespace imvela
