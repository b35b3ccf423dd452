// The answers the panel's dialogs take, in one place: the words and numbers a message
// box of each style can give, and what an input dialog takes. The host, scenario lines,
// the prompt and its completion, and the inspector's API all read them here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hmi::host {

// The answers of a message box as the panel numbers them. A box closed without an
// answer (the panel's close, Ctrl-C at the prompt) gives 0, as does a refused answer.
constexpr int kAnswerClosed = 0;
constexpr int kAnswerOk = 1;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// What a message box of this style offers: a notice (style 0) only its OK (1), a
// question yes (6) or no (7).
std::vector<int> msgbox_answers(int style);
// Whether a box of this style can give the answer: one it offers, or 0 (closed), which
// is how a recording replays a box that was closed at the prompt.
bool msgbox_gives(int style, int answer);
// Those answers with their words: "6 (yes) or 7 (no)" (or another separator).
std::string msgbox_answer_names(int style, const char* separator = " or ");
// The words that a box of this style answers to, as they are written: "yes", "no".
std::vector<std::string> msgbox_answer_words(int style);
// Every word of a message box answer, as a scenario line takes it before any box asks.
std::vector<std::string> msgbox_words();

// A message box answer from its word ("yes", "y", "no", "n", "ok", in any case) or its
// number. Without a style any whole number is taken (the box that asks refuses what it
// cannot give); with one, only that style's answers. Empty, with a message naming the
// answers that would have been taken, when it is none.
std::optional<int> parse_msgbox_answer(std::string_view text, std::string* error,
                                       std::optional<int> style = std::nullopt);

// A message box style and answer as a person reads them, with the panel's number:
// "question (style 2)", "yes (6)".
std::string msgbox_style_text(int64_t style);
std::string msgbox_answer_text(int64_t answer);
// "yes", "no" or "OK" for the answers a message box offers; null for any other.
const char* msgbox_answer_word(int64_t answer);
// An answer as a scenario line writes it: "yes", "no", "ok" or the number.
std::string msgbox_answer_line_word(int answer);

// The word that cancels an input dialog.
constexpr char kCancelWord[] = "cancel";
// An input dialog's answer: a finite number, or nullopt for "cancel". Empty, with a
// message, when the text is neither.
std::optional<std::optional<double>> parse_input_answer(std::string_view text, std::string* error);
// Why an input dialog refuses a value (outside its limits), or "" when it takes it.
std::string input_refusal(double value, double minimum, double maximum);
// A value of an input dialog as every front end writes it: "7", "2.5".
std::string input_value_text(double value);

}  // namespace hmi::host
