// Every rule family of the property rows: the value it gives for each kind of tag
// value, the order in which it reads its tags, and that it stores only on a change.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "host/gbk.hpp"
#include "plugin/bind.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

template <class T>
struct Polled {
    int changed;
    T value;
};

// Polls the rule once, as a row's function does, with `current` as the widget's value.
template <class Rule, class T>
Polled<T> poll_rule(T current) {
    static void* slots[2] = {};
    int changed = Rule::apply(&current, slots);
    return {changed, current};
}

struct Text {
    char bytes[HMI_TEXT_VALUE_SIZE] = {};
};

template <class Rule>
std::string text_of() {
    Polled<Text> p = poll_rule<Rule>(Text{});
    return std::string(p.value.bytes, strnlen(p.value.bytes, sizeof p.value.bytes));
}

class RuleTest : public PanelTest {
  protected:
    void* text_slots[1] = {};
    void flags(uint8_t a, uint8_t b) {
        set<uint8_t>("dtmain.HV201", a);
        set<uint8_t>("dtmain.HV202", b);
    }
    std::string polls() { return trace(static_cast<unsigned>(host::Topic::Poll)); }
};

TEST_F(RuleTest, FlagsTellSetFromExactlyOne) {
    struct Case {
        uint8_t tag;
        uint8_t flag, is_1, not_, word_is_1;
    };
    for (Case c : {Case{0, 0, 0, 1, 0}, Case{1, 1, 1, 0, 1}, Case{2, 2, 0, 0, 0}}) {
        SCOPED_TRACE(int{c.tag});
        set<uint8_t>("dtmain.HV201", c.tag);
        EXPECT_EQ(poll_rule<flag_copy<"dtmain.HV201">>(uint8_t{9}).value, c.flag);
        EXPECT_EQ(poll_rule<flag_is_1<"dtmain.HV201">>(uint8_t{9}).value, c.is_1);
        EXPECT_EQ(poll_rule<flag_is_0<"dtmain.HV201">>(uint8_t{9}).value, c.not_);
        EXPECT_EQ(poll_rule<state_copy<"dtmain.HV201">>(uint32_t{9}).value, uint32_t{c.tag});
        EXPECT_EQ(poll_rule<state_is_1<"dtmain.HV201">>(uint32_t{9}).value, c.word_is_1);
    }
}

TEST_F(RuleTest, TwoFlagRulesReadTheirTagsInOrder) {
    struct Case {
        uint8_t a, b;
        uint8_t either, flash;
        Colour colour;
    };
    for (Case c : {Case{0, 0, 0, 0, kWhite}, Case{0, 2, 1, 1, kBlue}, Case{3, 0, 1, 0, kBlue},
                   Case{1, 1, 1, 0, kBlue}}) {
        SCOPED_TRACE(std::to_string(c.a) + " " + std::to_string(c.b));
        flags(c.a, c.b);
        polls();
        EXPECT_EQ((poll_rule<flag_either<"dtmain.HV201", "dtmain.HV202">>(uint8_t{9}).value),
                  c.either);
        EXPECT_EQ((poll_rule<flag_off_and_on<"dtmain.HV201", "dtmain.HV202">>(uint8_t{9}).value),
                  c.flash);
        EXPECT_EQ(
            (poll_rule<colour_by_either<"dtmain.HV201", "dtmain.HV202", kWhite, kBlue>>(Colour{9})
                 .value),
            c.colour);
        EXPECT_EQ(polls(),
                  "poll dtmain.HV201\npoll dtmain.HV202\n"
                  "poll dtmain.HV201\npoll dtmain.HV202\n"
                  "poll dtmain.HV201\npoll dtmain.HV202\n");
    }
}

