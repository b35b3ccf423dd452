#include "sim/engine/condition.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/event.hpp"
#include "host/lines.hpp"
#include "sim/engine/words.hpp"

namespace hmi::sim {
namespace {

using Op = Comparison::Op;

struct OpName {
    const char* word;
    Op op;
};
constexpr OpName kOps[] = {
    {"=", Op::Equal},      {"==", Op::Equal},  {"!=", Op::NotEqual},     {"<", Op::Less},
    {"<=", Op::LessEqual}, {">", Op::Greater}, {">=", Op::GreaterEqual}, {"~", Op::Near},
};

const char* op_word(Op op) {
    for (const OpName& o : kOps) {
        if (o.op == op) return o.word;
    }
    return "?";
}

bool is_plus_minus(const std::string& word) {
    return word == "\xc2\xb1" || word == "+-";  // ± in UTF-8
}

// A decimal number (sign, digits, point, exponent) or 0x hexadecimal; *decimals is how
// many digits it fixes after the point.
bool read_number(const std::string& text, double* number, int* decimals) {
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    size_t digits_at = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    bool hex = text.compare(digits_at, 2, "0x") == 0 || text.compare(digits_at, 2, "0X") == 0;
    errno = 0;
    if (hex) {
        unsigned long long n = std::strtoull(begin + digits_at + 2, &end, 16);
        if (end == begin + digits_at + 2 || *end != '\0' || errno != 0) return false;
        *number = text[0] == '-' ? -static_cast<double>(n) : static_cast<double>(n);
        *decimals = 0;
        return true;
    }
    // A float tag may hold nan (set takes it), and nan equals nan in an expectation.
    if (text == "nan") {
        *number = std::nan("");
        *decimals = 0;
        return true;
    }
    // strtod alone would take "inf", other spellings of nan and hexadecimal floats.
    for (char c : text.substr(digits_at)) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != 'e' && c != 'E' &&
            c != '-' && c != '+') {
            return false;
        }
    }
    *number = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(*number)) return false;
    int after_point = 0;
    size_t point = text.find('.');
    size_t exponent = text.find_first_of("eE");
    if (point != std::string::npos) {
        after_point =
            static_cast<int>((exponent == std::string::npos ? text.size() : exponent) - point - 1);
    }
    if (exponent != std::string::npos) after_point -= std::atoi(text.c_str() + exponent + 1);
    *decimals = after_point < 0 ? 0 : (after_point > 15 ? 15 : after_point);
    return true;
}

// Agree to `decimals` digits after the point.
bool agree(double actual, double expected, int decimals) {
    if (std::isnan(actual) || std::isnan(expected))
        return std::isnan(actual) && std::isnan(expected);
    double scale = std::pow(10.0, decimals);
    return std::round(actual * scale) == std::round(expected * scale);
}

std::string with_spaces(std::span<const std::string> words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

constexpr const char* kConditionForms =
    "TAG OP VALUE, shown WINDOW, hidden WINDOW, prop WINDOW WIDGET PROPERTY OP VALUE or "
    "prop KEY OP VALUE (OP: = != < <= > >= or ~ VALUE +- TOLERANCE)";

}  // namespace

std::string Actual::readable() const {
    if (!display.empty()) return display;
    if (type == Type::Text) return "\"" + text + "\"";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, type == Type::Whole ? "%.0f" : "%.9g", number);
    return buffer;
}

bool Comparison::is_operator(const std::string& word) {
    for (const OpName& o : kOps) {
        if (word == o.word) return true;
    }
    return false;
}

std::optional<Comparison> Comparison::parse(std::span<const std::string> words,
                                            std::string* error) {
    Comparison c;
    size_t value_at = 0;
    if (!words.empty() && is_operator(words[0])) {
        for (const OpName& o : kOps) {
            if (words[0] == o.word) c.op = o.op;
        }
        value_at = 1;
    }
    size_t expected_size = c.op == Op::Near ? 4 : value_at + 1;
    if (words.size() != expected_size || (c.op == Op::Near && !is_plus_minus(words[2]))) {
        *error = c.op == Op::Near ? "expected: ~ VALUE +- TOLERANCE (or ±)"
                                  : "expected a value, or OP VALUE (OP: = != < <= > >=)";
        if (!words.empty()) *error += ", not " + host::quoted_excerpt(with_spaces(words));
        return std::nullopt;
    }
    c.value = unquoted(words[value_at]);
    c.numeric = !is_quoted(words[value_at]) && read_number(c.value, &c.number, &c.decimals);
    bool ordering = c.op != Op::Equal && c.op != Op::NotEqual;
    if (ordering && !c.numeric) {
        *error = host::quoted_excerpt(words[value_at]) + " is not a number: " + op_word(c.op) +
                 " compares numbers";
        return std::nullopt;
    }
    if (c.op == Op::Near) {
        int unused = 0;
        if (!read_number(words[3], &c.tolerance, &unused) || c.tolerance < 0) {
            *error = host::quoted_excerpt(words[3]) + " is not a tolerance (a number, 0 or more)";
            return std::nullopt;
        }
    }
    return c;
}

