#pragma once
// The handle registry's container: a circular doubly linked ring whose head is the
// current node. Searching moves the head, so a find followed by unlink_head removes
// exactly the node found. Handles need not be unique.
#include <cstdint>
#include <mutex>
#include <new>

namespace imvela {

class CImvela;

struct CSDKDATA {
    int32_t handle = 0;
    CImvela* camera = nullptr;
};

template <class T>
class CTRing {
public:
    struct Node {
        T data;
        Node* previous;
        Node* next;
    };

    CTRing() = default;
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;
    virtual ~CTRing() { clear(); }

    // Adds a node holding the entry and makes it the head; false when no memory.
    virtual bool insert(const T& entry) {
        Node* node = new (std::nothrow) Node{entry, nullptr, nullptr};
        if (!node) return false;
        if (!head_) {
            node->previous = node->next = node;
            count_ = 1;
        } else {
            ++count_;
            node->previous = head_->previous;
            node->next = head_;
            head_->previous->next = node;
            head_->previous = node;
        }
        head_ = node;
        return true;
    }

    // Walks forward from the head at most once round; on success the head is the match,
    // on failure it rests on the node that was last when the search began.
    bool find(int32_t handle) {
        if (!head_) return false;
        const int32_t last_key = head_->previous->data.handle;
        if (head_->data.handle == handle) return true;
        for (;;) {
            if (head_->data.handle == last_key) return false;
            head_ = head_->next;
            if (head_->data.handle == handle) return true;
        }
    }

    bool unlink_head() {
        if (!head_) return false;
        Node* old = head_;
        if (old->next == old) {
            head_ = nullptr;
            count_ = 0;
        } else {
            --count_;
            old->previous->next = old->next;
            old->next->previous = old->previous;
            head_ = old->next;
        }
        delete old;
        return true;
    }

    bool remove(int32_t handle) { return find(handle) && unlink_head(); }

    void clear() {
        while (unlink_head()) {
        }
    }

    // The node holding the handle; null when absent. The caller holds lock().
    Node* lookup_locked(int32_t handle) { return find(handle) ? head_ : nullptr; }

    // Guards the ring: every search (which moves the head), insertion and removal.
    std::mutex& lock() { return lock_; }
    Node* head() const { return head_; }
    int32_t count() const { return count_; }

private:
    Node* head_ = nullptr;
    int32_t count_ = 0;
    std::mutex lock_;  // a leaf (docs/locks.md)
};

class CSdkChain : public CTRing<CSDKDATA> {};

}  // namespace imvela