TEST_F(RuleTest, ColourPicksTheFirstOnlyForZero) {
    using valve = colour_by_flag<"dtmain.HV201", kWhite, kBlue>;
    for (auto [tag, expected] : {std::pair{0, kWhite}, {1, kBlue}, {200, kBlue}}) {
        set<uint8_t>("dtmain.HV201", static_cast<uint8_t>(tag));
        Polled<Colour> p = poll_rule<valve>(Colour{kRed});
        EXPECT_EQ(p.value, expected) << tag;
        EXPECT_EQ(p.changed, 1);
        EXPECT_EQ(poll_rule<valve>(expected).changed, 0) << "already right: nothing stored";
    }
}

constexpr int16_t kPositions[] = {-5, 10, 20, 30};

TEST_F(RuleTest, PositionFollowsTwoIndicatorsAndKeepsItForOthers) {
    using tool = position_by_flags<"dtmain.HV201", "dtmain.HV202", kPositions>;
    struct Case {
        uint8_t a, b;
        int changed;
        int16_t value;
    };
    for (Case c : {Case{0, 0, 1, -5}, Case{0, 1, 1, 10}, Case{1, 0, 1, 20}, Case{1, 1, 1, 30},
                   Case{2, 0, 0, 77}, Case{0, 2, 0, 77}}) {
        SCOPED_TRACE(std::to_string(c.a) + " " + std::to_string(c.b));
        flags(c.a, c.b);
        polls();
        Polled<int16_t> p = poll_rule<tool>(int16_t{77});
        EXPECT_EQ(p.changed, c.changed);
        EXPECT_EQ(p.value, c.value);
        EXPECT_EQ(polls(), "poll dtmain.HV201\npoll dtmain.HV202\n");  // kept or not
    }
}

TEST_F(RuleTest, NumbersWidenByTheSignednessOfTheirTag) {
    set<uint16_t>("main.state", 65535);
    set<int16_t>("main.pic_number", -2);
    set<int32_t>("test.startyear", -1);
    set<uint32_t>("system.CurDateTime", 4000000000u);
    EXPECT_EQ((poll_rule<position_copy<"test.startyear", Int::I32>>(uint16_t{0}).value), 0xFFFF);
    EXPECT_EQ((poll_rule<position_copy<"main.pic_number", Int::I16>>(uint16_t{0}).value), 0xFFFE);
    EXPECT_EQ((poll_rule<value_of_integer<"main.state", Int::U16>>(0.0f).value), 65535.0f);
    EXPECT_EQ((poll_rule<value_of_integer<"main.pic_number", Int::I16>>(0.0f).value), -2.0f);
    EXPECT_EQ((poll_rule<value_of_integer<"system.CurDateTime", Int::U32>>(0.0f).value), 4e9f);
    EXPECT_EQ((text_of<text_of_integer<"main.pic_number", Int::I16>>()), "-2");
    EXPECT_EQ((text_of<text_of_integer<"main.state", Int::U16>>()), "65535");
    set<uint16_t>("main.state", 7);
    EXPECT_EQ((text_of<text_of_integer_option<"main.state", Int::U16, 4>>()), "0007");
    EXPECT_EQ((text_of<text_of_integer_option<"main.state", Int::U16, 0>>()), "7");
}

TEST_F(RuleTest, FloatsCopyByValueAndFormatWithTheirDigits) {
    set<float>("kelvor.x_Real", -0.0f);
    EXPECT_EQ((poll_rule<value_copy<"kelvor.x_Real">>(0.0f).changed), 0);  // -0.0 equals +0.0
    set<float>("kelvor.x_Real", 1.5f);
    EXPECT_EQ((text_of<text_of_decimal<"kelvor.x_Real", 0, 2>>()), "1.50");
    EXPECT_EQ((text_of<text_of_decimal<"kelvor.x_Real", 5, 1>>()), "  1.5");
    set<uint32_t>("system.CurDateTime", 12345);
    EXPECT_EQ((text_of<text_of_unsigned_decimal<"system.CurDateTime", 0, 1>>()), "12345.0");
    set<uint16_t>("main.state", 42);
    EXPECT_EQ((text_of<text_of_percent<"main.state">>()), "42.0%");
    set<float>("kelvor.x_Real", 1.0f);
    std::string flicker = text_of<text_of_flickering<"kelvor.x_Real", "\xa1\xe6">>();  // ℃
    EXPECT_TRUE(flicker == "1.0\xa1\xe6" || flicker == "1.1\xa1\xe6" || flicker == "1.2\xa1\xe6")
        << flicker;
}

