#pragma once
// The per-camera history of error codes: entry 0 is the newest, 0 marks an empty place,
// only the 20 most recent codes are kept.
#include <array>
#include <cstdint>
#include <mutex>

namespace imvela {

class ErrorHistory {
public:
    static constexpr int kDepth = 20;

    // Shifts every entry one place older (the oldest is lost) and stores code as newest.
    void push(int32_t code);
    // Removes and returns the newest code; 0 when the history is empty.
    int32_t pop();

private:
    // Application threads and the camera's workers record at once; the lock keeps a
    // shift from losing or duplicating an entry.
    std::mutex lock_;
    std::array<int32_t, kDepth> codes_{};
};

}  // namespace imvela
