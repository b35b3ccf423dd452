// The events as the pages receive them: a bounded ring of the newest messages, each
// numbered, that the simulator appends to and every page reads from at its own pace.
//
// The simulator never waits for a page: appending drops the oldest message when the
// ring is full. A page that has fallen behind by more than the ring holds is told to
// fetch the whole state again ("resync") and goes on from the newest message, so what
// a slow or vanished page costs is bounded by the ring, whatever it reads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace hmi::sim::serve {

struct Message {
    enum class Kind : uint8_t { Event, Status };
    Kind kind = Kind::Event;
    uint64_t seq = 0;  // from 1, one more than the message before
    std::string json;
};

class Feed {
  public:
    explicit Feed(size_t capacity = 4096, size_t byte_capacity = 4u << 20);

    void push(Message::Kind kind, std::string json);  // numbers it
    uint64_t last() const;                            // the newest number, 0 for none

    struct Batch {
        std::vector<Message> messages;  // in order
        bool resync = false;            // messages after the cursor were dropped
        bool closed = false;
    };
    // The messages after `cursor`, at most `most`; waits up to `wait` for the first.
    // On resync the batch holds the newest messages that fit it.
    Batch read(uint64_t cursor, size_t most, std::chrono::milliseconds wait);
    void close();  // wakes every reader; reads give closed from then on

  private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> ring_;
    size_t capacity_, byte_capacity_, bytes_ = 0;
    uint64_t last_ = 0;
    bool closed_ = false;
};

}  // namespace hmi::sim::serve