TEST_F(RuleTest, TextsChooseOrCopy) {
    using mode = text_by_flag<"dtmain.HV201", "manual", "auto">;
    for (auto [tag, expected] : {std::pair{0, "manual"}, {1, "auto"}, {5, "auto"}}) {
        set<uint8_t>("dtmain.HV201", static_cast<uint8_t>(tag));
        EXPECT_EQ(text_of<mode>(), expected) << tag;
    }
    set_text("dish.iuput0", "AB");
    EXPECT_EQ(text_of<text_copy<"dish.iuput0">>(), "AB");
}

// A source too long for the 16-byte value keeps its whole characters; one that fits
// is stored as it is, even when it ends in a lone first byte.
TEST_F(RuleTest, TextValueIsCutAfterItsLastWholeCharacter) {
    using host::utf8_to_gbk;
    struct Case {
        std::string source, shown;
    } cases[] = {
        {"0123456789abcdefghij", "0123456789abcde"},
        {utf8_to_gbk("一二三四五六七八"), utf8_to_gbk("一二三四五六七")},
        {utf8_to_gbk("A中中中中中中中中"), utf8_to_gbk("A中中中中中中中")},  // 0xD0 ends the 15th
        {utf8_to_gbk("AB中中中中中中中"), utf8_to_gbk("AB中中中中中中")},
        {"ABCDEFGHIJKLM" + utf8_to_gbk("中x"), "ABCDEFGHIJKLM" + utf8_to_gbk("中")},
        {"ABCDEFGHIJKLMN" + utf8_to_gbk("中"), "ABCDEFGHIJKLMN"},
        {utf8_to_gbk("丂丂丂丂丂丂丂丂"), utf8_to_gbk("丂丂丂丂丂丂丂")},  // second bytes 0x40
        {"ABCDEFGHIJKLMN\xd6", "ABCDEFGHIJKLMN\xd6"},                      // fits: not a cut
    };
    for (const Case& c : cases) {
        ASSERT_GT(c.source.size(), 12u);  // converted
        set_text("dish.iuput0", c.source);
        Text value;
        std::memset(value.bytes, 'x', sizeof value.bytes - 1);  // a longer text was shown
        std::string expected = c.shown;
        expected.resize(HMI_TEXT_VALUE_SIZE, '\0');
        bool fits = c.source.size() < HMI_TEXT_VALUE_SIZE;
        for (int poll = 0; poll < 2; ++poll) {
            int changed = text_copy<"dish.iuput0">::apply(value.bytes, text_slots);
            EXPECT_EQ(changed, fits && poll == 1 ? 0 : 1) << host::gbk_to_utf8(c.source);
            EXPECT_EQ(std::string(value.bytes, sizeof value.bytes), expected)
                << host::gbk_to_utf8(c.source);
        }
    }
}

TEST_F(RuleTest, InRangeFromItsLowToItsHighEnd) {
    for (auto [count, visible] : {std::pair{2, 0}, {3, 1}, {9, 1}, {10, 0}, {65535, 0}}) {
        set<uint16_t>("main.state", static_cast<uint16_t>(count));
        EXPECT_EQ((poll_rule<flag_in_range<"main.state", 3, 9>>(uint8_t{7}).value), visible)
            << count;
    }
}

TEST_F(RuleTest, RandomValuesStayInTheirRange) {
    for (int i = 0; i < 200; ++i) {
        float meter = poll_rule<value_random<10>>(-1.0f).value;
        float percent = poll_rule<value_random_percent>(-1.0f).value;
        EXPECT_TRUE(meter >= 0.0f && meter <= 10.0f) << meter;
        EXPECT_TRUE(percent >= 0.0f && percent <= 99.0f && percent == static_cast<int>(percent))
            << percent;
    }
}

}  // namespace
}  // namespace hmi::test
