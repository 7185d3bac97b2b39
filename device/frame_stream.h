#pragma once
// The ring of transfer buffers and the streaming loop that fills it, one frame per driver
// request, on its own thread; the consumer side takes the newest complete frame.
//
// Producer and consumer hand ring entries over under a short lock (the indices only, never
// the pixel copy): the producer never starts filling the entry the consumer holds, and the
// consumer never takes the entry being filled.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/transfer_counters.h"
#include "driver/driver_transport.h"

namespace imvela {

// Results of the stream.
constexpr int32_t kStreamOk = 0;
constexpr int32_t kStreamOpenFailed = 10;
constexpr int32_t kStreamTransferFailed = 19;
constexpr int32_t kStreamAlreadyRunning = 21;

// take_newest results.
constexpr int32_t kTakeIdle = 0;       // no loop runs
constexpr int32_t kTakeStopped = 1;    // the loop ended with an error, or no frame within the wait
constexpr int32_t kTakeArrived = 2;    // a frame arrived during the wait: call again
constexpr int32_t kTakeReady = 3;      // a frame is ready at the read index

constexpr uint32_t kFrameWaitMs = 6000;

class FrameStream {
public:
    FrameStream() = default;
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // (Re)allocates count zero-filled blocks of block_bytes; 0, or 7 when memory runs out
    // (nothing is kept then), or 21 while a loop runs.
    int32_t allocate(int64_t block_bytes, int32_t count);
    void release_blocks();
    int32_t ring_count() const { return static_cast<int32_t>(blocks_.size()); }
    int64_t block_bytes() const { return block_bytes_; }
    uint8_t* block(int32_t i) const { return blocks_[static_cast<size_t>(i)].get(); }

    // Starts the loop on the device file at path: each pass sends a frame request and reads
    // frame_bytes from the image pipe into the next block. 0, 21 when a loop runs, 7 when
    // there are no blocks large enough. A failed transfer that took driver_timeout_ms (less
    // a margin) or more is counted as a time-out.
    int32_t start(DriverTransport& transport, const std::string& path, int32_t frame_bytes, bool large,
                  int32_t driver_timeout_ms = 0);
    // Ends the loop and returns its result; 0 when none ran. A request still pending is
    // cancelled, so this returns at once whatever the driver is doing; a request that
    // failed because it was cancelled is no error.
    int32_t stop();
    // True from start until the loop ends by itself or is stopped.
    bool running() const { return stopped_.load(std::memory_order_acquire) == 0; }

    // Consumer: the newest complete frame becomes the taken one (kTakeReady).
    int32_t take_newest(uint32_t wait_ms = kFrameWaitMs);
    // The taken frame's block, or null when there is no ring. The consumer may work in it
    // (defect correction rewrites samples) until it gives the entry back.
    uint8_t* taken_frame() const;
    // The taken frame's number since the loop started (0 first; a gap: frames were skipped)
    // and when its transfer completed (monotonic microseconds). Consumer only.
    uint32_t taken_sequence() const { return taken_sequence_; }
    uint64_t taken_arrival_us() const { return taken_arrival_us_; }
    // Gives the taken entry back: the read index moves one further.
    void release_taken();
    // Gives the taken entry back as release_taken does, but the loop keeps off it (and its
    // memory stays, even if the ring is rebuilt) until release_held: the consumer may still
    // read what it left there. One entry at a time (holding another gives the earlier one
    // back); false, with nothing held, when the ring has fewer than three entries (the loop
    // needs two of its own).
    bool hold_taken();
    void release_held();

    // Requests completed by the running or last loop; milliseconds the last loop ran.
    int32_t frames() const { return frames_.load(std::memory_order_relaxed); }
    int32_t elapsed_ms() const { return elapsed_ms_; }
    int32_t read_index() const;
    // The faults the loop met; the owner clears them (they are not cleared at start).
    TransferCounters& counters() { return counters_; }
    int32_t write_index() const;

private:
    void loop();
    void finish(int32_t result);
    // Sets (or, with a null handle, clears) the file the loop's requests go to.
    void set_active_file(const DriverHandle& device);
    // Counts a transfer that failed after `waited_ms`: a time-out, the camera gone (its file
    // no longer opens), or a plain failure.
    void count_failure(uint32_t waited_ms);

    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    // Per block: the frame number and arrival time of the frame it holds (sized with the
    // ring; written by the loop under lock_ before the block is handed over).
    std::vector<uint32_t> block_sequence_;
    std::vector<uint64_t> block_arrival_us_;
    uint32_t taken_sequence_ = 0;
    uint64_t taken_arrival_us_ = 0;
    TransferCounters counters_;
    int32_t driver_timeout_ms_ = 0;
    int64_t block_bytes_ = 0;

    // Loop parameters, fixed while it runs.
    DriverTransport* transport_ = nullptr;
    std::string path_;
    int32_t frame_bytes_ = 0;
    bool large_ = false;

    std::thread thread_;
    bool started_ = false;             // a loop was started and not yet stopped
    std::atomic<int32_t> stopped_{1};  // 1 when no loop runs or a stop was requested
    std::atomic<int32_t> error_{0};    // 1 when the loop ended with 19
    std::atomic<int32_t> frames_{0};
    int32_t result_ = 0;      // written by the loop before it ends, read after the join
    int32_t elapsed_ms_ = 0;  // likewise

    mutable std::mutex lock_;
    std::condition_variable frame_event_;
    DriverHandle active_;     // the loop's open file, for stop to cancel its request
    bool loop_done_ = true;   // the loop has closed its file and is about to end
    bool frame_signalled_ = false;  // auto-reset event: one wake-up per completed request
    int32_t write_index_ = 0;
    int32_t read_index_ = 0;
    int32_t held_index_ = -1;  // the entry the loop keeps off, or -1
    // The held entry's memory after the ring was released or rebuilt under it.
    std::unique_ptr<uint8_t[]> held_block_;
};

}  // namespace imvela
