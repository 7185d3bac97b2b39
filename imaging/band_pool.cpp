#include "imaging/band_pool.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/environment.h"

namespace imvela {

namespace {

// Asked once: the C++ library reads it from the system on every call (a file on Linux), far
// too slow for a question asked on every frame.
int32_t hardware_threads() {
    static const int32_t count = [] {
        const unsigned n = std::thread::hardware_concurrency();
        return n == 0 ? 1 : static_cast<int32_t>(std::min(n, 64u));
    }();
    return count;
}

int32_t limit_from_environment() {
    std::string text;
    if (!platform::environment_variable("IMVELA_KERNEL_THREADS", &text)) return hardware_threads();
    const long n = std::strtol(text.c_str(), nullptr, 10);
    return n >= 1 ? static_cast<int32_t>(std::min<long>(n, 64)) : hardware_threads();
}

}  // namespace

// Never destroyed: camera objects that the handle registry releases while the library
// unloads still return their leases to it (the last one stops the workers).
BandPool& BandPool::shared() {
    static BandPool* const pool = new BandPool;
    return *pool;
}

BandPool::BandPool() = default;

int32_t BandPool::threads() {
    std::lock_guard<std::mutex> guard(lock_);
    if (limit_ == 0) limit_ = limit_from_environment();
    return std::max(1, std::min(limit_, hardware_threads()));
}

void BandPool::set_thread_limit(int32_t limit) {
    std::lock_guard<std::mutex> guard(lock_);
    limit_ = std::max(1, limit);
}

BandPool::Lease::Lease() { shared().acquire(); }
BandPool::Lease::~Lease() {
    std::lock_guard<std::mutex> guard(shared().lease_lock_);
    shared().release();
}

void BandPool::acquire() {
    std::lock_guard<std::mutex> guard(lease_lock_);
    if (leases_++ > 0) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = false;
    }
    // The caller of run() is one of the threads.
    const int32_t count = hardware_threads() - 1;
    workers_.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) workers_.emplace_back([this] { worker_main(); });
}

// Called with lease_lock_ held.
void BandPool::release() {
    if (--leases_ > 0) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    work_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

bool BandPool::take(Batch** batch, int32_t* band) {
    for (Batch*& b : open_) {
        if (!b) continue;
        *batch = b;
        *band = b->next++;
        if (b->next == b->bands) b = nullptr;  // every band taken
        return true;
    }
    return false;
}

void BandPool::worker_main() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        Batch* batch = nullptr;
        int32_t band = 0;
        if (take(&batch, &band)) {
            hold.unlock();
            batch->job(batch->context, band);
            hold.lock();
            // The batch lives on its caller's stack: the caller returns once it sees
            // remaining reach 0, which it can only see after this thread lets go of the lock.
            if (--batch->remaining == 0) done_.notify_all();
            continue;
        }
        if (stop_) return;
        work_.wait(hold);
    }
}

void BandPool::run(int32_t bands, Job job, void* context) {
    if (bands <= 0) return;
    if (bands == 1) {
        job(context, 0);
        return;
    }
    Batch batch{job, context, bands, 0, bands};
    std::unique_lock<std::mutex> hold(lock_);
    Batch** slot = std::find(std::begin(open_), std::end(open_), nullptr);
    if (slot == std::end(open_)) {
        // Every slot busy (many cameras at once): this frame runs on its own thread.
        hold.unlock();
        for (int32_t b = 0; b < bands; ++b) job(context, b);
        return;
    }
    *slot = &batch;
    work_.notify_all();
    // Run this batch's bands here too until none is left to take.
    while (batch.next < batch.bands) {
        const int32_t band = batch.next++;
        if (batch.next == batch.bands) *slot = nullptr;
        hold.unlock();
        job(context, band);
        hold.lock();
        --batch.remaining;
    }
    done_.wait(hold, [&] { return batch.remaining == 0; });
}

}  // namespace imvela
