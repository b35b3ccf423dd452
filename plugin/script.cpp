#include "plugin/script.hpp"

#include <string.h>

#include "plugin/hmi_abi.h"

namespace hmi {

Script::Copy& Script::read(const char* tag, Kind kind) {
    // More tags than any handler reads is a fault of the handler, found by its tests.
    if (count_ == kCapacity) __builtin_trap();
    Copy& copy = copies_[count_++];
    copy.tag = tag;
    copy.kind = kind;
    void* value = hmidb_get_data_value(tag);
    switch (kind) {
        case Kind::U8:
            memcpy(&copy.local.u8, value, 1);
            break;
        case Kind::U16:
            memcpy(&copy.local.u16, value, 2);
            break;
        case Kind::I16:
            memcpy(&copy.local.i16, value, 2);
            break;
        case Kind::U32:
            memcpy(&copy.local.u32, value, 4);
            break;
        case Kind::I32:
            memcpy(&copy.local.i32, value, 4);
            break;
        case Kind::F32:
            memcpy(&copy.local.f32, value, 4);
            break;
        case Kind::Text:
            copy.local.text = static_cast<char*>(value);
            break;
    }
    copy.ref = copy.local;
    return copy;
}

uint8_t& Script::u8(const char* tag) {
    return read(tag, Kind::U8).local.u8;
}
uint16_t& Script::u16(const char* tag) {
    return read(tag, Kind::U16).local.u16;
}
int16_t& Script::i16(const char* tag) {
    return read(tag, Kind::I16).local.i16;
}
uint32_t& Script::u32(const char* tag) {
    return read(tag, Kind::U32).local.u32;
}
int32_t& Script::i32(const char* tag) {
    return read(tag, Kind::I32).local.i32;
}
float& Script::f32(const char* tag) {
    return read(tag, Kind::F32).local.f32;
}
char* Script::text(const char* tag) {
    return read(tag, Kind::Text).local.text;
}

void Script::store(Copy& copy) {
    bool changed = false;
    switch (copy.kind) {
        case Kind::U8:
            changed = copy.local.u8 != copy.ref.u8;
            break;
        case Kind::U16:
            changed = copy.local.u16 != copy.ref.u16;
            break;
        case Kind::I16:
            changed = copy.local.i16 != copy.ref.i16;
            break;
        case Kind::U32:
            changed = copy.local.u32 != copy.ref.u32;
            break;
        case Kind::I32:
            changed = copy.local.i32 != copy.ref.i32;
            break;
        case Kind::F32:
            changed = copy.local.f32 != copy.ref.f32;
            break;  // +0.0 == -0.0
        case Kind::Text:
            hmidb_set_data_value(copy.tag, copy.local.text);
            return;
    }
    if (!changed) return;
    hmidb_set_data_value(copy.tag, &copy.local);
    copy.ref = copy.local;
}

void Script::write_back() {
    for (unsigned i = count_; i-- > 0;) store(copies_[i]);
}

void Script::write_back(const void* local) {
    for (unsigned i = count_; i-- > 0;) {
        if (&copies_[i].local == local) store(copies_[i]);
    }
}

void set_flag(const char* tag, uint8_t value) {
    Script s;
    s.u8(tag) = value;
    s.write_back();
}

void toggle_flag(const char* tag) {
    Script s;
    auto& flag = s.u8(tag);
    flag = negated(flag);
    s.write_back();
}

}  // namespace hmi
