// Tag access of an event function: copy in, work on locals, write back on change.
//
// A handler names its tags once, at entry, in its read order; each call reads the
// tag from the store and returns the local copy the script works on. Every
// write_back() then goes through the tags in the reverse of that order and writes
// a tag only when its local differs from the value last read or written; text
// tags have no copy (the script edits the host's buffer) and are written every
// time. The copies live inside the Script, so a handler allocates nothing.
#pragma once

#include <stdint.h>

namespace hmi {

class Script {
  public:
    Script() = default;
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    uint8_t& u8(const char* tag);
    uint16_t& u16(const char* tag);
    int16_t& i16(const char* tag);
    uint32_t& u32(const char* tag);
    int32_t& i32(const char* tag);
    float& f32(const char* tag);
    char* text(const char* tag);  // the host's own buffer of HMI_TEXT_TAG_SIZE bytes

    // Writes every changed tag, in the reverse of the read order.
    void write_back();

    // Writes just the tag whose local this is, if it changed (an early exit that may
    // store one tag and no other).
    void write_back(const void* local);

    static constexpr unsigned kCapacity = 48;  // the largest handler reads 46 tags

  private:
    enum class Kind : uint8_t { U8, U16, I16, U32, I32, F32, Text };
    union Value {
        uint8_t u8;
        uint16_t u16;
        int16_t i16;
        uint32_t u32;
        int32_t i32;
        float f32;
        char* text;
    };
    struct Copy {
        const char* tag;
        Kind kind;
        Value local;
        Value ref;
    };

    Copy& read(const char* tag, Kind kind);
    static void store(Copy& copy);

    Copy copies_[kCapacity];
    unsigned count_ = 0;
};

// A negated flag: 1 when it is 0, and 0 for any other value (not a bit flip).
constexpr uint8_t negated(uint8_t flag) {
    return flag == 0 ? 1 : 0;
}

// Handlers whose whole script is one 1-byte tag, set to a value or negated, and
// written back if that changed it.
void set_flag(const char* tag, uint8_t value);
void toggle_flag(const char* tag);

}  // namespace hmi
