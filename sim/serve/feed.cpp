#include "sim/serve/feed.hpp"

#include <algorithm>

namespace hmi::sim::serve {

Feed::Feed(size_t capacity, size_t byte_capacity)
    : capacity_(capacity), byte_capacity_(byte_capacity) {}

void Feed::push(Message::Kind kind, std::string json) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_ += json.size();
        ring_.push_back(Message{kind, ++last_, std::move(json)});
        while (ring_.size() > 1 && (ring_.size() > capacity_ || bytes_ > byte_capacity_)) {
            bytes_ -= ring_.front().json.size();
            ring_.pop_front();
        }
    }
    arrived_.notify_all();
}

uint64_t Feed::last() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return last_;
}

Feed::Batch Feed::read(uint64_t cursor, size_t most, std::chrono::milliseconds wait) {
    Batch batch;
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, wait, [&] { return closed_ || last_ > cursor; });
    if (closed_) {
        batch.closed = true;
        return batch;
    }
    if (ring_.empty() || last_ <= cursor) return batch;
    uint64_t first = ring_.front().seq;
    if (cursor + 1 < first) {
        // Behind by more than the ring holds: go on from the newest that fit one batch.
        batch.resync = true;
        cursor = std::max(first - 1, last_ > most ? last_ - most : 0);
    }
    for (size_t i = static_cast<size_t>(cursor + 1 - first); i < ring_.size() && most > 0;
         ++i, --most) {
        batch.messages.push_back(ring_[i]);
    }
    return batch;
}

void Feed::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    arrived_.notify_all();
}

}  // namespace hmi::sim::serve
