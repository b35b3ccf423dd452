#include "sim/cli/interactive.hpp"

#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "sim/engine/scenario.hpp"

namespace hmi::sim {

namespace {
Simulator* g_sim = nullptr;  // readline's completion hook has no context of its own
std::vector<std::string> g_candidates;

bool g_tty = false;

// One line from the person; nullopt at the end of input.
std::optional<std::string> ask(const std::string& prompt) {
    if (!g_tty) {
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        return line;
    }
    char* raw = readline(prompt.c_str());
    if (raw == nullptr) return std::nullopt;
    std::string line = raw;
    std::free(raw);
    return line;
}

char* next_candidate(const char* text, int state) {
    static size_t index;
    if (state == 0) index = 0;
    size_t length = std::strlen(text);
    while (index < g_candidates.size()) {
        const std::string& c = g_candidates[index++];
        if (c.compare(0, length, text) == 0) return strdup(c.c_str());
    }
    return nullptr;
}

char** complete(const char* text, int start, int /*end*/) {
    rl_attempted_completion_over = 1;  // no file names
    std::vector<std::string> words;
    std::string error;
    split_words(std::string_view(rl_line_buffer, static_cast<size_t>(start)), &words, &error);
    g_candidates = completions(*g_sim, words);
    if (words.empty()) g_candidates.push_back("quit");
    return rl_completion_matches(text, next_candidate);
}

std::string prompt(const Simulator& sim) {
    return "hmisim " + format_time(sim.now()) + "> ";
}
}  // namespace

int interactive(Simulator& sim, Output& output, const std::string& history_file) {
    g_sim = &sim;
    g_tty = isatty(STDIN_FILENO) != 0;
    if (g_tty) {
        rl_readline_name = "hmisim";
        rl_attempted_completion_function = complete;
        if (!history_file.empty()) read_history(history_file.c_str());
    }
    sim.ask_question = [](const std::string& title, const std::string& text,
                          int style) -> std::optional<int> {
        std::string question = "message box \"" + title + "\": " + text + " (style " +
                               std::to_string(style) + ") - answer yes, no or a number: ";
        for (;;) {
            std::optional<std::string> line = ask(question);
            if (!line) return std::nullopt;
            if (*line == "yes" || *line == "y") return 6;
            if (*line == "no" || *line == "n" || line->empty()) return 7;
            int n = 0;
            auto [end, ec] = std::from_chars(line->data(), line->data() + line->size(), n);
            if (ec == std::errc() && end == line->data() + line->size()) return n;
        }
    };
    sim.ask_value = [](const std::string& tag, const std::string& prompt_text, double minimum,
                       double maximum) -> std::optional<double> {
        char range[64];
        std::snprintf(range, sizeof range, "%g..%g", minimum, maximum);
        std::string question = "input " + tag + " \"" + prompt_text + "\" " + range +
                               " - a number, or nothing to cancel: ";
        for (;;) {
            std::optional<std::string> line = ask(question);
            if (!line || line->empty()) return std::nullopt;
            double v = 0;
            auto [end, ec] = std::from_chars(line->data(), line->data() + line->size(), v);
            if (ec == std::errc() && end == line->data() + line->size()) return v;
        }
    };
    output.info(
        "hmisim: the panel runs. Type help for the commands, quit to leave; Tab "
        "completes commands and names.");
    for (;;) {
        std::optional<std::string> line = ask(prompt(sim));
        if (!line || *line == "quit" || *line == "exit") break;
        if (line->find_first_not_of(" \t") == std::string::npos) continue;
        if (g_tty) add_history(line->c_str());
        std::string error;
        std::optional<Command> command = parse_command(*line, sim, &error);
        if (!command) {
            if (!error.empty()) sim.report(EventType::Error, {{"message", Value::text(error)}});
            continue;
        }
        execute(*command, sim);
    }
    if (g_tty && !history_file.empty()) write_history(history_file.c_str());
    g_sim = nullptr;
    return 0;
}

}  // namespace hmi::sim
