// Comparisons and conditions of expect and run until: what each operator accepts, the
// default agreement of floats to the digits written, and the messages of bad forms.
#include "sim/engine/condition.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "host/gbk.hpp"
#include "host/tags.hpp"
#include "sim/engine/probe.hpp"

namespace hmi::sim::test {
namespace {

std::vector<std::string> words_of(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        size_t end = line.find(' ', i);
        if (end == std::string::npos) end = line.size();
        if (end > i) words.push_back(line.substr(i, end - i));
        i = end + 1;
    }
    return words;
}

// "lt_70_holds_16" for "< 70" that holds, the 16th case.
std::string readable_name(const std::string& comparison, size_t index, bool holds) {
    std::string name;
    for (size_t i = 0; i < comparison.size(); ++i) {
        char c = comparison[i];
        std::string next = comparison.substr(i, 2);
        if (next == "<=" || next == ">=" || next == "!=" || next == "==" || next == "+-") {
            name += next == "<="   ? "le"
                    : next == ">=" ? "ge"
                    : next == "!=" ? "ne"
                    : next == "==" ? "eq"
                                   : "pm";
            ++i;
        } else if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        } else if (c == '=' || c == '<' || c == '>' || c == '~' || c == '.' || c == '-') {
            name += c == '='   ? "eq"
                    : c == '<' ? "lt"
                    : c == '>' ? "gt"
                    : c == '~' ? "near"
                    : c == '.' ? "p"
                               : "minus";
        } else if (c == ' ' && !name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    return name + (name.empty() || name.back() == '_' ? "" : "_") + (holds ? "holds_" : "fails_") +
           std::to_string(index);
}

struct Case {
    const char* comparison;
    Actual actual;
    bool holds;
};

// gtest would otherwise print a case as its raw bytes, padding included.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.comparison << " against " << c.actual.readable();
}

const Case kCases[] = {
    // floats agree to the digits written
    {"13.9", Actual::floating(13.900001), true},
    {"13.9", Actual::floating(13.94), true},
    {"13.9", Actual::floating(13.96), false},
    {"13.90", Actual::floating(13.906), false},
    {"= 13.9", Actual::floating(13.899999), true},
    {"!= 13.9", Actual::floating(13.900001), false},
    {"!= 13.9", Actual::floating(14.0), true},
    {"-2.5", Actual::floating(-2.5000001), true},
    {"0.1234", Actual::floating(0.12344), true},
    {"1.5e2", Actual::floating(150.04), true},
    {"1.5e2", Actual::floating(150.6), false},
    // whole numbers are exact
    {"2", Actual::whole(2), true},
    {"2", Actual::whole(3), false},
    {"2.0", Actual::whole(2), true},
    {"0x0467FB", Actual::whole(0x0467FB), true},
    {"== 0xFFFFFF", Actual::whole(0xFFFFFE), false},
    // ordering, as the values are
    {"< 70", Actual::floating(69.999), true},
    {"< 70", Actual::floating(70), false},
    {"<= 70", Actual::floating(70), true},
    {"> 13.9", Actual::floating(13.900001), true},
    {">= 13.9", Actual::floating(13.899999), true},  // equal to the digits written
    {">= 13.9", Actual::floating(13.8), false},
    {"<= 13.9", Actual::floating(13.900001), true},
    {"< 13.9", Actual::floating(13.899999), true},
    {"<= 70", Actual::whole(71), false},
    {">= -1", Actual::whole(0), true},
    // a band of one's own
    {"~ 10 +- 0.5", Actual::floating(10.5), true},
    {"~ 10 +- 0.5", Actual::floating(9.49), false},
    {"~ 10 \xc2\xb1 0", Actual::whole(10), true},
    {"~ 10 \xc2\xb1 0", Actual::floating(10.000001), false},
    // texts
    {"\"Ture\"", Actual::of_text("Ture"), true},
    {"Ture", Actual::of_text("Ture"), true},
    {"\"12\"", Actual::of_text("12"), true},
    {"!= \"\"", Actual::of_text(""), false},
    {"= \"a b\"", Actual::of_text("a b"), true},
    // a text value never equals a number
    {"\"2\"", Actual::whole(2), false},
};

class ComparisonHolds : public ::testing::TestWithParam<Case> {};

TEST_P(ComparisonHolds, AsDocumented) {
    const Case& c = GetParam();
    std::string error;
    std::vector<std::string> words = words_of(c.comparison);
    if (std::string(c.comparison) == "= \"a b\"") words = {"=", "\"a b\""};
    std::optional<Comparison> comparison = Comparison::parse(words, &error);
    ASSERT_TRUE(comparison) << error;
    EXPECT_EQ(comparison->holds(c.actual), c.holds)
        << c.comparison << " against " << c.actual.readable();
}

INSTANTIATE_TEST_SUITE_P(Table, ComparisonHolds, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return readable_name(info.param.comparison, info.index,
                                                  info.param.holds);
                         });

struct Bad {
    const char* words;
    const char* message;
};

