#include "device/frame_stream.h"

#include <chrono>
#include <new>

#include "device/driver_channel.h"
#include "platform/clock.h"
#include "platform/thread_priority.h"
#include "platform/debug_log.h"

namespace imvela {

namespace {
// How often stop repeats the cancellation of a pending request while the loop runs on.
constexpr int kCancelRepeatMs = 20;
}  // namespace

FrameStream::~FrameStream() { stop(); }

int32_t FrameStream::allocate(int64_t block_bytes, int32_t count) {
    if (running()) return kStreamAlreadyRunning;
    if (thread_.joinable()) thread_.join();  // a loop that ended by itself; stop still reports it
    release_blocks();
    if (block_bytes <= 0 || count <= 0) return 7;
    try {
        blocks_.reserve(static_cast<size_t>(count));
        block_sequence_.assign(static_cast<size_t>(count), 0);
        block_arrival_us_.assign(static_cast<size_t>(count), 0);
        for (int32_t i = 0; i < count; ++i) {
            std::unique_ptr<uint8_t[]> b(new (std::nothrow) uint8_t[static_cast<size_t>(block_bytes)]());
            if (!b) {
                release_blocks();
                return 7;
            }
            blocks_.push_back(std::move(b));
        }
    } catch (const std::bad_alloc&) {
        release_blocks();
        return 7;
    }
    block_bytes_ = block_bytes;
    return 0;
}

void FrameStream::release_blocks() {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (held_index_ >= 0 && static_cast<size_t>(held_index_) < blocks_.size())
            held_block_ = std::move(blocks_[static_cast<size_t>(held_index_)]);
        held_index_ = -1;
    }
    blocks_.clear();
    blocks_.shrink_to_fit();
    block_bytes_ = 0;
}

int32_t FrameStream::start(DriverTransport& transport, const std::string& path, int32_t frame_bytes, bool large,
                           int32_t driver_timeout_ms) {
    if (running()) return kStreamAlreadyRunning;
    if (thread_.joinable()) thread_.join();  // a loop that ended by itself
    if (blocks_.size() < 2 || frame_bytes <= 0 || frame_bytes > block_bytes_) return 7;
    transport_ = &transport;
    path_ = path;
    frame_bytes_ = frame_bytes;
    large_ = large;
    driver_timeout_ms_ = driver_timeout_ms;
    {
        std::lock_guard<std::mutex> g(lock_);
        write_index_ = 0;
        read_index_ = 0;
        frame_signalled_ = false;
    }
    frames_.store(0, std::memory_order_relaxed);
    error_.store(0, std::memory_order_relaxed);
    result_ = 0;
    elapsed_ms_ = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        loop_done_ = false;
    }
    stopped_.store(0, std::memory_order_release);
    try {
        thread_ = std::thread([this] { loop(); });
    } catch (...) {
        std::lock_guard<std::mutex> g(lock_);
        loop_done_ = true;
        stopped_.store(1, std::memory_order_release);
        return 3;
    }
    started_ = true;
    return 0;
}

void FrameStream::loop() {
    platform::raise_current_thread_priority();
    DriverHandle device;
    if (!open_device_file(*transport_, path_.c_str(), &device)) {
        IMVELA_LOG(device, error, "stream: the device file %s does not open: the camera is gone", path_.c_str());
        TransferCounters::count(counters_.unplugs);
        finish(kStreamOpenFailed);
        return;
    }
    set_active_file(device);
    const uint32_t start_tick = platform::tick_count();
    const int32_t count = static_cast<int32_t>(blocks_.size());
    const uint32_t bytes = static_cast<uint32_t>(frame_bytes_);
    bool short_allowed = true;
    bool failed = false;
    const driver::Record request = driver::command(driver::CMD_REQUEST_FRAME);
    while (stopped_.load(std::memory_order_acquire) == 0 && !failed) {
        const uint32_t requested = platform::tick_count();
        send_command(device, request, driver::kSelector0);
        uint8_t* target = blocks_[static_cast<size_t>(write_index_)].get();
        uint32_t moved = 0;
        const int32_t r = large_ ? large_transfer(device, driver::kPipeImage, bytes, target, &moved, driver::kSelector1)
                                 : standard_transfer(device, driver::kPipeImage, bytes, target, &moved, driver::kSelector1);
        // A request cancelled by stop is not a failure of the stream.
        if (stopped_.load(std::memory_order_acquire) != 0) break;
        if (r != kTransferOk) {
            failed = true;
            count_failure(platform::tick_count() - requested);
        } else if (moved != bytes) {
            TransferCounters::count(counters_.short_transfers);
            IMVELA_LOG(device, warn, "stream: short transfer, %u of %u bytes%s", moved, bytes,
                       short_allowed ? "; read again" : "; the stream ends");
            if (short_allowed) {
                short_allowed = false;  // the first short transfer is forgiven; the block is reused
                continue;
            }
            failed = true;
        }
        // A failed block is never handed to the consumer; the loop ends on it.
        if (failed) break;
        {
            std::lock_guard<std::mutex> g(lock_);
            // Never into the entry the consumer holds: at most two of at least three (a held
            // entry needs a ring of three) are kept off.
            int32_t next = write_index_ + 1 == count ? 0 : write_index_ + 1;
            while (next == read_index_ || next == held_index_) next = next + 1 == count ? 0 : next + 1;
            block_sequence_[static_cast<size_t>(write_index_)] =
                static_cast<uint32_t>(frames_.fetch_add(1, std::memory_order_relaxed));
            block_arrival_us_[static_cast<size_t>(write_index_)] = platform::monotonic_microseconds();
            write_index_ = next;
            frame_signalled_ = true;
        }
        frame_event_.notify_all();
    }
    elapsed_ms_ = static_cast<int32_t>(platform::tick_count() - start_tick);
    set_active_file(DriverHandle{});
    close_device_file(&device);
    finish(failed ? kStreamTransferFailed : kStreamOk);
}

