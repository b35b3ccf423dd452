// Window "16": the countdown, the input dialogs, the home picture, the flickering
// value texts, the clock texts and the random meter.
#include <cstdio>
#include <cstdlib>

#include "host/gbk.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

using host::Topic;
constexpr unsigned kFormat = static_cast<unsigned>(Topic::Format);

std::string printed(const char* format, double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, v);
    return buffer;
}

using Instruments = PanelTest;

TEST_F(Instruments, CountdownWrapsBelowTwoTakingTheValueAsSigned) {
    struct Case {
        uint16_t before;
        int16_t after;
    };
    for (auto [before, after] : {Case{90, 89}, Case{3, 2}, Case{2, 90}, Case{1, 90}, Case{0, 90},
                                 Case{40000, 90}, Case{65535, 90}, Case{32767, 32766}}) {
        set<uint16_t>("global.m1", before);
        fire("16_timer2_timer");
        EXPECT_EQ(trace(), "set global.m1 = " + std::to_string(after) + "\n") << before;
    }
}

TEST_F(Instruments, ScaleAndDigitalDisplayShowTheCountdownSigned) {
    struct Case {
        uint16_t count;
        float shown;
    };
    for (const char* key : {"16_scale1_value", "16_digitled1_value"}) {
        for (auto [count, shown] : {Case{90, 90.0f}, Case{65535, -1.0f}, Case{40000, -25536.0f}}) {
            set<uint16_t>("global.m1", count);
            float value = 0.0f;
            EXPECT_EQ(poll(key, value), 1);
            EXPECT_EQ(value, shown) << key << " " << count;
            EXPECT_EQ(poll(key, value), 0);
        }
    }
}

TEST_F(Instruments, EachValueTextOpensOneInputDialogWithItsPromptAndLimits) {
    struct Case {
        const char* key;
        const char* dialog;
        const char* tag;
    };
    for (auto [key, dialog, tag] : {
             Case{"16_text94_click", "input I6 \"请输入电流\" 0..100", "global.I6"},
             Case{"16_text76_click", "input c2 \"请输入温度\" 0..100", "global.c2"},
             Case{"16_text73_click", "input p1 \"请输入油压\" 0..100", "global.p1"},
             Case{"16_text70_click", "input I5 \"请输入电流\" 0..600", "global.I5"},
             Case{"16_text40_click", "input I4 \"请输入电流\" 0..100", "global.I4"},
             Case{"16_text34_click", "input I3 \"请输入电流\" 0..300", "global.I3"},
             Case{"16_text21_click", "input I2 \"请输入电流\" 0..100", "global.I2"},
             Case{"16_text80_click", "input c3 \"请输入温度\" 0..100", "global.c3"},
         }) {
        host.answer_input(42.5);
        fire(key);
        // No tag is read or written: the entry goes through the host into the tag
        // that the value's text shows.
        EXPECT_EQ(trace(host::kAllTopics), std::string(dialog) + " option 1 -> 42.5 stored\n");
        EXPECT_EQ(get<float>(tag), 42.5f) << key;
    }
}

TEST_F(Instruments, OpeningTheWindowRunsItsTimer) {
    set<uint8_t>("main.can4", 0);
    fire("16_window_open");
    EXPECT_EQ(trace(), "set main.can4 = 1\n");
    fire("16_window_open");
    EXPECT_EQ(trace(), "");

    uint8_t enable = 0;
    EXPECT_EQ(poll("16_timer2_enable", enable), 1);
    EXPECT_EQ(enable, 1);
}

TEST_F(Instruments, HomePictureHidesEveryScreenBeforeStoppingTheTimer) {
    const std::string windows =
        "show main\n"
        "hide pic1\nhide pic2\nhide pic3\nhide 3\nhide 4\nhide 5\nhide 6\nhide 7\nhide 8\n"
        "hide 9\nhide 10\nhide 11\nhide 12\nhide 13\nhide 14\nhide 15\nhide 16\nhide 18\n"
        "hide 17\nhide 19\nhide 20\nhide 21\nhide 22\nhide 23\n";
    set<uint8_t>("main.can4", 1);
    fire("16_picture1_click");
    EXPECT_EQ(trace(), windows + "set main.can4 = 0\n");
    fire("16_picture1_click");
    EXPECT_EQ(trace(), windows);
}

