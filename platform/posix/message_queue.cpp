// Windows stand-in on POSIX: an HWND is a message queue that the application creates and
// reads; the library posts to it exactly where the Windows build posts to a window.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/messages.h"

struct ImvelaMsgQueue_ {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<ImvelaMsg> messages;
    bool closed = false;
};

namespace {

// A Windows message queue holds at most 10000 posted messages; later posts are lost.
constexpr size_t kQueueLimit = 10000;

struct QueueTable {
    std::mutex lock;
    std::unordered_map<HWND, std::shared_ptr<ImvelaMsgQueue_>> live;
};

QueueTable& table() {
    static QueueTable* t = new QueueTable;  // never destroyed: posts may come during exit
    return *t;
}

std::shared_ptr<ImvelaMsgQueue_> find_queue(HWND window) {
    QueueTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.live.find(window);
    return it == t.live.end() ? nullptr : it->second;
}

}  // namespace

namespace imvela::platform {

void post_message(HWND window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    if (!window) return;
    std::shared_ptr<ImvelaMsgQueue_> q = find_queue(window);
    if (!q) return;
    {
        std::lock_guard<std::mutex> guard(q->lock);
        if (q->closed || q->messages.size() >= kQueueLimit) return;
        q->messages.push_back(ImvelaMsg{message, wparam, lparam});
    }
    q->arrived.notify_one();
}

}  // namespace imvela::platform

extern "C" {

IMVELA_API HWND IMVELA_CALL ImvelaMsg_CreateQueue(void) {
    try {
        auto q = std::make_shared<ImvelaMsgQueue_>();
        HWND handle = q.get();
        QueueTable& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        t.live.emplace(handle, std::move(q));
        return handle;
    } catch (...) {
        return nullptr;
    }
}

IMVELA_API int IMVELA_CALL ImvelaMsg_Get(HWND queue, uint32_t timeout_ms, ImvelaMsg* out) {
    if (!out) return 0;
    std::shared_ptr<ImvelaMsgQueue_> q = find_queue(queue);
    if (!q) return 0;
    std::unique_lock<std::mutex> guard(q->lock);
    auto ready = [&] { return q->closed || !q->messages.empty(); };
    if (!ready() && timeout_ms > 0) q->arrived.wait_for(guard, std::chrono::milliseconds(timeout_ms), ready);
    if (q->messages.empty()) return 0;
    *out = q->messages.front();
    q->messages.pop_front();
    return 1;
}

IMVELA_API void IMVELA_CALL ImvelaMsg_DestroyQueue(HWND queue) {
    std::shared_ptr<ImvelaMsgQueue_> q;
    {
        QueueTable& t = table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.live.find(queue);
        if (it == t.live.end()) return;
        q = std::move(it->second);
        t.live.erase(it);
    }
    {
        std::lock_guard<std::mutex> guard(q->lock);
        q->closed = true;
        q->messages.clear();
    }
    q->arrived.notify_all();
}

}  // extern "C"
