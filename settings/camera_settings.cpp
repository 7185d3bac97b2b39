#include "settings/camera_settings.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "platform/environment.h"
#include "platform/settings_tree.h"
#include "settings/filter_values.h"

namespace imvela {

namespace {

using platform::SettingsKeyHandle;

// A stored value: its name, where it goes, its default and the range it must lie in; a
// value outside the range is damaged and counts as missing (the group's default).
struct NamedPosition {
    const char* name = nullptr;
    int position = 0;
    int32_t default_value = 0;
    int32_t minimum = 0;
    int32_t maximum = 0;

    constexpr int32_t checked(int32_t value, int32_t fallback) const {
        return value >= minimum && value <= maximum ? value : fallback;
    }
    constexpr int32_t checked(int32_t value) const { return checked(value, default_value); }
};

constexpr NamedPosition stored(const FilterValueFacts& facts) {
    return {facts.store_key, facts.position, facts.default_value, facts.minimum, facts.maximum};
}

constexpr NamedPosition stored(FilterValueId identifier) { return stored(filter_value_facts(identifier)); }

// The global gain also sets the four colour gains, so they are stored within its range.
constexpr NamedPosition stored_color_gain(FilterValueId identifier) {
    NamedPosition value = stored(identifier);
    value.minimum = filter_value_facts(kFilterGlobalGain).minimum;
    value.maximum = filter_value_facts(kFilterGlobalGain).maximum;
    return value;
}

// The filter values of a group as the list has them, in identifier order.
template <FilterValueGroup group>
constexpr auto group_values() {
    constexpr size_t count = [] {
        size_t n = 0;
        for_each_filter_value_in(group, [&n](const FilterValueFacts&) { ++n; });
        return n;
    }();
    std::array<NamedPosition, count> values{};
    size_t n = 0;
    for_each_filter_value_in(group, [&](const FilterValueFacts& facts) { values[n++] = stored(facts); });
    return values;
}

// The Gain group's order is the store's own (a missing value repeats the one read before it):
// the filter values' keys, defaults and ranges from the list, then the mirrors and the iris.
constexpr NamedPosition kAnalogValues[] = {
    stored(kFilterGlobalGain),
    stored_color_gain(kFilterColorGainGreen1),
    stored_color_gain(kFilterColorGainRed),
    stored_color_gain(kFilterColorGainBlue),
    stored_color_gain(kFilterColorGainGreen2),
    stored(kFilterExposureTime),
    {"V_Mirror", AnalogBlock::kVerticalMirror, 0, 0, 1},
    {"H_Mirror", AnalogBlock::kHorizontalMirror, 0, 0, 1},
    {"AutoIris", AnalogBlock::kAutoIris, 0, 0, 2},
};

constexpr auto kFilterValues = group_values<FilterValueGroup::kFilter>();
constexpr auto kGrayValues = group_values<FilterValueGroup::kGray>();

// Video format values: a damaged one keeps its field, as a missing one does. The
// sub-sampling modes known are 0 to 3 and 17 to 19 (the capture-window rule refuses all but 0).
constexpr int32_t kColorModeLast = 5;
constexpr int32_t kSubSampleLast = 19;

// Unstored positions cleared together with the image-filter defaults (this also drops an
// automatic colour gain request).
constexpr int kFilterClearedFirst = 20;
constexpr int kFilterClearedLast = 28;

constexpr int32_t kFirstUseColor = 2;
constexpr int32_t kFirstUseWaitTime = 1;
constexpr int32_t kClockNormal = 0;
constexpr int32_t kClockHigh = 2;
constexpr int32_t kFirstUseClock = kClockHigh;

struct CameraKeyName {
    char text[32];
    explicit CameraKeyName(int32_t device) { std::snprintf(text, sizeof text, "Camera_%02d", static_cast<int>(device)); }
};

struct SizeKeyName {
    char text[32];
    explicit SizeKeyName(int32_t entry) { std::snprintf(text, sizeof text, "Size_%02d", static_cast<int>(entry)); }
};

using KeyOpener = SettingsKeyHandle (*)(platform::SettingsKey*, const char*);

// Opens root, Camera_NN and (when given) a group key in turn with `step` (open for reading
// or create with full access); a closed handle when any of them fails.
SettingsKeyHandle camera_key(KeyOpener step, const std::string& root, int32_t device, const char* group) {
    SettingsKeyHandle root_key = step(nullptr, root.c_str());
    if (!root_key) return {};
    SettingsKeyHandle camera = step(root_key.get(), CameraKeyName(device).text);
    if (!camera || !group) return camera;
    return step(camera.get(), group);
}

SettingsKeyHandle open_camera_key(const std::string& root, int32_t device, const char* group = nullptr) {
    return camera_key(&SettingsKeyHandle::open, root, device, group);
}

SettingsKeyHandle create_camera_key(const std::string& root, int32_t device, const char* group = nullptr) {
    return camera_key(&SettingsKeyHandle::create, root, device, group);
}

// Reads a value into `field` when it is stored and lies in [minimum, maximum]; a damaged
// value, as a missing one, keeps the field. True when the field was set.
bool read_checked(const SettingsKeyHandle& key, const char* name, int32_t minimum, int32_t maximum, int32_t* field) {
    int32_t stored = 0;
    if (!key.read(name, &stored) || stored < minimum || stored > maximum) return false;
    *field = stored;
    return true;
}

// The video format's values in the camera key (the size entry aside), each checked.
void read_format_values(const SettingsKeyHandle& camera, VideoFormat* format) {
    read_checked(camera, "Color", 0, kColorModeLast, &format->color);
    read_checked(camera, "SubSample", 0, kSubSampleLast, &format->sub_sample);
    read_checked(camera, "WaitTime", 0, INT32_MAX, &format->wait_time);
    read_checked(camera, "Clock", kClockNormal, kClockHigh, &format->clock);
}

// Writes the size table's entries 0 to count - 1 and the five video-format values under an
// open Camera_NN key. 1 when everything was written.
int32_t write_dialog_values(const SettingsKeyHandle& camera, const SizeTable& table, const VideoFormat& format);

// Reads a size entry's values over `entry`; missing values keep their field.
void read_size_entry(const SettingsKeyHandle& key, CaptureWindow* entry) {
    key.read("TH", &entry->total_width);
    key.read("TV", &entry->total_height);
    key.read("EH", &entry->width);
    key.read("EV", &entry->height);
    key.read("EHS", &entry->h_start);
    key.read("EVS", &entry->v_start);
    key.read("Buf", &entry->buffer_count);
}

bool write_size_entry(const SettingsKeyHandle& key, const CaptureWindow& entry) {
    return key.write("TH", entry.total_width) && key.write("TV", entry.total_height) &&
           key.write("EH", entry.width) && key.write("EV", entry.height) && key.write("EHS", entry.h_start) &&
           key.write("EVS", entry.v_start) && key.write("Buf", entry.buffer_count);
}

// Reads the whole size table under an open Camera_NN key: entries from 00 on, stopping at
// the first missing one.
template <class Visit>
void for_each_size_entry(const SettingsKeyHandle& camera, Visit&& visit) {
    for (int32_t entry = 0; entry < SizeTable::kCapacity; ++entry) {
        SettingsKeyHandle key = SettingsKeyHandle::open(camera.get(), SizeKeyName(entry).text);
        if (!key) return;
        if (!visit(entry, key)) return;
    }
}

template <class Names>
int32_t load_image_group(const std::string& root, int32_t device, const char* group, const Names& names,
                         ImageProcessingBlock* block) {
    if (!block) return 0;
    SettingsKeyHandle key = open_camera_key(root, device, group);
    if (!key) {
        for (const NamedPosition& value : names) (*block)[value.position] = value.default_value;
        return 0;
    }
    for (const NamedPosition& value : names) {
        int32_t stored = 0;
        if (key.read(value.name, &stored)) (*block)[value.position] = value.checked(stored);
    }
    return 1;
}

template <class Names, class Block>
int32_t save_group(const std::string& root, int32_t device, const char* group, const Names& names,
                   const Block& block) {
    SettingsKeyHandle key = create_camera_key(root, device, group);
    if (!key) return 0;
    for (const NamedPosition& value : names)
        if (!key.write(value.name, block[value.position])) return 0;
    return 1;
}

}  // namespace

std::string CameraSettings::default_root() {
    // Through the platform: on Windows the process environment, which SetEnvironmentVariable
    // changes and the C runtime's copy does not see.
    std::string root;
    return platform::environment_variable(kRootVariable, &root) && !root.empty() ? root : std::string(kDefaultRoot);
}

int32_t CameraSettings::load_size_entry(int32_t device, CaptureWindow* window) const {
    if (!window) return 0;
    if (!SettingsKeyHandle::open(nullptr, root_.c_str())) {
        // First use: write the default tree; the window's defaults are the same numbers.
        SizeTable defaults;
        defaults.count = 1;
        VideoFormat format;
        format.size = 0;
        format.color = kFirstUseColor;
        format.sub_sample = 0;
        format.wait_time = kFirstUseWaitTime;
        format.clock = kFirstUseClock;
        write_first_use_tree(device, defaults, format);
        return 0;
    }
    SettingsKeyHandle camera = open_camera_key(root_, device);
    // Any number names an entry: one that is not there reads nothing.
    int32_t entry = 0;
    if (!camera || !camera.read("Size", &entry)) return 0;
    SettingsKeyHandle key = SettingsKeyHandle::open(camera.get(), SizeKeyName(entry).text);
    if (!key) return 0;
    read_size_entry(key, window);
    return 1;
}

int32_t CameraSettings::load_video_format(int32_t device, VideoFormat* format) const {
    if (!format) return 0;
    SettingsKeyHandle camera = open_camera_key(root_, device);
    if (!camera) return 0;
    read_format_values(camera, format);
    return 1;
}

int32_t CameraSettings::load_analog(int32_t device, AnalogBlock* block, int32_t device_v_mirror,
                                    int32_t device_h_mirror) const {
    if (!block) return 0;
    SettingsKeyHandle key = open_camera_key(root_, device, "Gain");
    if (!key) {
        for (const NamedPosition& value : kAnalogValues) (*block)[value.position] = value.default_value;
        (*block)[AnalogBlock::kVerticalMirror] = device_v_mirror;
        (*block)[AnalogBlock::kHorizontalMirror] = device_h_mirror;
        return 1;
    }
    // One place for all nine reads: a missing value repeats the one read before it. A value
    // out of its range is the group's default (the mirrors: the device's state).
    int32_t place = 0;
    for (const NamedPosition& value : kAnalogValues) {
        key.read(value.name, &place);
        int32_t fallback = value.default_value;
        if (value.position == AnalogBlock::kVerticalMirror) fallback = device_v_mirror;
        if (value.position == AnalogBlock::kHorizontalMirror) fallback = device_h_mirror;
        (*block)[value.position] = value.checked(place, fallback);
    }
    return 1;
}

int32_t CameraSettings::save_analog(int32_t device, const AnalogBlock& block) const {
    return save_group(root_, device, "Gain", kAnalogValues, block);
}

int32_t CameraSettings::load_filter(int32_t device, ImageProcessingBlock* block) const {
    const int32_t read = load_image_group(root_, device, "Filter", kFilterValues, block);
    if (block && !read)
        for (int position = kFilterClearedFirst; position <= kFilterClearedLast; ++position) (*block)[position] = 0;
    return read;
}

int32_t CameraSettings::save_filter(int32_t device, const ImageProcessingBlock& block) const {
    return save_group(root_, device, "Filter", kFilterValues, block);
}

int32_t CameraSettings::load_gray(int32_t device, ImageProcessingBlock* block) const {
    return load_image_group(root_, device, "Gray", kGrayValues, block);
}

int32_t CameraSettings::save_gray(int32_t device, const ImageProcessingBlock& block) const {
    return save_group(root_, device, "Gray", kGrayValues, block);
}

int32_t CameraSettings::load_dialog(int32_t device, SizeTable* table, VideoFormat* format) const {
    if (!table || !format) return 0;
    table->count = 0;
    SettingsKeyHandle camera = open_camera_key(root_, device);
    if (!camera) return 0;
    for_each_size_entry(camera, [table](int32_t entry, const SettingsKeyHandle& key) {
        read_size_entry(key, &table->entries[entry]);
        table->count = entry + 1;
        return true;
    });
    camera.read("Size", &format->size);  // past the table: the dialog offers its custom size
    read_format_values(camera, format);
    return 1;
}

int32_t CameraSettings::save_dialog(int32_t device, const SizeTable& table, const VideoFormat& format) const {
    SettingsKeyHandle camera = create_camera_key(root_, device);
    if (!camera) return 0;
    return write_dialog_values(camera, table, format);
}

void CameraSettings::write_first_use_tree(int32_t device, const SizeTable& table, const VideoFormat& format) const {
    // Built out of sight and put in place whole: processes starting at the same moment find
    // either no tree (and build their own, of which one wins) or a complete one.
    platform::SettingsKey* staging = platform::create_staging_settings_key(root_.c_str());
    if (!staging) return;
    bool complete = false;
    {
        SettingsKeyHandle camera = SettingsKeyHandle::create(staging, CameraKeyName(device).text);
        complete = camera && write_dialog_values(camera, table, format);
    }
    platform::finish_staging_settings_key(staging, complete);
}

namespace {

int32_t write_dialog_values(const SettingsKeyHandle& camera, const SizeTable& table, const VideoFormat& format) {
    const int32_t count = table.count < 0 ? 0 : table.count > SizeTable::kCapacity ? SizeTable::kCapacity : table.count;
    for (int32_t entry = 0; entry < count; ++entry) {
        SettingsKeyHandle key = SettingsKeyHandle::create(camera.get(), SizeKeyName(entry).text);
        if (!key || !write_size_entry(key, table.entries[entry])) return 0;
    }
    return camera.write("Size", format.size) && camera.write("Color", format.color) &&
                   camera.write("SubSample", format.sub_sample) && camera.write("WaitTime", format.wait_time) &&
                   camera.write("Clock", format.clock)
               ? 1
               : 0;
}

}  // namespace

bool CameraSettings::find_capture_window(int32_t device, int32_t width, int32_t height, CaptureWindow* found) const {
    if (!found) return false;
    SettingsKeyHandle camera = open_camera_key(root_, device);
    if (!camera) return false;
    bool matched = false;
    for_each_size_entry(camera, [&](int32_t, const SettingsKeyHandle& key) {
        CaptureWindow entry;
        read_size_entry(key, &entry);
        if (entry.width == width && entry.height == height) {
            *found = entry;
            matched = true;
        }
        return !matched;
    });
    return matched;
}

}  // namespace imvela
