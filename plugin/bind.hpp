// Dynamic property functions as declarations.
//
// A property row names its key and a rule:
//
//     bind<"12_rectangle130_fillcolor", colour_by_flag<"dtmain.HV201", kWhite, kValveBlue>>
//
// Each row instantiates its own function with its own lookup cache slots (one per
// tag the rule reads). The function reads its tags through those slots, computes
// the property value, compares it with the host's current value and stores it
// only when it differs, returning 1 then and 0 otherwise. The rules themselves are
// written once, in bind.cpp; a row's function only hands them its tags and slots.
//
// A family's name says the kind of property it fills, then its rule:
//
//   flag_...      a 1-byte flag: visible, flash, enable
//   colour_...    a colour
//   state_...     a 4-byte state: flow state, direction
//   position_...  a 2-byte position: an offset, an edge, a limit of a curve's range
//   value_...     a float value: meters, scales, displays
//   text_...      a 16-byte text
//
//   ..._copy      the tag's value, converted as C converts it
//   ..._is_1      1 when the tag's byte is exactly 1, else 0 (..._is_0: when it is 0)
//   ..._either    1 when either of two tags' bytes is not 0
//   ..._in_range  1 while a count is within a range
//   ..._by_...    one of the row's constants, picked by a flag, by either of two, or by two
//   ..._of_...    the text the host makes of a number
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "plugin/table.hpp"

