#pragma once
// The values a viewer adjusts while the picture runs: the analog values (gain, exposure,
// mirrors) and every filter value, one chosen at a time, stepped up or down through the
// library's setters. The list the X11 viewer's panel shows.
#include <cstdint>
#include <string>
#include <vector>

struct LiveValue {
    const char* name;
    int32_t identifier;  // Imvela_SetFilterValue's, or kMirrorH / kMirrorV
    int32_t min, max, step;
    bool analog;
};

class LiveValues {
public:
    static constexpr int32_t kMirrorH = -1, kMirrorV = -2;

    // The list, with the gain and exposure limits of the camera behind `handle`.
    void load(int32_t handle);
    const std::vector<LiveValue>& values() const { return values_; }
    int chosen() const { return chosen_; }
    void choose(int index);
    // The first analog value, or the first filter value.
    void choose_first(bool analog);
    // Moves the choice up or down the list (wrapping round).
    void choose_next(int direction);
    // Changes the chosen value by `steps` of its step, kept within its limits. False with
    // `error` set when the library refused the value.
    bool change(int32_t handle, int32_t steps, std::string* outcome);
    // The value as the library has it now; `ok` false when it could not be read.
    static int32_t read(int32_t handle, const LiveValue& value, bool* ok);
    // "Gamma 100 (50..200)", for the panel and the status.
    static std::string describe(int32_t handle, const LiveValue& value);

private:
    std::vector<LiveValue> values_;
    int chosen_ = 0;
};
