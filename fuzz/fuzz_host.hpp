// A host whose every answer comes from the fuzzer's bytes: tag values (text tags may
// come unterminated), message box answers, and the texts of the formatting services,
// of any length and any bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hmi::fuzz {

class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return size_ == 0; }
    uint8_t byte() { return size_ ? (--size_, *data_++) : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | byte();
        return v;
    }
    // A text of up to `limit` bytes taken as it stands (no NUL inside).
    std::string text(size_t limit);

  private:
    const uint8_t* data_;
    size_t size_;
};

// Starts a run: tag values are drawn from `bytes` on their first read in this run.
void begin(Bytes& bytes);
// Ends a run: texts handed out are released, tags forgotten.
void end();

// The byte width of a property's value by its name (the last part of its key).
size_t property_width(const std::string& property);

}  // namespace hmi::fuzz
