#include "host/answers.hpp"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "host/lines.hpp"

namespace hmi::host {

namespace {
// The words of message box answers; the first of each number is the one written.
struct AnswerWord {
    const char* word;
    int number;
};
constexpr AnswerWord kWords[] = {
    {"yes", kAnswerYes}, {"no", kAnswerNo}, {"ok", kAnswerOk}, {"y", kAnswerYes}, {"n", kAnswerNo},
};

bool is_question(int64_t style) {
    return style == 2 || style == 290;
}

std::optional<int> whole_number(std::string_view text) {
    int n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return n;
}
}  // namespace

std::vector<int> msgbox_answers(int style) {
    if (style == 0) return {kAnswerOk};
    return {kAnswerYes, kAnswerNo};
}

bool msgbox_gives(int style, int answer) {
    if (answer == kAnswerClosed) return true;  // every box can be closed
    std::vector<int> possible = msgbox_answers(style);
    return std::find(possible.begin(), possible.end(), answer) != possible.end();
}

std::string msgbox_answer_names(int style, const char* separator) {
    std::string names;
    for (int answer : msgbox_answers(style)) {
        names += (names.empty() ? "" : separator) + std::to_string(answer) + " (" +
                 msgbox_answer_word(answer) + ")";
    }
    return names;
}

std::vector<std::string> msgbox_answer_words(int style) {
    std::vector<std::string> words;
    for (int answer : msgbox_answers(style)) words.push_back(msgbox_answer_line_word(answer));
    return words;
}

std::vector<std::string> msgbox_words() {
    return {"yes", "no", "ok"};
}

std::optional<int> parse_msgbox_answer(std::string_view text, std::string* error,
                                       std::optional<int> style) {
    std::optional<int> n = whole_number(text);
    for (const AnswerWord& w : kWords) {
        if (text.size() == std::char_traits<char>::length(w.word) &&
            strncasecmp(text.data(), w.word, text.size()) == 0) {
            n = w.number;
        }
    }
    std::string quoted = quoted_excerpt(text);
    if (!style) {
        if (!n) *error = quoted + " is not an answer: yes (6), no (7), ok (1) or a number";
        return n;
    }
    if (!n || !msgbox_gives(*style, *n)) {
        std::string offered;
        for (int answer : msgbox_answers(*style)) {
            offered += (offered.empty() ? "" : " or ") + msgbox_answer_line_word(answer) + " (" +
                       std::to_string(answer) + ")";
        }
        *error = quoted + " is not an answer of this box: " + offered;
        return std::nullopt;
    }
    return n;
}

namespace {
// Message box styles and answers by name, with the panel's number beside.
std::string named(const char* name, const char* what, int64_t number) {
    std::string n = std::string(what) + std::to_string(number);
    return name == nullptr ? n : std::string(name) + " (" + n + ")";
}
}  // namespace

std::string msgbox_style_text(int64_t style) {
    return named(style == 0           ? "notice"
                 : is_question(style) ? "question"
                                      : nullptr,
                 "style ", style);
}

const char* msgbox_answer_word(int64_t answer) {
    return answer == kAnswerYes  ? "yes"
           : answer == kAnswerNo ? "no"
           : answer == kAnswerOk ? "OK"
                                 : nullptr;
}

std::string msgbox_answer_text(int64_t answer) {
    return named(msgbox_answer_word(answer), "", answer);
}

std::string msgbox_answer_line_word(int answer) {
    for (const AnswerWord& w : kWords) {
        if (w.number == answer) return w.word;
    }
    return std::to_string(answer);
}

std::optional<std::optional<double>> parse_input_answer(std::string_view text, std::string* error) {
    if (text == kCancelWord) return std::optional<double>();
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(v)) {
        *error = quoted_excerpt(text) + " is not a number (or cancel)";
        return std::nullopt;
    }
    return std::optional<double>(v);
}

std::string input_value_text(double value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

std::string input_refusal(double value, double minimum, double maximum) {
    if (value >= minimum && value <= maximum) return {};
    return input_value_text(value) + " is outside the dialog's limits " +
           input_value_text(minimum) + " to " + input_value_text(maximum);
}

}  // namespace hmi::host
