#pragma once
// BandPool: a small set of worker threads shared by every camera of the process, on which a
// frame's kernels run in row bands. The thread that asks runs bands itself as well, so a frame
// never uses more threads than the machine has hardware threads; the workers exist only while
// at least one lease is held (every camera object holds one), so none outlives the cameras.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace imvela {

class BandPool {
public:
    using Job = void (*)(void* context, int32_t band);

    static BandPool& shared();

    // Threads a frame may use, the caller included: the hardware threads, at most the limit
    // (IMVELA_KERNEL_THREADS in the environment, or set_thread_limit), at least 1.
    int32_t threads();
    void set_thread_limit(int32_t limit);

    // Runs job(context, b) for every b in 0..bands - 1 and returns when all have run. Bands run
    // on the caller and on the workers when any are started; the results must not depend on
    // which thread runs which band. Allocates nothing.
    void run(int32_t bands, Job job, void* context);

    // While a lease exists the workers run; the last lease to go stops and joins them.
    class Lease {
    public:
        Lease();
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
    };

    BandPool(const BandPool&) = delete;
    BandPool& operator=(const BandPool&) = delete;

private:
    struct Batch {
        Job job;
        void* context;
        int32_t bands;
        int32_t next;       // first band nobody has taken
        int32_t remaining;  // bands not yet finished
    };

    BandPool();
    ~BandPool() = default;
    void acquire();
    void release();
    void worker_main();
    // Takes a band of some open batch; false when there is none. Called with lock_ held.
    bool take(Batch** batch, int32_t* band);

    // lease_lock_ before lock_ (docs/locks.md); neither is held while a job runs.
    std::mutex lease_lock_;  // guards leases_ and workers_ (starting and stopping)
    int32_t leases_ = 0;
    std::vector<std::thread> workers_;

    std::mutex lock_;  // guards everything below
    std::condition_variable work_;  // a band to take, or stop
    std::condition_variable done_;  // a batch finished
    static constexpr int32_t kMaxBatches = 32;
    Batch* open_[kMaxBatches] = {};  // batches with bands not yet taken
    int32_t limit_ = 0;              // 0 until read from the environment (once)
    bool stop_ = false;
};

}  // namespace imvela
