#include "device/device_use_table.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"
#include "platform/environment.h"
#include "platform/process_identity.h"
#include "platform/shared_memory.h"

namespace imvela {

namespace {

uint32_t load(const uint32_t* place) { return __atomic_load_n(place, __ATOMIC_ACQUIRE); }
void store(uint32_t* place, uint32_t value) { __atomic_store_n(place, value, __ATOMIC_RELEASE); }

uint32_t low_bits(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

uint32_t next_claim() {
    static std::atomic<uint32_t> counter{0};
    uint32_t claim;
    do claim = counter.fetch_add(1, std::memory_order_relaxed) + 1;
    while (claim == 0);
    return claim;
}

}  // namespace

DeviceUseTable::DeviceUseTable(const void* holder) : holder_(holder), claim_(next_claim()) {}

std::string DeviceUseTable::default_name() {
    // Through the platform, like every other variable: on Windows the C runtime's copy of the
    // environment misses SetEnvironmentVariable.
    std::string name;
    return platform::environment_variable(kNameVariable, &name) && !name.empty() ? name : std::string(kDefaultName);
}

bool DeviceUseTable::map(const std::string& name) {
    if (view_) return true;
    section_ = platform::map_shared_section(name.c_str(), kSectionSize);
    view_ = static_cast<uint8_t*>(platform::shared_section_view(section_));
    return view_ != nullptr;
}

void DeviceUseTable::unmap() {
    platform::unmap_shared_section(section_);
    section_ = nullptr;
    view_ = nullptr;
}

uint32_t DeviceUseTable::owner_value(HWND window) const {
    uint32_t value = low_bits(window);
    if (value == 0) value = low_bits(holder_);
    return value != 0 ? value : 1;
}

uint32_t* DeviceUseTable::field(int32_t number, size_t offset) const {
    if (!view_ || number < 0 || number >= kDeviceCount) return nullptr;
    return reinterpret_cast<uint32_t*>(view_ + kTableOffset + kRecordSize * static_cast<size_t>(number) + offset);
}

bool DeviceUseTable::has_identity(int32_t number) const {
    uint32_t* mark = field(number, kMarkOffset);
    return mark && load(mark) == kIdentityMark &&
           load(field(number, kOwnerCopyOffset)) == load(field(number, kOwnerOffset)) &&
           load(field(number, kModuleCopyOffset)) == load(field(number, kModuleOffset));
}

uint64_t DeviceUseTable::wide_field(int32_t number, size_t offset) const {
    return static_cast<uint64_t>(load(field(number, offset + 4))) << 32 | load(field(number, offset));
}

bool DeviceUseTable::is_in_use(int32_t number) const {
    uint32_t* owner = field(number, kOwnerOffset);
    if (!owner) return false;
    const uint32_t owner_value = load(owner);
    if (owner_value == 0) return false;
    if (!has_identity(number))
        return !platform::unnamed_owner_gone(owner_value, load(field(number, kModuleOffset)));
    return platform::process_is_running(static_cast<int32_t>(load(field(number, kProcessOffset))),
                                        wide_field(number, kStartOffset));
}

DeviceHolder DeviceUseTable::holder(int32_t number) const {
    DeviceHolder h;
    uint32_t* owner = field(number, kOwnerOffset);
    if (!owner) return h;
    const uint32_t owner_value = load(owner);
    if (owner_value == 0) return h;
    h.in_use = true;
    h.alive = is_in_use(number);
    if (has_identity(number)) {
        h.process_id = static_cast<int32_t>(load(field(number, kProcessOffset)));
        h.since = static_cast<int64_t>(wide_field(number, kClaimTimeOffset));
    } else {
        h.process_id = platform::unnamed_owner_process(owner_value, load(field(number, kModuleOffset)));
    }
    return h;
}

bool DeviceUseTable::is_own_claim(int32_t number, HWND window) const {
    return has_identity(number) && load(field(number, kOwnerOffset)) == owner_value(window) &&
           load(field(number, kModuleOffset)) == platform::current_owner_module() &&
           load(field(number, kProcessOffset)) == platform::current_process_id() &&
           load(field(number, kClaimOffset)) == claim_;
}

bool DeviceUseTable::is_owned_by_other(int32_t number, HWND window) const {
    return is_in_use(number) && !is_own_claim(number, window);
}

void DeviceUseTable::claim_device(int32_t number, HWND window) {
    uint32_t* owner = field(number, kOwnerOffset);
    if (!owner) return;
    const uint32_t owner_word = owner_value(window);
    const uint32_t module = platform::current_owner_module();
    // Read at every claim, not kept: a forked child is another process.
    const uint64_t start = platform::current_process_start();
    const uint64_t now = static_cast<uint64_t>(platform::unix_seconds());
    // Text and identity first, the owner last: whoever sees the owner sees the rest.
    char text[kTextSize] = {};
    std::memcpy(text, kOwnerText, std::strlen(kOwnerText));
    const uint32_t identity[] = {kIdentityMark,
                                 owner_word,
                                 module,
                                 platform::current_process_id(),
                                 static_cast<uint32_t>(start),
                                 static_cast<uint32_t>(start >> 32),
                                 claim_,
                                 static_cast<uint32_t>(now),
                                 static_cast<uint32_t>(now >> 32)};
    std::memcpy(text + (kMarkOffset - kTextOffset), identity, sizeof identity);
    store(field(number, kModuleOffset), module);
    store(field(number, kReservedOffset), 0);
    uint32_t* words = field(number, kTextOffset);
    for (size_t i = 0; i < kTextSize / 4; ++i) {
        uint32_t word;
        std::memcpy(&word, text + 4 * i, 4);
        store(words + i, word);
    }
    store(owner, owner_word);
}

void DeviceUseTable::release_device(int32_t number, HWND window) {
    uint32_t* owner = field(number, kOwnerOffset);
    if (!owner || !is_own_claim(number, window) || load(field(number, kReservedOffset)) != 0) return;
    store(owner, 0);
    store(field(number, kModuleOffset), 0);
    store(field(number, kReservedOffset), 0);
    uint32_t* words = field(number, kTextOffset);
    for (size_t i = 0; i < kTextSize / 4; ++i) store(words + i, 0);
}

}  // namespace imvela