TEST_F(Instruments, TheBareLabelDoesNothing) {
    fire("16_bmptext16_click");
    EXPECT_EQ(trace(host::kAllTopics), "");
}

TEST_F(Instruments, ValueTextsFlickerUpToATenthAboveTheValueWithTheirUnit) {
    struct Case {
        const char* key;
        const char* tag;
        const char* unit;  // as the trace shows it
    };
    unsigned seed = 1;
    for (auto [key, tag, unit] : {
             Case{"16_text94_text", "global.I6", "A"},
             Case{"16_text76_text", "global.c2", "℃"},
             Case{"16_text73_text", "global.p1", "Mpa"},
             Case{"16_text70_text", "global.I5", "A"},
             Case{"16_text40_text", "global.I4", "A"},
             Case{"16_text34_text", "global.I3", "A"},
             Case{"16_text21_text", "global.I2", "A"},
             Case{"16_text80_text", "global.c3", "℃"},
         }) {
        const float value = 12.3f;
        set<float>(tag, value);
        std::srand(++seed);
        int r = std::rand();
        double lifted = static_cast<double>(value) + r * 0.2 / 2147483647.0;
        std::string number = printed("%.1f", lifted);

        std::srand(seed);
        char text[16] = {};
        EXPECT_EQ(poll(key, text), 1);
        EXPECT_EQ(trace(kFormat), "double2str2 " + printed("%.17g", lifted) + " 1 -> \"" + number +
                                      "\"\nstrjoin -> \"" + number + unit + "\"\n")
            << key;
        EXPECT_EQ(host::gbk_to_utf8(text), number + unit) << key;

        std::srand(seed);  // the same lift again: the same text
        EXPECT_EQ(poll(key, text), 0) << key;
        trace();
    }
}

TEST_F(Instruments, RandomMeterShowsUpToTenAtEveryPoll) {
    for (unsigned seed : {1u, 2u, 77u}) {
        std::srand(seed);
        float first = static_cast<float>(std::rand() * 10.0 / 2147483647.0);
        float second = static_cast<float>(std::rand() * 10.0 / 2147483647.0);

        std::srand(seed);
        float value = -1.0f;
        EXPECT_EQ(poll("16_circleMeter1_value", value), 1);
        EXPECT_EQ(value, first);
        EXPECT_EQ(poll("16_circleMeter1_value", value), first == second ? 0 : 1);
        EXPECT_EQ(value, second);
    }
}

TEST_F(Instruments, ClockTextsFormatTheirTagUnsigned) {
    set<uint16_t>("system.Year", 2024);
    set<uint8_t>("system.Month", 7);
    set<uint8_t>("system.Day", 200);
    set<uint8_t>("system.Hour", 23);
    set<uint8_t>("system.Minute", 5);
    set<uint8_t>("system.Second", 255);
    struct Case {
        const char* key;
        long shown;
    };
    for (auto [key, shown] :
         {Case{"16_text20_text", 2024}, Case{"16_text19_text", 7}, Case{"16_text18_text", 200},
          Case{"16_text11_text", 23}, Case{"16_text15_text", 5}, Case{"16_text16_text", 255}}) {
        char text[16] = {};
        EXPECT_EQ(poll(key, text), 1);
        std::string number = std::to_string(shown);
        EXPECT_EQ(trace(kFormat), "long2str2 " + number + " 0 -> \"" + number + "\"\n") << key;
        EXPECT_EQ(std::string(text), number);
        EXPECT_EQ(poll(key, text), 0) << key;
        trace();
    }
    set<uint16_t>("system.Year", 65535);
    char text[16] = {};
    poll("16_text20_text", text);
    EXPECT_EQ(std::string(text), "65535");
}

}  // namespace
}  // namespace hmi::test