namespace hmi {

// A text given as a template argument: a tag name, a key, a unit.
template <size_t N>
struct Name {
    char str[N];
    constexpr Name(const char (&text)[N]) {
        for (size_t i = 0; i < N; ++i) str[i] = text[i];
    }
};

using Colour = uint32_t;  // red in the low byte, then green, then blue
constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;
constexpr Colour kYellow = 0x00FFFF;
constexpr Colour kGrey = 0x7F7F7F;
constexpr Colour kTan = 0x8CB4D2;
constexpr Colour kIndigo = 0x82004B;
constexpr Colour kDarkCyan = 0x8E8E38;

// How an integer tag is stored, for rules that widen it.
enum class Int : uint8_t { U8, U16, I16, U32, I32 };

// Arguments that travel together in one register.
struct LongFormat {
    Int kind;        // how the tag is stored
    uint8_t option;  // long2str2's option
};
struct Digits {
    int8_t width;     // float2str3's width
    int8_t decimals;  // and decimals
};
struct Range {
    uint16_t low;   // the smallest count inside
    uint16_t high;  // and the largest
};

// The largest value of rand() on the panel's C library (RAND_MAX there): the
// demonstration values divide by it as the scripts write it, not by the RAND_MAX of
// whatever C library is at hand.
constexpr double kRandMax = 2147483647.0;

// ---- the rules, written once ----
//
// Each takes the widget's value, the row's slots and at most two more arguments, so
// that on the 32-bit target every argument is in a register and a row's function is
// a tail call. Two texts travel as one pair (pair<A, B>() below).
namespace rule {
int flag_copy(void* value, void** slots, const char* tag);
int flag_is_1(void* value, void** slots, const char* tag);
int flag_is_0(void* value, void** slots, const char* tag);
int flag_either(void* value, void** slots, const char* a, const char* b);
int flag_off_and_on(void* value, void** slots, const char* lamp, const char* enable);
int flag_in_range(void* value, void** slots, const char* tag, Range range);
// colours: {while the tag's byte is 0, otherwise}
int colour_by_flag(void* value, void** slots, const char* tag, const Colour* colours);
// tags: the pair of the two tag names; colours: {while both are 0, otherwise}
int colour_by_either(void* value, void** slots, const char* tags, const Colour* colours);
int state_copy(void* value, void** slots, const char* tag);
int state_is_1(void* value, void** slots, const char* tag);
int position_copy(void* value, void** slots, const char* tag, Int kind);
// tags: the pair of the two indicator names
int position_by_flags(void* value, void** slots, const char* tags, const int16_t* by_state);
int value_copy(void* value, void** slots, const char* tag);
int value_of_integer(void* value, void** slots, const char* tag, Int kind);
int value_random(void* value, void** slots, double scale);
int value_random_percent(void* value, void** slots);
int text_of_integer(void* value, void** slots, const char* tag, Int kind);
int text_of_integer_option(void* value, void** slots, const char* tag, LongFormat format);
int text_of_decimal(void* value, void** slots, const char* tag, Digits digits);
int text_of_unsigned_decimal(void* value, void** slots, const char* tag, Digits digits);
int text_of_percent(void* value, void** slots, const char* tag);
int text_of_flickering(void* value, void** slots, const char* tag, const char* unit);
// texts: the pair {while the tag's byte is 0, otherwise}
int text_by_flag(void* value, void** slots, const char* tag, const char* texts);
int text_copy(void* value, void** slots, const char* tag);

// The 16-byte text value rule on its own: compare the whole text, store at most
// 15 bytes and a NUL.
int store_text(void* value, const char* text);
}  // namespace rule

// ---- rule families as types, for the rows ----
//
// Everything below has internal linkage: a row's function, its slots and the texts and
// constants it hands to its rule are the library's own, addressed relative to the code
// (no GOT entry and no load-time relocation each, as shared definitions would need on
// the 32-bit target). The rows that use them are therefore included by the table file
// alone (screens/rows.hpp).
namespace {

template <Name N>
struct TextOf {
    static constexpr Name<sizeof(N.str)> value = N;
};
template <Name N>
constexpr const char* text() {
    return TextOf<N>::value.str;
}

// Two texts in one array: the length of the first with its NUL, the first, the second.
template <Name A, Name B>
struct PairOf {
    static_assert(sizeof(A.str) < 256);
    struct Chars {
        char str[1 + sizeof(A.str) + sizeof(B.str)];
    };
    static constexpr Chars value = [] {
        Chars out{};
        out.str[0] = static_cast<char>(sizeof(A.str));
        for (size_t i = 0; i < sizeof(A.str); ++i) out.str[1 + i] = A.str[i];
        for (size_t i = 0; i < sizeof(B.str); ++i) out.str[1 + sizeof(A.str) + i] = B.str[i];
        return out;
    }();
};
template <Name A, Name B>
constexpr const char* pair() {
    return PairOf<A, B>::value.str;
}

template <Colour First, Colour Second>
struct Colours {
    static constexpr Colour value[2] = {First, Second};
};

template <const int16_t* ByState>
struct Positions {
    static constexpr int16_t value[4] = {ByState[0], ByState[1], ByState[2], ByState[3]};
};

// What a rule is handed after the value and the slots: each piece says how many of
// the row's slots it reads through (kTags) and gives the argument.
namespace arg {
template <Name N>  // a tag, read through the next slot
struct Tag {
    static constexpr int kTags = 1;
    static constexpr const char* get() { return text<N>(); }
};
template <Name A, Name B>  // two tags as one pair, read through the next two slots
struct TagPair {
    static constexpr int kTags = 2;
    static constexpr const char* get() { return pair<A, B>(); }
};
template <auto V>  // a number or a small format, by value
struct Constant {
    static constexpr int kTags = 0;
    // A format read from this object, as a constant of the row: the 32-bit target loads
    // it in one word instead of building it on the stack.
    static constexpr auto value = V;
    static constexpr const auto& get() { return value; }
};
template <Name N>
struct Text {
    static constexpr int kTags = 0;
    static constexpr const char* get() { return text<N>(); }
};
template <Name A, Name B>
struct TextPair {
    static constexpr int kTags = 0;
    static constexpr const char* get() { return pair<A, B>(); }
};
template <Colour First, Colour Second>
struct ColourPair {
    static constexpr int kTags = 0;
    static constexpr const Colour* get() { return Colours<First, Second>::value; }
};
template <const int16_t* ByState>
struct PositionTable {
    static constexpr int kTags = 0;
    static constexpr const int16_t* get() { return Positions<ByState>::value; }
};
}  // namespace arg

// The one shape of every family: its rule, called with the widget's value, the row's
// slots and its arguments in order.
template <auto Rule, class... Args>
struct Bound {
    static constexpr int kTags = (Args::kTags + ... + 0);
    static int apply(void* v, void** s) { return Rule(v, s, Args::get()...); }
};

// ---- the families ----

// The tag's byte.
template <Name Tag>
using flag_copy = Bound<rule::flag_copy, arg::Tag<Tag>>;
// 1 when the tag's byte is exactly 1, else 0.
template <Name Tag>
using flag_is_1 = Bound<rule::flag_is_1, arg::Tag<Tag>>;
// 1 when the tag's byte is 0, else 0.
template <Name Tag>
using flag_is_0 = Bound<rule::flag_is_0, arg::Tag<Tag>>;
// 1 when either tag's byte is not 0.
template <Name A, Name B>
using flag_either = Bound<rule::flag_either, arg::Tag<A>, arg::Tag<B>>;
// A lamp flashes while it is off (0) and its switch is on (not 0).
template <Name Lamp, Name Switch>
using flag_off_and_on = Bound<rule::flag_off_and_on, arg::Tag<Lamp>, arg::Tag<Switch>>;
// 1 while Low <= count <= High, the count taken as unsigned 16-bit.
template <Name Count, uint16_t Low, uint16_t High>
using flag_in_range = Bound<rule::flag_in_range, arg::Tag<Count>, arg::Constant<Range{Low, High}>>;

// Colour IfZero while the tag's byte is 0, else Otherwise.
template <Name Tag, Colour IfZero, Colour Otherwise>
using colour_by_flag =
    Bound<rule::colour_by_flag, arg::Tag<Tag>, arg::ColourPair<IfZero, Otherwise>>;
// Colour IfBothZero while both tags' bytes are 0, else Otherwise.
template <Name A, Name B, Colour IfBothZero, Colour Otherwise>
using colour_by_either =
    Bound<rule::colour_by_either, arg::TagPair<A, B>, arg::ColourPair<IfBothZero, Otherwise>>;

// The tag's byte, zero-extended to a 4-byte integer.
template <Name Tag>
using state_copy = Bound<rule::state_copy, arg::Tag<Tag>>;
// 1 as a 4-byte integer when the tag's byte is exactly 1, else 0.
template <Name Tag>
using state_is_1 = Bound<rule::state_is_1, arg::Tag<Tag>>;

// The integer tag's low 16 bits.
template <Name Tag, Int Kind>
using position_copy = Bound<rule::position_copy, arg::Tag<Tag>, arg::Constant<Kind>>;
// A 2-byte position picked by two 0/1 indicators: ByState[2 * a + b]; any other
// indicator value keeps the current position.
template <Name A, Name B, const int16_t* ByState>
using position_by_flags =
    Bound<rule::position_by_flags, arg::TagPair<A, B>, arg::PositionTable<ByState>>;

// The float tag.
template <Name Tag>
using value_copy = Bound<rule::value_copy, arg::Tag<Tag>>;
// An integer tag converted to float by value.
template <Name Tag, Int Kind>
using value_of_integer = Bound<rule::value_of_integer, arg::Tag<Tag>, arg::Constant<Kind>>;
// A demonstration value from rand(), 0 to Scale.
template <int Scale>
using value_random = Bound<rule::value_random, arg::Constant<Scale>>;
// A demonstration value from rand(), 0 to 99.
using value_random_percent = Bound<rule::value_random_percent>;

// long2str of the widened tag.
template <Name Tag, Int Kind>
using text_of_integer = Bound<rule::text_of_integer, arg::Tag<Tag>, arg::Constant<Kind>>;
// long2str2 of the widened tag with the given option.
template <Name Tag, Int Kind, uint8_t Option>
using text_of_integer_option =
    Bound<rule::text_of_integer_option, arg::Tag<Tag>, arg::Constant<LongFormat{Kind, Option}>>;
// float2str3 of the float tag.
template <Name Tag, int8_t Width, int8_t Decimals>
using text_of_decimal =
    Bound<rule::text_of_decimal, arg::Tag<Tag>, arg::Constant<Digits{Width, Decimals}>>;
// float2str3 of an unsigned 4-byte tag converted to float.
template <Name Tag, int8_t Width, int8_t Decimals>
using text_of_unsigned_decimal =
    Bound<rule::text_of_unsigned_decimal, arg::Tag<Tag>, arg::Constant<Digits{Width, Decimals}>>;
// double2str2 of an unsigned 2-byte tag, then "%".
template <Name Tag>
using text_of_percent = Bound<rule::text_of_percent, arg::Tag<Tag>>;
// The float tag lifted by a random 0.0 to 0.2, double2str2, then the unit.
template <Name Tag, Name Unit>
using text_of_flickering = Bound<rule::text_of_flickering, arg::Tag<Tag>, arg::Text<Unit>>;
// IfZero while the tag's byte is 0, else Otherwise.
template <Name Tag, Name IfZero, Name Otherwise>
using text_by_flag = Bound<rule::text_by_flag, arg::Tag<Tag>, arg::TextPair<IfZero, Otherwise>>;
// The text tag's own text.
template <Name Tag>
using text_copy = Bound<rule::text_copy, arg::Tag<Tag>>;

// The function of one property row: its own slots, zero at load, owned by the library.
template <Name Key, class Rule>
int property(void* value) {
    if constexpr (Rule::kTags == 0) {
        return Rule::apply(value, nullptr);
    } else {
        static constinit void* slots[Rule::kTags] = {};
        return Rule::apply(value, slots);
    }
}

template <Name Key, class Rule>
constexpr Row bind{Key.str, {.prop = &property<Key, Rule>}};

}  // namespace
}  // namespace hmi
