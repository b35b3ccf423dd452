// Window "8": the calculation, the bit extraction, the text join, the switches, the
// way home and the screen's properties.
#include <charconv>
#include <cmath>
#include <numbers>

#include "host/gbk.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

class Dish : public PanelTest {
  protected:
    std::string shown(const std::string& key) {
        char value[16] = "?";
        EXPECT_EQ(poll(key, value), 1) << key;
        EXPECT_EQ(poll(key, value), 0) << key;
        return value;
    }
};

// What the screen shows: angles to radians in single precision, everything after
// in double, the result kept as single.
float calculation(int16_t a, int16_t b, int16_t exponent) {
    float ra = static_cast<float>(a) * 0.017453292f;
    float rb = static_cast<float>(b) * 0.017453292f;
    return static_cast<float>((std::sin(double{ra}) + std::cos(double{rb})) *
                              std::pow(10.0, exponent));
}

std::string shortest(float f) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, f).ptr);
}

TEST_F(Dish, CalculationKeepsTheStatedPrecisionAtEachStage) {
    struct Case {
        int16_t a, b, exponent;
    };
    // The last five come out differently when the radians or the sum are not taken
    // exactly as stated.
    for (Case c : {Case{0, 0, 2}, Case{0, 0, -1}, Case{30, 60, 1}, Case{45, 180, 3},
                   Case{359, 271, 1}, Case{-77, 0, -1}, Case{1000, -45, 3}, Case{90, 180, 0}}) {
        set<int16_t>("dish.put3", c.a);
        set<int16_t>("dish.put4", c.b);
        set<int16_t>("dish.put5", c.exponent);
        set<float>("dish.put6", -1.0f);
        float expected = calculation(c.a, c.b, c.exponent);
        fire("8_picture262_click");
        EXPECT_EQ(trace(), "set dish.put6 = " + shortest(expected) + "\n")
            << c.a << " " << c.b << " " << c.exponent;
    }
    EXPECT_EQ(calculation(0, 0, 2), 100.0f);
    EXPECT_EQ(calculation(0, 0, -1), 0.1f);
    EXPECT_NE(calculation(359, 271, 1),
              static_cast<float>((std::sin(359 * std::numbers::pi / 180) +
                                  std::cos(271 * std::numbers::pi / 180)) *
                                 10));
    fire("8_picture262_click");  // same inputs again: nothing changes
    EXPECT_EQ(trace(), "");
}

TEST_F(Dish, BitExtractionOverEveryBitNumber) {
    for (int16_t source : {5, -1, -32768, 0x5A5A, -12345, 32767, 0}) {
        for (int number = 0; number <= 255; ++number) {
            set<int16_t>("dish.put8", source);
            set<int16_t>("dish.put9", static_cast<int16_t>(number));
            fire("8_picture264_click");
            int sign = source < 0 ? 1 : 0;
            int expected = number < 16 ? (static_cast<uint16_t>(source) >> number) & 1 : sign;
            ASSERT_EQ(get<int16_t>("dish.put10"), expected) << source << " bit " << number;
        }
    }
    trace();
    struct Case {
        int16_t source, number, bit;
    };
    for (Case c : {Case{5, 2, 1}, Case{5, 1, 0}, Case{-1, 15, 1}, Case{-1, 256, 1},
                   Case{-1, 32767, 1}, Case{1, 32767, 0}, Case{-1, -1, 0}, Case{-1, -16, 0},
                   Case{-1, -32768, 0}, Case{1, -256, 0}}) {
        set<int16_t>("dish.put8", c.source);
        set<int16_t>("dish.put9", c.number);
        set<int16_t>("dish.put10", 7);
        fire("8_picture264_click");
        EXPECT_EQ(trace(), "set dish.put10 = " + std::to_string(c.bit) + "\n")
            << c.source << " bit " << c.number;
    }
}

TEST_F(Dish, TextJoinWritesAllThreeTextsInReverseReadOrder) {
    struct Case {
        const char *first, *second, *joined;
    };
    for (Case c :
         {Case{"AB", "CD", "ABCD"}, Case{"AB", "", "AB"}, Case{"", "CD", "CD"}, Case{"", "", ""}}) {
        set_text("dish.put7", "previous");
        set_text("dish.iuput0", c.first);
        set_text("dish.iuput1", c.second);
        fire("8_picture263_click");
        EXPECT_EQ(trace(), std::string("set dish.iuput1 = \"") + c.second +
                               "\"\nset dish.iuput0 = \"" + c.first + "\"\nset dish.put7 = \"" +
                               c.joined + "\"\n");
    }
}

TEST_F(Dish, TextJoinIsCutToTheBufferAndStaysTerminated) {
    struct Case {
        size_t first, second, joined;
    };
    for (Case c : {Case{200, 55, 255}, Case{200, 56, 255}, Case{200, 100, 255}, Case{255, 255, 255},
                   Case{0, 255, 255}, Case{254, 0, 254}}) {
        std::string first(c.first, 'a'), second(c.second, 'b');
        set_text("dish.iuput0", first);
        set_text("dish.iuput1", second);
        fire("8_picture263_click");
        EXPECT_EQ(text("dish.put7"), (first + second).substr(0, c.joined))
            << c.first << "+" << c.second;
    }
    // Parts that fill their whole buffers without a terminator.
    std::memset(host.tags().find("dish.iuput0")->value, 'x', HMI_TEXT_TAG_SIZE);
    std::memset(host.tags().find("dish.iuput1")->value, 'y', HMI_TEXT_TAG_SIZE);
    fire("8_picture263_click");
    EXPECT_EQ(text("dish.put7"), std::string(255, 'x'));
}

