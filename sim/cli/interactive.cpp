#include "sim/cli/interactive.hpp"

#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "sim/cli/line_reader.hpp"
#include "sim/engine/scenario.hpp"
#include "sim/engine/session.hpp"

namespace hmi::sim {

namespace {
Simulator* g_sim = nullptr;  // readline's completion hook has no context of its own
std::vector<std::string> g_candidates;

bool g_tty = false;
int g_long_lines = 0;                     // lines from a pipe refused for their length: bad lines
std::vector<std::string> g_answer_words;  // while a dialog asks: what Tab completes

// One line from the person; nullopt at the end of input. Ctrl-C while a line is typed
// drops it and asks again; so does a line too long to be one, which is reported.
std::optional<std::string> ask(const std::string& prompt) {
    std::string line;
    for (;;) {
        switch (read_line(prompt, g_tty, &line)) {
            case Read::Line:
                return line;
            case Read::End:
                return std::nullopt;
            case Read::Cancelled:
                break;
            case Read::TooLong:
                ++g_long_lines;
                g_sim->report(EventType::Error, {{key::message, Value::text(line)}});
                break;
        }
    }
}

// Answers given at the prompt go into a recording as answer lines.
ScenarioRecorder* recorder() {
    std::optional<ScenarioRecorder>& r = g_sim->session().recorder;
    return r ? &*r : nullptr;
}

// A label with a space is offered quoted ("HV203 duration"): typed without the quote it
// is matched by its text and completed with the quotes; after an opening quote it is
// offered bare and readline closes the quote.
char* next_candidate(const char* text, int state) {
    static size_t index;
    if (state == 0) index = 0;
    std::string_view typed(text);
    bool in_quote = rl_completion_quote_character == '"';
    while (index < g_candidates.size()) {
        const std::string& c = g_candidates[index++];
        std::string_view bare(c);
        if (bare.size() >= 2 && bare.front() == '"' && bare.back() == '"')
            bare = bare.substr(1, bare.size() - 2);
        if (in_quote && bare.starts_with(typed)) return strdup(std::string(bare).c_str());
        if (!in_quote && (std::string_view(c).starts_with(typed) || bare.starts_with(typed)))
            return strdup(c.c_str());
    }
    return nullptr;
}

char** complete(const char* text, int start, int /*end*/) {
    rl_attempted_completion_over = 1;  // no file names
    if (!g_answer_words.empty()) {
        g_candidates = g_answer_words;
        return rl_completion_matches(text, next_candidate);
    }
    std::vector<std::string> words;
    std::string error;
    std::string_view before(rl_line_buffer, static_cast<size_t>(start));
    if (rl_completion_quote_character != 0 && before.ends_with('"')) before.remove_suffix(1);
    split_words(before, &words, &error);
    g_candidates = completions(*g_sim, words);
    if (words.empty()) g_candidates.push_back("exit");
    return rl_completion_matches(text, next_candidate);
}

std::string prompt(const Simulator& sim) {
    return "hmisim " + format_time(sim.now()) + "> ";
}
}  // namespace

namespace {

// What closing a dialog at the prompt did, for the person to read.
void say(const std::string& text) {
    std::cerr << text << "\n";
}

// A dialog's answer typed at the prompt: Read::Cancelled for Ctrl-C, and for quit or
// exit, which close the dialog as Ctrl-C does and then end the prompt.
Read read_answer(const std::string& question, const std::vector<std::string>& offered,
                 std::string* line) {
    g_answer_words = offered;
    Read read = read_line(question, g_tty, line);
    g_answer_words.clear();
    if (read == Read::Line && (*line == "quit" || *line == "exit")) {
        g_sim->session().quitting = true;
        return Read::Cancelled;
    }
    return read;
}

std::string closed_by() {
    return g_sim->session().quitting ? "quit" : "Ctrl-C";
}

// A message box with no queued answer asks the person, offering only the answers its
// style gives, until one of them comes; Ctrl-C closes it as the panel's close does (0).
std::optional<int> ask_question(const std::string& title, const std::string& text, int style) {
    std::vector<std::string> offered = host::msgbox_answer_words(style);
    std::string words;
    for (const std::string& w : offered) words += (words.empty() ? "" : " or ") + w;
    std::string question = "message box \"" + title + "\": " + text + " (" +
                           host::msgbox_style_text(style) + ") - " + words +
                           " (Ctrl-C closes it): ";
    for (;;) {
        std::string line;
        switch (read_answer(question, offered, &line)) {
            case Read::End:
                return std::nullopt;
            case Read::Cancelled:
                say("closed by " + closed_by() + ": the message box answers 0");
                if (recorder() != nullptr) recorder()->answered_msgbox(host::kAnswerClosed);
                return host::kAnswerClosed;
            case Read::TooLong:
                say(line);  // what was wrong with it; the box asks again
                continue;
            case Read::Line:
                break;
        }
        std::string error;
        std::optional<int> answer = host::parse_msgbox_answer(line, &error, style);
        if (!answer) {
            if (!line.empty()) say(error);
            continue;
        }
        if (recorder() != nullptr) recorder()->answered_msgbox(*answer);
        return answer;
    }
}

// An input dialog with no queued answer asks the person until a value within its limits
// comes; nothing, cancel or Ctrl-C cancels it, as the panel's cancel does.
std::optional<double> ask_value(const std::string& tag, const std::string& prompt_text,
                                double minimum, double maximum) {
    std::string question = "input " + tag + " \"" + prompt_text + "\" " +
                           host::input_value_text(minimum) + ".." +
                           host::input_value_text(maximum) + " - a number, or nothing to cancel: ";
    for (;;) {
        std::string line;
        switch (read_answer(question, {host::kCancelWord}, &line)) {
            case Read::End:
                return std::nullopt;
            case Read::Cancelled:
                say("closed by " + closed_by() + ": the input dialog is cancelled");
                line = host::kCancelWord;
                break;
            case Read::TooLong:
                say(line);  // what was wrong with it; the dialog asks again
                continue;
            case Read::Line:
                if (line.empty()) line = host::kCancelWord;
                break;
        }
        std::string error;
        std::optional<std::optional<double>> answer = host::parse_input_answer(line, &error);
        if (answer && *answer) error = host::input_refusal(**answer, minimum, maximum);
        if (!answer || !error.empty()) {
            say(error + ": give another");
            continue;
        }
        if (recorder() != nullptr) recorder()->answered_input(*answer);
        return *answer;
    }
}

// One typed line: parsed, carried out, and recorded when a recording runs (but not what
// only looks or asks).
enum class LineOutcome { Done, Failed, BadLine };

LineOutcome run_line(Simulator& sim, const std::string& line) {
    std::string error;
    std::optional<Action> action = parse_command(line, sim, &error);
    if (!action) {
        if (error.empty()) return LineOutcome::Done;
        sim.report(EventType::Error, {{key::message, Value::text(error)}});
        return LineOutcome::BadLine;
    }
    int bad_loaded = sim.session().bad_loaded_lines;
    bool done = execute_typed(sim, *action, written_text(line));
    if (sim.session().bad_loaded_lines != bad_loaded) return LineOutcome::BadLine;
    return done ? LineOutcome::Done : LineOutcome::Failed;
}

}  // namespace

int interactive(Simulator& sim, Output& output, const std::string& history_file) {
    g_sim = &sim;
    g_tty = isatty(STDIN_FILENO) != 0;
    sim.session().quitting = false;
    // Ctrl-C cancels a line or stops a run; it never ends the program here. Quit typed
    // at a dialog stops the run that asked.
    Interrupts interrupts;
    sim.interrupt = [] { return Interrupts::take(); };
    if (g_tty) {
        rl_readline_name = "hmisim";
        rl_attempted_completion_function = complete;
        rl_completer_quote_characters = "\"";  // labels with spaces, completed inside quotes
        if (!history_file.empty()) read_history(history_file.c_str());
    }
    // At a terminal a dialog asks the person; from a pipe the lines are a scenario, and
    // a dialog takes only answers queued by answer lines: no other line is taken as one.
    if (g_tty) {
        sim.ask_question = ask_question;
        sim.ask_value = ask_value;
    }
    if (g_tty) {
        output.info(
            "hmisim: the panel runs. Type help for the commands, quit to leave; Tab "
            "completes commands and names.");
    }
    // What the exit status reports: lines that were not commands (2), and commands
    // that failed, dialogs left unanswered, saves that failed (1).
    int bad_lines = 0, failures = 0;
    g_long_lines = 0;
    size_t unanswered = sim.unanswered(), failed_saves = sim.failed_saves();
    for (;;) {
        std::optional<std::string> line = ask(prompt(sim));
        if (!line) break;
        std::vector<std::string> words;
        std::string error;
        split_words(*line, &words, &error);
        if (words.size() == 1 && (words[0] == "quit" || words[0] == "exit")) break;
        if (line->find_first_not_of(" \t") == std::string::npos) continue;
        if (g_tty) add_history(line->c_str());
        LineOutcome outcome = run_line(sim, *line);
        if (outcome == LineOutcome::BadLine) ++bad_lines;
        if (outcome == LineOutcome::Failed) ++failures;
        if (sim.session().quitting) break;
    }
    if (sim.queued_answers() > 0) {
        ++failures;
        sim.report(EventType::Error,
                   {{key::message, Value::text(std::to_string(sim.queued_answers()) +
                                               " queued answer(s) were never asked for")}});
    }
    if (recorder() != nullptr) {
        output.note("recording written to " + recorder()->path());
        sim.session().recorder.reset();
    }
    if (g_tty && !history_file.empty()) write_history(history_file.c_str());
    sim.interrupt = nullptr;
    g_sim = nullptr;
    if (bad_lines + g_long_lines > 0) return 2;
    bool failed =
        failures > 0 || sim.unanswered() != unanswered || sim.failed_saves() != failed_saves;
    return failed ? 1 : 0;
}

}  // namespace hmi::sim
