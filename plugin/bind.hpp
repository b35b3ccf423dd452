// Dynamic property functions as declarations.
//
// A property row names its key and a rule:
//
//     bind<"12_rectangle130_fillcolor", colour<"dtmain.HV201", kWhite, kValveBlue>>
//
// Each row instantiates its own function with its own lookup cache slots (one per
// tag the rule reads). The function reads its tags through those slots, computes
// the property value, compares it with the host's current value and stores it
// only when it differs, returning 1 then and 0 otherwise. The rules themselves are
// written once, in bind.cpp; a row's function only hands them its tags and slots.
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

// ---- the rules, written once ----
//
// Each takes the widget's value, the row's slots and at most two more arguments, so
// that on the 32-bit target every argument is in a register and a row's function is
// a tail call. Two texts travel as one pair (pair<A, B>() below).
namespace rule {
int flag(void* value, void** slots, const char* tag);
int flag_is_1(void* value, void** slots, const char* tag);
int flag_not(void* value, void** slots, const char* tag);
int flag_either(void* value, void** slots, const char* a, const char* b);
int lamp_flash(void* value, void** slots, const char* lamp, const char* enable);
int bubble(void* value, void** slots, const char* tag, uint16_t threshold);
// colours: {while the tag's byte is 0, otherwise}
int colour(void* value, void** slots, const char* tag, const Colour* colours);
// tags: the pair of the two tag names; colours: {while both are 0, otherwise}
int colour_either(void* value, void** slots, const char* tags, const Colour* colours);
int word(void* value, void** slots, const char* tag);
int word_is_1(void* value, void** slots, const char* tag);
int half(void* value, void** slots, const char* tag, Int kind);
// tags: the pair of the two indicator names
int position(void* value, void** slots, const char* tags, const int16_t* by_state);
int real(void* value, void** slots, const char* tag);
int real_of(void* value, void** slots, const char* tag, Int kind);
int random_real(void* value, double scale);
int random_percent(void* value);
int text_of_long(void* value, void** slots, const char* tag, Int kind);
int text_of_long2(void* value, void** slots, const char* tag, LongFormat format);
int text_of_float(void* value, void** slots, const char* tag, Digits digits);
int text_of_u32_float(void* value, void** slots, const char* tag, Digits digits);
int text_of_percent(void* value, void** slots, const char* tag);
int text_flicker(void* value, void** slots, const char* tag, const char* unit);
// texts: the pair {while the tag's byte is not 0, while it is 0}
int text_choice(void* value, void** slots, const char* tag, const char* texts);
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
// the 32-bit target). A family passes its names as text<Name>() or pair<A, B>().
namespace {

template <Name N>
struct Text {
    static constexpr Name<sizeof(N.str)> value = N;
};
template <Name N>
constexpr const char* text() {
    return Text<N>::value.str;
}

// Two texts in one array: the length of the first with its NUL, the first, the second.
template <Name A, Name B>
struct Pair {
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
    return Pair<A, B>::value.str;
}

template <Colour First, Colour Second>
struct Colours {
    static constexpr Colour value[2] = {First, Second};
};

template <const int16_t* ByState>
struct Positions {
    static constexpr int16_t value[4] = {ByState[0], ByState[1], ByState[2], ByState[3]};
};

// The tag's byte.
template <Name Tag>
struct flag {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::flag(v, s, text<Tag>()); }
};
// 1 when the tag's byte is exactly 1, else 0.
template <Name Tag>
struct flag_is_1 {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::flag_is_1(v, s, text<Tag>()); }
};
// 1 when the tag's byte is 0, else 0.
template <Name Tag>
struct flag_not {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::flag_not(v, s, text<Tag>()); }
};
// 1 when either tag's byte is not 0.
template <Name A, Name B>
struct flag_either {
    static constexpr int kTags = 2;
    static int apply(void* v, void** s) { return rule::flag_either(v, s, text<A>(), text<B>()); }
};
// A lamp flashes while it is off and its switch is on.
template <Name Lamp, Name Switch>
struct lamp_flash {
    static constexpr int kTags = 2;
    static int apply(void* v, void** s) {
        return rule::lamp_flash(v, s, text<Lamp>(), text<Switch>());
    }
};
// Visible while threshold <= count <= 9, the count taken as unsigned 16-bit.
template <Name Count, uint16_t Threshold>
struct bubble {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::bubble(v, s, text<Count>(), Threshold); }
};
// Colour IfZero while the tag's byte is 0, else Otherwise.
template <Name Tag, Colour IfZero, Colour Otherwise>
struct colour {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) {
        return rule::colour(v, s, text<Tag>(), Colours<IfZero, Otherwise>::value);
    }
};
// Colour IfBothZero while both tags' bytes are 0, else Otherwise.
template <Name A, Name B, Colour IfBothZero, Colour Otherwise>
struct colour_either {
    static constexpr int kTags = 2;
    static int apply(void* v, void** s) {
        return rule::colour_either(v, s, pair<A, B>(), Colours<IfBothZero, Otherwise>::value);
    }
};
// The tag's byte, zero-extended to a 4-byte integer.
template <Name Tag>
struct word {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::word(v, s, text<Tag>()); }
};
// 1 as a 4-byte integer when the tag's byte is exactly 1, else 0.
template <Name Tag>
struct word_is_1 {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::word_is_1(v, s, text<Tag>()); }
};
// The tag's low 16 bits.
template <Name Tag, Int Kind>
struct half {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::half(v, s, text<Tag>(), Kind); }
};
// A 2-byte position picked by two 0/1 indicators: ByState[2 * a + b]; any other
// indicator value keeps the current position.
template <Name A, Name B, const int16_t* ByState>
struct position {
    static constexpr int kTags = 2;
    static int apply(void* v, void** s) {
        return rule::position(v, s, pair<A, B>(), Positions<ByState>::value);
    }
};
// The float tag.
template <Name Tag>
struct real {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::real(v, s, text<Tag>()); }
};
// An integer tag converted to float by value.
template <Name Tag, Int Kind>
struct real_of {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::real_of(v, s, text<Tag>(), Kind); }
};
// A demonstration value from rand(), 0 to Scale.
template <int Scale>
struct random_real {
    static constexpr int kTags = 0;
    static int apply(void* v, void**) { return rule::random_real(v, Scale); }
};
// A demonstration value from rand(), 0 to 99.
struct random_percent {
    static constexpr int kTags = 0;
    static int apply(void* v, void**) { return rule::random_percent(v); }
};
// long2str of the widened tag.
template <Name Tag, Int Kind>
struct text_of_long {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::text_of_long(v, s, text<Tag>(), Kind); }
};
// long2str2 of the widened tag with the given option.
template <Name Tag, Int Kind, int Option>
struct text_of_long2 {
    static constexpr int kTags = 1;
    static constexpr LongFormat kFormat{Kind, static_cast<uint8_t>(Option)};
    static_assert(kFormat.option == Option);
    static int apply(void* v, void** s) { return rule::text_of_long2(v, s, text<Tag>(), kFormat); }
};
// float2str3 of the float tag.
template <Name Tag, int Width, int Decimals>
struct text_of_float {
    static constexpr int kTags = 1;
    static constexpr Digits kDigits{static_cast<int8_t>(Width), static_cast<int8_t>(Decimals)};
    static_assert(kDigits.width == Width && kDigits.decimals == Decimals);
    static int apply(void* v, void** s) { return rule::text_of_float(v, s, text<Tag>(), kDigits); }
};
// float2str3 of an unsigned 4-byte tag converted to float.
template <Name Tag, int Width, int Decimals>
struct text_of_u32_float {
    static constexpr int kTags = 1;
    static constexpr Digits kDigits{static_cast<int8_t>(Width), static_cast<int8_t>(Decimals)};
    static_assert(kDigits.width == Width && kDigits.decimals == Decimals);
    static int apply(void* v, void** s) {
        return rule::text_of_u32_float(v, s, text<Tag>(), kDigits);
    }
};
// double2str2 of an unsigned 2-byte tag, then "%".
template <Name Tag>
struct text_of_percent {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::text_of_percent(v, s, text<Tag>()); }
};
// The float tag lifted by a random 0.0 to 0.2, double2str2, then the unit.
template <Name Tag, Name Unit>
struct text_flicker {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) {
        return rule::text_flicker(v, s, text<Tag>(), text<Unit>());
    }
};
// IfSet while the tag's byte is not 0, else IfZero.
template <Name Tag, Name IfSet, Name IfZero>
struct text_choice {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) {
        return rule::text_choice(v, s, text<Tag>(), pair<IfSet, IfZero>());
    }
};
// The text tag's own text.
template <Name Tag>
struct text_copy {
    static constexpr int kTags = 1;
    static int apply(void* v, void** s) { return rule::text_copy(v, s, text<Tag>()); }
};

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