// A GBK join that does not fit ends after its last whole character; one that fits,
// even exactly, is kept byte for byte.
TEST_F(Dish, TextJoinIsCutAfterItsLastWholeCharacter) {
    auto gbk = [](const std::string& utf8) { return host::utf8_to_gbk(utf8); };
    auto times = [](int n, const std::string& text) {
        std::string out;
        for (int i = 0; i < n; ++i) out += text;
        return out;
    };
    const std::string zhong = gbk("中");  // 0xD6 0xD0: its second byte could begin a character
    ASSERT_EQ(zhong, "\xd6\xd0");
    struct Case {
        std::string first, second, joined;
    } cases[] = {
        {"AB", times(127, zhong), "AB" + times(126, zhong)},
        {"A", times(127, zhong), "A" + times(127, zhong)},  // 255 bytes: fits
        {"A", times(128, zhong), "A" + times(127, zhong)},
        {"A" + times(127, zhong), "B", "A" + times(127, zhong)},
        {times(127, zhong), "BC", times(127, zhong) + "B"},
        {times(100, zhong), times(100, gbk("丂")), times(100, zhong) + times(27, gbk("丂"))},
        {std::string(254, 'a'), "\xd6", std::string(254, 'a') + "\xd6"},  // fits: not a cut
        {std::string(254, 'a'), zhong, std::string(254, 'a')},
    };
    for (const Case& c : cases) {
        set_text("dish.iuput0", c.first);
        set_text("dish.iuput1", c.second);
        fire("8_picture263_click");
        EXPECT_EQ(text("dish.put7"), c.joined)
            << c.first.size() << "+" << c.second.size() << " bytes";
    }
}

TEST_F(Dish, SwitchesSetAndToggleTheirFlags) {
    fire("8_button274_click");
    fire("8_button274_click");
    EXPECT_EQ(trace(), "set dish.display_w = 1\n");
    set<uint8_t>("dish.return", 0);
    fire("8_gradellipse206_click");
    fire("8_gradellipse206_click");
    set<uint8_t>("dish.return", 9);
    fire("8_gradellipse206_click");
    EXPECT_EQ(trace(), "set dish.return = 1\nset dish.return = 0\nset dish.return = 0\n");
}

TEST_F(Dish, HomeShowsMainBeforeWritingTheClearedFlags) {
    set<uint8_t>("dish.display_w", 1);
    set<uint8_t>("dish.open", 1);
    set<uint8_t>("dish.light", 2);
    set_text("dish.put7", "kept");
    fire("8_picture272_click");
    EXPECT_EQ(trace(),
              "show main\nhide 8\nset dish.put7 = \"kept\"\nset dish.light = 0\n"
              "set dish.open = 0\nset dish.display_w = 0\n");
    fire("8_picture272_click");
    EXPECT_EQ(trace(), "show main\nhide 8\nset dish.put7 = \"kept\"\n");
}

TEST_F(Dish, FlagAndColourProperties) {
    expect_byte_rule<uint8_t>("8_text278_visible", "dish.display_w", {0, 1, 2});
    expect_byte_rule<uint8_t>("8_text275_visible", "dish.display_w", {1, 0, 0});
    expect_byte_rule<uint32_t>("8_light3277_fillcolor1", "dish.light",
                               {0x0000FF, 0x00FF00, 0x00FF00});
    expect_byte_rule<uint32_t>("8_gradellipse206_endcolor", "dish.return",
                               {0x8CB4D2, 0x82004B, 0x82004B});
}

TEST_F(Dish, LampFlashesWhileOffWithTheDisplaySwitchOn) {
    struct Case {
        uint8_t light, display, flash;
    };
    uint8_t value = 0xAA;
    poll("8_light3277_flash", value);
    EXPECT_EQ(trace(static_cast<unsigned>(host::Topic::Poll)),
              "poll dish.light\npoll dish.display_w\n");
    for (Case c : {Case{0, 1, 1}, Case{0, 2, 1}, Case{1, 1, 0}, Case{2, 1, 0}, Case{0, 0, 0},
                   Case{1, 0, 0}}) {
        set<uint8_t>("dish.light", c.light);
        set<uint8_t>("dish.display_w", c.display);
        value = 0xAA;
        poll("8_light3277_flash", value);
        EXPECT_EQ(value, c.flash) << int{c.light} << " " << int{c.display};
    }
}

TEST_F(Dish, TextProperties) {
    set<uint8_t>("dish.light", 0);
    EXPECT_EQ(shown("8_text278_text"), "False");
    set<uint8_t>("dish.light", 2);
    EXPECT_EQ(shown("8_text278_text"), "Ture");
    set<float>("dish.put18", 3.14159f);
    EXPECT_EQ(shown("8_text242_text"), "3.14");
    set<float>("dish.put6", -0.5f);
    EXPECT_EQ(shown("8_text219_text"), "-0.50");
    set<int16_t>("dish.put12", -5);  // widened with its sign
    EXPECT_EQ(shown("8_text229_text"), "-5");
    set<int16_t>("dish.put10", -32768);
    EXPECT_EQ(shown("8_text225_text"), "-32768");
    set_text("dish.put7", "ABCD");
    EXPECT_EQ(shown("8_text222_text"), "ABCD");

    set_text("dish.put7", "0123456789abcdefghij");  // longer than a text value: cut to 15
    char value[16] = "";
    EXPECT_EQ(poll("8_text222_text", value), 1);
    EXPECT_STREQ(value, "0123456789abcde");
    EXPECT_EQ(poll("8_text222_text", value), 1);
}

}  // namespace
}  // namespace hmi::test