void FrameStream::count_failure(uint32_t waited_ms) {
    if (driver_timeout_ms_ > 0 && waited_out(waited_ms, driver_timeout_ms_)) {
        IMVELA_LOG(device, error, "stream: no frame within the driver's timeout (%u of %d ms); the stream ends",
                   waited_ms, driver_timeout_ms_);
        TransferCounters::count(counters_.timeouts);
        return;
    }
    DriverHandle probe;
    if (!open_device_file(*transport_, path_.c_str(), &probe) || probe.is_invalid()) {
        close_device_file(&probe);
        IMVELA_LOG(device, error, "stream: transfer failed after %u ms and %s no longer opens: the camera is gone",
                   waited_ms, path_.c_str());
        TransferCounters::count(counters_.unplugs);
        return;
    }
    close_device_file(&probe);
    IMVELA_LOG(device, error, "stream: transfer of %d bytes failed after %u ms (%s); the stream ends", frame_bytes_,
               waited_ms, path_.c_str());
    TransferCounters::count(counters_.failed);
}

void FrameStream::set_active_file(const DriverHandle& device) {
    std::lock_guard<std::mutex> g(lock_);
    active_ = device;
}

void FrameStream::finish(int32_t result) {
    result_ = result;
    {
        std::lock_guard<std::mutex> g(lock_);
        loop_done_ = true;
        error_.store(result == kStreamTransferFailed ? 1 : 0, std::memory_order_relaxed);
        stopped_.store(1, std::memory_order_release);
        // Wake a waiting consumer at once rather than letting it sit out its wait.
        frame_signalled_ = true;
    }
    frame_event_.notify_all();
}

int32_t FrameStream::stop() {
    if (!started_) return 0;  // nothing ran since the last stop
    stopped_.store(1, std::memory_order_release);
    {
        // Cancel until the loop has ended: a request it makes just after a cancellation
        // would not see it.
        std::unique_lock<std::mutex> g(lock_);
        while (!loop_done_) {
            if (!active_.is_null() && !active_.is_invalid()) active_.transport->cancel_pending(active_.value);
            frame_event_.wait_for(g, std::chrono::milliseconds(kCancelRepeatMs), [this] { return loop_done_; });
        }
    }
    if (thread_.joinable()) thread_.join();
    started_ = false;
    const int32_t result = result_;
    error_.store(0, std::memory_order_relaxed);
    return result;
}

int32_t FrameStream::take_newest(uint32_t wait_ms) {
    // The stop flag first: the loop stores its error before it sets the flag, so once the
    // flag reads set the error is visible. Read the other way round, a loop ending between
    // the two reads would be reported as never having run and its failure would be lost.
    if (!running()) return error_.load(std::memory_order_relaxed) ? kTakeStopped : kTakeIdle;
    std::unique_lock<std::mutex> g(lock_);
    const int32_t count = static_cast<int32_t>(blocks_.size());
    int32_t w = write_index_;
    const int32_t r = read_index_;
    if (w < r) w += count;
    if (w - r < 1) {
        const bool arrived = frame_event_.wait_for(g, std::chrono::milliseconds(wait_ms), [this] { return frame_signalled_; });
        if (!arrived) return kTakeStopped;
        frame_signalled_ = false;
        return kTakeArrived;
    }
    int32_t taken = w - 1;
    if (taken < 0) taken += count;
    if (taken >= count) taken -= count;
    read_index_ = taken;
    taken_sequence_ = block_sequence_[static_cast<size_t>(taken)];
    taken_arrival_us_ = block_arrival_us_[static_cast<size_t>(taken)];
    return kTakeReady;
}

uint8_t* FrameStream::taken_frame() const {
    if (blocks_.empty()) return nullptr;
    // Only the consumer writes the read index.
    std::lock_guard<std::mutex> g(lock_);
    return blocks_[static_cast<size_t>(read_index_)].get();
}

void FrameStream::release_taken() {
    std::lock_guard<std::mutex> g(lock_);
    const int32_t count = static_cast<int32_t>(blocks_.size());
    if (count == 0) return;
    read_index_ = read_index_ + 1 == count ? 0 : read_index_ + 1;
}

bool FrameStream::hold_taken() {
    std::lock_guard<std::mutex> g(lock_);
    const int32_t count = static_cast<int32_t>(blocks_.size());
    if (count < 3) return false;
    held_block_.reset();
    held_index_ = read_index_;
    read_index_ = read_index_ + 1 == count ? 0 : read_index_ + 1;
    return true;
}

void FrameStream::release_held() {
    std::lock_guard<std::mutex> g(lock_);
    held_index_ = -1;
    held_block_.reset();
}

int32_t FrameStream::read_index() const {
    std::lock_guard<std::mutex> g(lock_);
    return read_index_;
}

int32_t FrameStream::write_index() const {
    std::lock_guard<std::mutex> g(lock_);
    return write_index_;
}

}  // namespace imvela
