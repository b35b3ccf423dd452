#include "plugin/bind.hpp"

#include <stdlib.h>
#include <string.h>

#include "plugin/gbk.hpp"
#include "plugin/hmi_abi.h"

namespace hmi::rule {
namespace {

// A property's tag is read once, at once, through its call site's own slot.
const void* at(const char* tag, void** slot) {
    return hmidb_get_data_value_by_ptr(tag, slot);
}

uint8_t byte_of(const char* tag, void** slot) {
    uint8_t v;
    memcpy(&v, at(tag, slot), sizeof v);
    return v;
}

float float_of(const char* tag, void** slot) {
    float v;
    memcpy(&v, at(tag, slot), sizeof v);
    return v;
}

template <class T>
T read_as(const char* tag, void** slot) {
    T v;
    memcpy(&v, at(tag, slot), sizeof v);
    return v;
}

// Widened by the signedness of the tag.
long long_of(const char* tag, void** slot, Int kind) {
    switch (kind) {
        case Int::U8:
            return read_as<uint8_t>(tag, slot);
        case Int::U16:
            return read_as<uint16_t>(tag, slot);
        case Int::I16:
            return read_as<int16_t>(tag, slot);
        case Int::U32:
            return static_cast<long>(read_as<uint32_t>(tag, slot));
        case Int::I32:
            return read_as<int32_t>(tag, slot);
    }
    return 0;
}

// Compare with the host's current value over the property's width; store on a difference.
template <class T>
int store(void* value, T v) {
    T current;
    memcpy(&current, value, sizeof current);
    if (current == v) return 0;  // floats by value: +0.0 equals -0.0
    memcpy(value, &v, sizeof v);
    return 1;
}

int store_flag(void* value, bool on) {
    return store<uint8_t>(value, on ? 1 : 0);
}

// The two texts of a pair (pair<A, B>() in bind.hpp).
struct Texts {
    const char* first;
    const char* second;
};
Texts split(const char* pair) {
    const char* first = pair + 1;
    return {first, first + static_cast<unsigned char>(pair[0])};
}

}  // namespace

int store_text(void* value, const char* text) {
    if (text == nullptr) text = "";
    char* current = static_cast<char*>(value);
    // Equal only when the whole text matches within the 16 bytes, NUL included; a text
    // of 16 bytes or more never equals its cut copy, so it is stored on every call.
    for (size_t i = 0; i < HMI_TEXT_VALUE_SIZE; ++i) {
        if (text[i] != current[i]) break;
        if (text[i] == '\0') return 0;
    }
    strncpy(current, text, HMI_TEXT_VALUE_SIZE);
    if (current[HMI_TEXT_VALUE_SIZE - 1] != '\0') {
        // Too long: its whole characters are kept, 15 bytes, or 14 when the 15th
        // would begin a two-byte character.
        size_t kept = whole_characters(current, HMI_TEXT_VALUE_SIZE - 1);
        memset(current + kept, 0, HMI_TEXT_VALUE_SIZE - kept);
    }
    return 1;
}

int flag_copy(void* value, void** slots, const char* tag) {
    return store<uint8_t>(value, byte_of(tag, &slots[0]));
}

int flag_is_1(void* value, void** slots, const char* tag) {
    return store_flag(value, byte_of(tag, &slots[0]) == 1);
}

int flag_is_0(void* value, void** slots, const char* tag) {
    return store_flag(value, byte_of(tag, &slots[0]) == 0);
}

int flag_either(void* value, void** slots, const char* a, const char* b) {
    uint8_t first = byte_of(a, &slots[0]);
    uint8_t second = byte_of(b, &slots[1]);
    return store_flag(value, first != 0 || second != 0);
}

int flag_off_and_on(void* value, void** slots, const char* lamp, const char* enable) {
    uint8_t off = byte_of(lamp, &slots[0]) == 0;
    uint8_t on = byte_of(enable, &slots[1]) != 0;
    return store_flag(value, on && off);
}

int flag_in_range(void* value, void** slots, const char* tag, Range range) {
    uint16_t count = read_as<uint16_t>(tag, &slots[0]);
    return store_flag(value, range.low <= count && count <= range.high);
}

int colour_by_flag(void* value, void** slots, const char* tag, const Colour* colours) {
    return store<Colour>(value, byte_of(tag, &slots[0]) == 0 ? colours[0] : colours[1]);
}

int colour_by_either(void* value, void** slots, const char* tags, const Colour* colours) {
    Texts names = split(tags);
    uint8_t first = byte_of(names.first, &slots[0]);
    uint8_t second = byte_of(names.second, &slots[1]);
    return store<Colour>(value, first == 0 && second == 0 ? colours[0] : colours[1]);
}

int state_copy(void* value, void** slots, const char* tag) {
    return store<uint32_t>(value, byte_of(tag, &slots[0]));
}

int state_is_1(void* value, void** slots, const char* tag) {
    return store<uint32_t>(value, byte_of(tag, &slots[0]) == 1 ? 1 : 0);
}

int position_copy(void* value, void** slots, const char* tag, Int kind) {
    return store<uint16_t>(value, static_cast<uint16_t>(long_of(tag, &slots[0], kind)));
}

int position_by_flags(void* value, void** slots, const char* tags, const int16_t* by_state) {
    Texts names = split(tags);
    uint8_t first = byte_of(names.first, &slots[0]);
    uint8_t second = byte_of(names.second, &slots[1]);
    if (first > 1 || second > 1) return 0;  // no position for such indicators: keep the current one
    return store<int16_t>(value, by_state[2 * first + second]);
}

int value_copy(void* value, void** slots, const char* tag) {
    return store<float>(value, float_of(tag, &slots[0]));
}

int value_of_integer(void* value, void** slots, const char* tag, Int kind) {
    if (kind == Int::U32) {
        return store<float>(value, static_cast<float>(read_as<uint32_t>(tag, &slots[0])));
    }
    return store<float>(value, static_cast<float>(long_of(tag, &slots[0], kind)));
}

int value_random(void* value, void**, double scale) {
    return store<float>(value, static_cast<float>(rand() * scale / kRandMax));
}

int value_random_percent(void* value, void**) {
    return store<float>(value, static_cast<float>(rand() % 100));
}

int text_of_integer(void* value, void** slots, const char* tag, Int kind) {
    return store_text(value, long2str(long_of(tag, &slots[0], kind)));
}

int text_of_integer_option(void* value, void** slots, const char* tag, LongFormat format) {
    return store_text(value, long2str2(long_of(tag, &slots[0], format.kind), format.option));
}

int text_of_decimal(void* value, void** slots, const char* tag, Digits digits) {
    return store_text(value, float2str3(float_of(tag, &slots[0]), digits.width, digits.decimals));
}

int text_of_unsigned_decimal(void* value, void** slots, const char* tag, Digits digits) {
    float v = static_cast<float>(read_as<uint32_t>(tag, &slots[0]));
    return store_text(value, float2str3(v, digits.width, digits.decimals));
}

int text_of_percent(void* value, void** slots, const char* tag) {
    double v = read_as<uint16_t>(tag, &slots[0]);
    return store_text(value, strjoin(double2str2(v, 1), "%"));
}

int text_of_flickering(void* value, void** slots, const char* tag, const char* unit) {
    double v = float_of(tag, &slots[0]);
    v += rand() * 0.2 / kRandMax;
    return store_text(value, strjoin(double2str2(v, 1), unit));
}

int text_by_flag(void* value, void** slots, const char* tag, const char* texts) {
    Texts choice = split(texts);
    return store_text(value, byte_of(tag, &slots[0]) == 0 ? choice.first : choice.second);
}

int text_copy(void* value, void** slots, const char* tag) {
    return store_text(value, static_cast<const char*>(at(tag, &slots[0])));
}

}  // namespace hmi::rule