const Bad kBadComparisons[] = {
    {"", "expected a value, or OP VALUE (OP: = != < <= > >=)"},
    {"= 1 2", "expected a value, or OP VALUE (OP: = != < <= > >=), not '= 1 2'"},
    {"< many", "'many' is not a number: < compares numbers"},
    {">= \"5\"", "'\"5\"' is not a number: >= compares numbers"},
    {"~ 10", "expected: ~ VALUE +- TOLERANCE (or ±), not '~ 10'"},
    {"~ 10 += 1", "expected: ~ VALUE +- TOLERANCE (or ±), not '~ 10 += 1'"},
    {"~ 10 +- -1", "'-1' is not a tolerance (a number, 0 or more)"},
    {"~ 10 +- wide", "'wide' is not a tolerance (a number, 0 or more)"},
    {"~ inf +- 1", "'inf' is not a number: ~ compares numbers"},
};

TEST(Comparison, BadFormsSayWhatIsAccepted) {
    for (const Bad& b : kBadComparisons) {
        std::string error;
        EXPECT_FALSE(Comparison::parse(words_of(b.words), &error)) << b.words;
        EXPECT_EQ(error, b.message) << b.words;
    }
}

TEST(Comparison, ReadsBackAsWritten) {
    std::string error;
    EXPECT_EQ(Comparison::parse(words_of("~ 13.9 +- 0.05"), &error)->readable(),
              "~ 13.9 \xc2\xb1 0.05");
    EXPECT_EQ(Comparison::parse(words_of("13.9"), &error)->readable(), "= 13.9");
    EXPECT_EQ(Comparison::parse(words_of("!= \"x\""), &error)->readable(), "!= \"x\"");
}

// What a condition compares a tag or a property against: its number or text, and the
// form the trace shows it in (colours in hex, floats in their shortest form).
struct Stored {
    const char* written;  // as a scenario sets it
    Actual::Type type;
    double number;
    const char* readable;
};

const std::pair<host::Kind, Stored> kTagValues[] = {
    {host::Kind::U8, {"200", Actual::Type::Whole, 200, "200"}},
    {host::Kind::I16, {"-3", Actual::Type::Whole, -3, "-3"}},
    {host::Kind::U32, {"4000000000", Actual::Type::Whole, 4e9, "4000000000"}},
    {host::Kind::F32, {"2.062", Actual::Type::Float, 2.062f, "2.062"}},
    {host::Kind::Text, {"\"\xe6\xb3\xb5 on\"", Actual::Type::Text, 0, "\"\xe6\xb3\xb5 on\""}},
};

const std::pair<PropKind, Stored> kPropValues[] = {
    {PropKind::Flag, {"1", Actual::Type::Whole, 1, "1"}},
    {PropKind::Colour, {"0x0467FB", Actual::Type::Whole, 0x0467FB, "0x0467FB"}},
    {PropKind::Int32, {"-70000", Actual::Type::Whole, -70000, "-70000"}},
    {PropKind::U16, {"65535", Actual::Type::Whole, 65535, "65535"}},
    {PropKind::I16, {"-2", Actual::Type::Whole, -2, "-2"}},
    {PropKind::Float, {"13.9", Actual::Type::Float, 13.9f, "13.9"}},
    {PropKind::Text, {"\"\xe6\xb3\xb5\"", Actual::Type::Text, 0, "\"\xe6\xb3\xb5\""}},
};

void expect_actual(const Actual& actual, const Stored& s) {
    EXPECT_EQ(actual.type, s.type) << s.written;
    if (s.type != Actual::Type::Text) {
        EXPECT_EQ(actual.number, s.number) << s.written;
    }
    EXPECT_EQ(actual.readable(), s.readable) << s.written;
}

TEST(ProbeValues, TagsReadAsTheTraceShowsThem) {
    for (const auto& [kind, s] : kTagValues) {
        host::TagDef def;
        def.name = "t.value";
        def.kind = kind;
        alignas(8) unsigned char bytes[host::kTextTagSize] = {};
        std::string text = s.written;
        if (kind == host::Kind::Text) text = host::utf8_to_gbk(text.substr(1, text.size() - 2));
        ASSERT_EQ(host::parse_value(kind, text, bytes), "") << s.written;
        expect_actual(tag_actual(host::Tag{&def, bytes}), s);
    }
}

TEST(ProbeValues, PropertiesReadAsTheTraceShowsThem) {
    for (const auto& [kind, s] : kPropValues) {
        alignas(8) unsigned char bytes[16] = {};
        ASSERT_EQ(parse_prop(kind, s.written, bytes), "") << s.written;
        expect_actual(prop_actual(kind, bytes), s);
    }
}

// A panel of a few names for conditions to be evaluated against.
struct FakePanel : Probe {
    std::map<std::string, Actual> tags;
    std::map<std::string, bool> windows;
    std::map<std::string, Actual> props;  // "window widget property" or key

