#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace orvelle::search {

// Hands work from one thread to another, holding at most `capacity` bytes (as the producer
// counts them) and `slots` items: Push waits while it is full, so memory stays bounded
// however far the producer runs ahead. An item larger than the capacity still goes in, alone.
template <typename T> class WorkQueue {
public:
    WorkQueue(std::size_t capacity, std::size_t slots) : capacity_(capacity), slots_(slots) {}

    // False when the queue was closed meanwhile (the item is dropped).
    bool Push(T item, std::size_t bytes) {
        std::unique_lock lock(mutex_);
        space_.wait(lock, [&] {
            return closed_ || items_.empty() ||
                   (bytes_ + bytes <= capacity_ && items_.size() < slots_);
        });
        if (closed_) {
            return false;
        }
        bytes_ += bytes;
        items_.emplace_back(std::move(item), bytes);
        ready_.notify_one();
        return true;
    }

    // The next item; nullopt once the queue is closed and empty.
    std::optional<T> Pop() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return finished_ || !items_.empty(); });
        if (items_.empty()) {
            return std::nullopt;
        }
        auto [item, bytes] = std::move(items_.front());
        items_.pop_front();
        bytes_ -= bytes;
        space_.notify_all();
        return std::move(item);
    }

    // No more items come; what is queued is still handed out.
    void Finish() {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        ready_.notify_all();
    }

    // No more items come and what is queued is dropped; a waiting Push gives up.
    void Close() {
        const std::lock_guard lock(mutex_);
        closed_ = finished_ = true;
        items_.clear();
        bytes_ = 0;
        ready_.notify_all();
        space_.notify_all();
    }

private:
    const std::size_t capacity_;
    const std::size_t slots_;
    std::mutex mutex_;
    std::condition_variable ready_, space_;
    std::deque<std::pair<T, std::size_t>> items_;
    std::size_t bytes_ = 0;
    bool finished_ = false;
    bool closed_ = false;
};

} // namespace orvelle::search