std::string Comparison::applies_to(Actual::Type type) const {
    if (type == Actual::Type::Text) {
        if (op == Op::Equal || op == Op::NotEqual) return {};
        return std::string("a text compares with = or != only, not ") + op_word(op);
    }
    if (!numeric) return host::quoted_excerpt(value) + " is not a number";
    return {};
}

bool Comparison::holds(const Actual& actual) const {
    if (!applies_to(actual.type).empty()) return false;
    if (actual.type == Actual::Type::Text) return (actual.text == value) == (op == Op::Equal);
    double a = actual.number;
    bool equal = actual.type == Actual::Type::Float ? agree(a, number, decimals) : a == number;
    if (std::isnan(number) && op != Op::Equal && op != Op::NotEqual) return false;
    switch (op) {
        case Op::Equal:
            return equal;
        case Op::NotEqual:
            return !equal;
        case Op::Less:
            return a < number;
        case Op::LessEqual:
            return a <= number || equal;
        case Op::Greater:
            return a > number;
        case Op::GreaterEqual:
            return a >= number || equal;
        case Op::Near:
            return std::fabs(a - number) <= tolerance;
    }
    return false;
}

std::string Comparison::readable() const {
    std::string shown = numeric ? value : "\"" + value + "\"";
    std::string out = std::string(op_word(op)) + " " + shown;
    if (op == Op::Near) out += " \xc2\xb1 " + host::real_text(tolerance);
    return out;
}

std::optional<Condition> Condition::parse(std::span<const std::string> words, std::string* error) {
    Condition c;
    c.text = with_spaces(words);
    if (words.empty()) {
        *error = std::string("expected a condition: ") + kConditionForms;
        return std::nullopt;
    }
    const std::string& first = words[0];
    if (first == "shown" || first == "hidden") {
        c.subject = first == "shown" ? Subject::Shown : Subject::Hidden;
        if (words.size() < 2) {
            *error = "expected: " + first + " WINDOW...";
            return std::nullopt;
        }
        c.names.assign(words.begin() + 1, words.end());
        return c;
    }
    std::span<const std::string> rest = words;
    if (first == "tag" || first == "prop") {
        c.subject = first == "tag" ? Subject::Tag : Subject::Prop;
        rest = words.subspan(1);
    }
    size_t op_at = 0;
    while (op_at < rest.size() && !Comparison::is_operator(rest[op_at])) ++op_at;
    if (op_at == rest.size()) op_at = rest.empty() ? 0 : rest.size() - 1;  // VALUE alone
    c.names.assign(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(op_at));
    bool named = c.subject == Subject::Tag ? c.names.size() == 1
                                           : c.names.size() == 1 || c.names.size() == 3;
    if (!named) {
        *error = "expected a condition: " + std::string(kConditionForms) + ", not " +
                 host::quoted_excerpt(c.text);
        return std::nullopt;
    }
    std::optional<Comparison> comparison = Comparison::parse(rest.subspan(op_at), error);
    if (!comparison) return std::nullopt;
    c.comparison = *comparison;
    return c;
}

Outcome evaluate(const Condition& c, Probe& probe) {
    Outcome out;
    if (c.subject == Condition::Subject::Shown || c.subject == Condition::Subject::Hidden) {
        bool want = c.subject == Condition::Subject::Shown;
        out.holds = true;
        for (const std::string& window : c.names) {
            std::optional<bool> shown = probe.shown(window);
            if (!shown) {
                out.error = "unknown window " + host::quoted_excerpt(window);
                out.holds = false;
                return out;
            }
            if (*shown != want) out.holds = false;
            out.actual +=
                (out.actual.empty() ? "" : ", ") + window + (*shown ? " shown" : " hidden");
        }
        return out;
    }
    std::optional<Actual> actual;
    std::string name = with_spaces(c.names);
    if (c.subject == Condition::Subject::Tag) {
        actual = probe.tag(c.names[0]);
        if (!actual) out.error = "unknown tag " + host::quoted_excerpt(name);
    } else {
        actual = probe.prop(c.names);
        if (!actual) out.error = "no property " + host::quoted_excerpt(name);
    }
    if (!actual) return out;
    out.error = c.comparison.applies_to(actual->type);
    if (!out.error.empty()) {
        out.error = name + ": " + out.error;
        return out;
    }
    out.holds = c.comparison.holds(*actual);
    out.actual = name + " = " + actual->readable();
    return out;
}

}  // namespace hmi::sim
