// The one vocabulary of dialog answers: what a message box of each style gives, what a
// scenario line takes before any box asks, and what an input dialog takes.
#include "host/answers.hpp"

#include <gtest/gtest.h>

namespace hmi::host {
namespace {

constexpr int kQuestion = 290, kNotice = 0;

TEST(Answers, AMessageBoxTakesOnlyTheAnswersItsStyleGives) {
    struct Case {
        const char* text;
        std::optional<int> style;  // none: a scenario line, before any box asks
        int answer;                // -1: refused
        const char* error;         // a piece of the message when refused
    };
    const Case kCases[] = {
        {"yes", kQuestion, kAnswerYes, ""},
        {"Y", kQuestion, kAnswerYes, ""},
        {"no", kQuestion, kAnswerNo, ""},
        {"7", kQuestion, kAnswerNo, ""},
        {"ok", kQuestion, -1, "'ok' is not an answer of this box: yes (6) or no (7)"},
        {"1", kQuestion, -1, "yes (6) or no (7)"},
        {"", kQuestion, -1, "'' is not an answer"},
        {"OK", kNotice, kAnswerOk, ""},
        {"yes", kNotice, -1, "'yes' is not an answer of this box: ok (1)"},
        {"yes", std::nullopt, kAnswerYes, ""},
        {"ok", std::nullopt, kAnswerOk, ""},
        {"99", std::nullopt, 99, ""},  // the box that asks refuses it
        {"maybe", std::nullopt, -1,
         "'maybe' is not an answer: yes (6), no (7), ok (1) or a number"},
        {"6x", std::nullopt, -1, "'6x' is not an answer"},
    };
    for (const Case& c : kCases) {
        std::string error;
        std::optional<int> answer = parse_msgbox_answer(c.text, &error, c.style);
        std::string what = std::string("'") + c.text + "' style " +
                           (c.style ? std::to_string(*c.style) : std::string("none"));
        EXPECT_EQ(answer.value_or(-1), c.answer) << what;
        EXPECT_NE(error.find(c.error), std::string::npos) << what << ": " << error;
    }
}

TEST(Answers, WhatABoxOffersIsWhatItTakesAndWhatARecordingWrites) {
    for (int style : {kNotice, 2, kQuestion}) {
        for (const std::string& word : msgbox_answer_words(style)) {
            std::string error;
            std::optional<int> answer = parse_msgbox_answer(word, &error, style);
            ASSERT_TRUE(answer) << word << ": " << error;
            EXPECT_TRUE(msgbox_gives(style, *answer)) << word;
            EXPECT_EQ(msgbox_answer_line_word(*answer), word);
        }
    }
    EXPECT_EQ(msgbox_answer_names(kQuestion), "6 (yes) or 7 (no)");
    // A box closed at the prompt is recorded as 0, which its replay must take.
    EXPECT_TRUE(msgbox_gives(kQuestion, kAnswerClosed));
    EXPECT_TRUE(msgbox_gives(kNotice, kAnswerClosed));
    EXPECT_FALSE(msgbox_gives(kNotice, kAnswerYes));
}

TEST(Answers, AnInputDialogTakesAFiniteNumberOrCancelWithinItsLimits) {
    struct Case {
        const char* text;
        const char* taken;  // the value as written, "cancel", or "" when refused
        const char* error;
    };
    const Case kCases[] = {
        {"7", "7", ""},
        {"2.5", "2.5", ""},
        {"-0", "-0", ""},
        {"cancel", "cancel", ""},
        {"nan", "", "'nan' is not a number (or cancel)"},
        {"inf", "", "is not a number"},
        {"1e999", "", "is not a number"},
        {"7 ", "", "'7 ' is not a number"},
        {"", "", "'' is not a number"},
    };
    for (const Case& c : kCases) {
        std::string error;
        std::optional<std::optional<double>> answer = parse_input_answer(c.text, &error);
        std::string taken = !answer ? "" : *answer ? input_value_text(**answer) : "cancel";
        EXPECT_EQ(taken, c.taken) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
    }
    EXPECT_EQ(input_refusal(99, 0, 59), "99 is outside the dialog's limits 0 to 59");
    EXPECT_EQ(input_refusal(59, 0, 59), "");
    EXPECT_EQ(input_refusal(-0.5, 0, 59), "-0.5 is outside the dialog's limits 0 to 59");
}

}  // namespace
}  // namespace hmi::host
