// Conditions and comparisons of `expect` and `run until`.
//
// A comparison is an operator and a value as written: `= 1`, `!= 0`, `< 70`, `<= 70`,
// `> 13.9`, `>= 13.9`, `~ 13.9 ± 0.05` (or `+-`), or the value alone for `=`.
//
// Equality of numbers: whole numbers compare exactly. A float (a float tag, a float
// property) equals the value written when they agree to the digits written: the float
// rounded to as many decimals as the expectation has is the expectation. `13.9` is met
// by 13.900001 and by 13.94, not by 13.96; `13.90` is not met by 13.906. Write more
// digits for a closer check, or `~ VALUE ± TOLERANCE` for a band of your own. `<` and
// `>` compare the values as they are; `<=` and `>=` also hold when the values are equal
// in the sense above. Texts take `=` and `!=` only.
//
// A condition names what is compared: a tag (`TAG OP VALUE`, or `tag TAG OP VALUE`), a
// window (`shown WINDOW`, `hidden WINDOW`) or a property value (`prop WINDOW WIDGET
// PROPERTY OP VALUE`, `prop KEY OP VALUE`). Parsing checks the form only; the names are
// resolved by whoever evaluates it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hmi::sim {

// A value that a tag or property holds, for comparing.
struct Actual {
    enum class Type : uint8_t {
        Whole,  // integers, flags, colours: equal only when equal
        Float,  // floats: equal when they agree to the digits written
        Text,
    };
    Type type = Type::Whole;
    double number = 0;
    std::string text;     // UTF-8
    std::string display;  // as the simulator shows it (a colour in hex...); empty: plain

    static Actual whole(double n, std::string display = {}) {
        return {Type::Whole, n, {}, std::move(display)};
    }
    static Actual floating(double n, std::string display = {}) {
        return {Type::Float, n, {}, std::move(display)};
    }
    static Actual of_text(std::string t) { return {Type::Text, 0, std::move(t), {}}; }
    std::string readable() const;
};

struct Comparison {
    enum class Op : uint8_t { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, Near };
    Op op = Op::Equal;
    std::string value;     // as written, quotes removed
    bool numeric = false;  // the value reads as a number (decimal, or 0x hexadecimal)
    double number = 0;     // when numeric
    int decimals = 0;      // digits written after the decimal point
    double tolerance = 0;  // of Op::Near

    // Reads `[OP] VALUE` or `~ VALUE ± TOLERANCE`: all of `words`. Empty with a message
    // naming what is wrong.
    static std::optional<Comparison> parse(std::span<const std::string> words, std::string* error);
    // Whether `word` is one of the operators, for splitting a condition.
    static bool is_operator(const std::string& word);

    bool holds(const Actual& actual) const;
    // Whether the comparison can be made against values of that type at all (a text
    // takes = and != only, a number needs a numeric value). Empty when it can, else why.
    std::string applies_to(Actual::Type type) const;
    // "= 13.9", "~ 13.9 ± 0.05", "< 70".
    std::string readable() const;
};

struct Condition {
    enum class Subject : uint8_t { Tag, Shown, Hidden, Prop };
    Subject subject = Subject::Tag;
    std::vector<std::string> names;  // tag | window | window widget property | key
    Comparison comparison;           // for tags and properties
    std::string text;                // as written

    // The words after `run until`, `break` or `expect`. An absent operator means `=`.
    static std::optional<Condition> parse(std::span<const std::string> words, std::string* error);
};

// What a condition is evaluated against: the panel's names, resolved by the caller.
class Probe {
  public:
    virtual ~Probe() = default;
    // The tag's value, or empty when there is no such tag.
    virtual std::optional<Actual> tag(const std::string& name) = 0;
    // Shown or not; empty when there is no such window.
    virtual std::optional<bool> shown(const std::string& window) = 0;
    // names: window widget property, or a handler key. Empty when there is none.
    virtual std::optional<Actual> prop(const std::vector<std::string>& names) = 0;
};

struct Outcome {
    bool holds = false;
    std::string actual;  // what was found, readable: "chief.wy_left = 13.7", "shown"
    std::string error;   // a name that is not in the panel, a comparison that cannot be
};

Outcome evaluate(const Condition& condition, Probe& probe);

}  // namespace hmi::sim