    std::optional<Actual> tag(const std::string& name) override {
        auto it = tags.find(name);
        if (it == tags.end()) return std::nullopt;
        return it->second;
    }
    std::optional<bool> shown(const std::string& window) override {
        auto it = windows.find(window);
        if (it == windows.end()) return std::nullopt;
        return it->second;
    }
    std::optional<Actual> prop(const std::vector<std::string>& names) override {
        std::string key;
        for (const std::string& n : names) key += (key.empty() ? "" : " ") + n;
        auto it = props.find(key);
        if (it == props.end()) return std::nullopt;
        return it->second;
    }
};

struct Evaluation {
    const char* condition;
    bool holds;
    const char* actual;
    const char* error;
};

const Evaluation kEvaluations[] = {
    {"chief.wy_left >= 13.9", true, "chief.wy_left = 13.9", ""},
    {"tag chief.wy_left 13.9", true, "chief.wy_left = 13.9", ""},
    {"chief.wy_left < 13", false, "chief.wy_left = 13.9", ""},
    {"kelvor.save_flag = 1", false, "kelvor.save_flag = 3", ""},
    {"kelvor.save_flag != 1", true, "kelvor.save_flag = 3", ""},
    {"dish.put7 = \"ab\"", true, "dish.put7 = \"ab\"", ""},
    {"dish.put7 > 1", false, "", "dish.put7: a text compares with = or != only, not >"},
    {"main.count = ten", false, "", "main.count: 'ten' is not a number"},
    {"no.such 1", false, "", "unknown tag 'no.such'"},
    {"shown 18", true, "18 shown", ""},
    {"shown 18 window", false, "18 shown, window hidden", ""},
    {"hidden window", true, "window hidden", ""},
    {"hidden nowhere", false, "", "unknown window 'nowhere'"},
    {"prop 12 rectangle130 fillcolor = 0x0467FB", true, "12 rectangle130 fillcolor = 0x0467FB", ""},
    {"prop 12_rectangle130_fillcolor 0xFFFFFF", false, "12_rectangle130_fillcolor = 0x0467FB", ""},
    {"prop 17 text8 text = \"10.00\"", true, "17 text8 text = \"10.00\"", ""},
    {"prop 17 text9 text = \"10.00\"", false, "", "no property '17 text9 text'"},
};

TEST(Condition, EvaluatedAgainstThePanel) {
    FakePanel panel;
    panel.tags.emplace("chief.wy_left", Actual::floating(13.900001f, "13.9"));
    panel.tags.emplace("kelvor.save_flag", Actual::whole(3));
    panel.tags.emplace("dish.put7", Actual::of_text("ab"));
    panel.tags.emplace("main.count", Actual::whole(2));
    panel.windows = {{"18", true}, {"window", false}};
    panel.props.emplace("12 rectangle130 fillcolor", Actual::whole(0x0467FB, "0x0467FB"));
    panel.props.emplace("12_rectangle130_fillcolor", Actual::whole(0x0467FB, "0x0467FB"));
    panel.props.emplace("17 text8 text", Actual::of_text("10.00"));
    for (const Evaluation& e : kEvaluations) {
        std::string error;
        std::optional<Condition> c = Condition::parse(words_of(e.condition), &error);
        ASSERT_TRUE(c) << e.condition << ": " << error;
        Outcome out = evaluate(*c, panel);
        EXPECT_EQ(out.holds, e.holds) << e.condition;
        EXPECT_EQ(out.actual, e.actual) << e.condition;
        EXPECT_EQ(out.error, e.error) << e.condition;
    }
}

const Bad kBadConditions[] = {
    {"",
     "expected a condition: TAG OP VALUE, shown WINDOW, hidden WINDOW, prop WINDOW WIDGET "
     "PROPERTY OP VALUE or prop KEY OP VALUE (OP: = != < <= > >= or ~ VALUE +- TOLERANCE)"},
    {"shown", "expected: shown WINDOW..."},
    {"main.count",
     "expected a condition: TAG OP VALUE, shown WINDOW, hidden WINDOW, prop "
     "WINDOW WIDGET PROPERTY OP VALUE or prop KEY OP VALUE (OP: = != < <= > >= "
     "or ~ VALUE +- TOLERANCE), not 'main.count'"},
    {"prop 12 rectangle130 = 1",
     "expected a condition: TAG OP VALUE, shown WINDOW, hidden "
     "WINDOW, prop WINDOW WIDGET PROPERTY OP VALUE or prop KEY OP "
     "VALUE (OP: = != < <= > >= or ~ VALUE +- TOLERANCE), not "
     "'prop 12 rectangle130 = 1'"},
    {"main.count <", "expected a value, or OP VALUE (OP: = != < <= > >=), not '<'"},
    {"main.count ~ 1 +-", "expected: ~ VALUE +- TOLERANCE (or ±), not '~ 1 +-'"},
};

TEST(Condition, BadFormsSayWhatIsAccepted) {
    for (const Bad& b : kBadConditions) {
        std::string error;
        EXPECT_FALSE(Condition::parse(words_of(b.words), &error)) << b.words;
        EXPECT_EQ(error, b.message) << b.words;
    }
}

}  // namespace
}  // namespace hmi::sim::test
