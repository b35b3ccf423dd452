#include "sim/cli/interactive.hpp"

#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <charconv>
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

// One line from the person; nullopt at the end of input. Ctrl-C while a line is typed
// drops it and asks again.
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
        }
    }
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

void add_windows() {
    for (const PanelWindow& w : g_sim->panel().windows) g_candidates.push_back(w.name);
}
void add_tags() {
    for (const host::Tag& t : g_sim->host().tags().all()) g_candidates.push_back(t.def->name);
}
void add_widgets(const std::string& window, const char* event) {
    int index = g_sim->panel().window_index(window);
    if (index < 0 || g_sim->handlers(index) == nullptr) return;
    const HandlerWindow& h = *g_sim->handlers(index);
    if (event == nullptr) {
        for (const std::string& w : h.widgets()) g_candidates.push_back(w);
        return;
    }
    for (const EventRow& r : h.events) {
        if (r.event == event) g_candidates.push_back(r.widget);
    }
}
void add_properties(const std::string& window, const std::string& widget) {
    int index = g_sim->panel().window_index(window);
    if (index < 0 || g_sim->handlers(index) == nullptr) return;
    for (const PropRow& r : g_sim->handlers(index)->props) {
        if (r.widget == widget) g_candidates.push_back(r.property);
    }
}

char** complete(const char* text, int start, int /*end*/) {
    rl_attempted_completion_over = 1;  // no file names
    std::vector<std::string> words;
    std::string error;
    split_words(std::string_view(rl_line_buffer, static_cast<size_t>(start)), &words, &error);
    g_candidates.clear();
    size_t n = words.size();
    const std::string verb = n > 0 ? words[0] : "";
    if (n == 0) {
        g_candidates = command_names();
        g_candidates.push_back("exit");
    } else if (verb == "set" || verb == "print" || verb == "tags") {
        if (verb != "set" || n == 1) add_tags();
    } else if (verb == "show" || verb == "hide" || verb == "widgets" || verb == "props") {
        if (n == 1) add_windows();
    } else if (verb == "click" || verb == "fire") {
        if (n == 1) add_windows();
        if (n == 2) add_widgets(words[1], verb == "click" ? "click" : "timer");
    } else if (verb == "answer") {
        if (n == 1) g_candidates = {"msgbox", "input"};
        if (n >= 2 && words[1] == "msgbox") g_candidates = {"yes", "no"};
        if (n >= 2 && words[1] == "input") g_candidates = {"cancel"};
    } else if (verb == "expect") {
        if (n == 1) g_candidates = {"tag", "shown", "hidden", "prop"};
        if (n == 2 && words[1] == "tag") add_tags();
        if (n >= 2 && (words[1] == "shown" || words[1] == "hidden")) add_windows();
        if (n == 2 && words[1] == "prop") add_windows();
        if (n == 3 && words[1] == "prop") add_widgets(words[2], nullptr);
        if (n == 4 && words[1] == "prop") add_properties(words[2], words[3]);
    }
    return rl_completion_matches(text, next_candidate);
}

std::string prompt(const Simulator& sim) {
    return "hmisim " + format_time(sim.now()) + "> ";
}
}  // namespace

int interactive(Simulator& sim, Output& output, const std::string& history_file) {
    g_sim = &sim;
    g_tty = isatty(STDIN_FILENO) != 0;
    // Ctrl-C cancels a line or stops a run; it never ends the program here.
    Interrupts interrupts;
    sim.interrupt = [] { return Interrupts::take() ? std::string("by Ctrl-C") : std::string(); };
    if (g_tty) {
        rl_readline_name = "hmisim";
        rl_attempted_completion_function = complete;
        if (!history_file.empty()) read_history(history_file.c_str());
    }
    sim.ask_question = [](const std::string& title, const std::string& text,
                          int style) -> std::optional<int> {
        std::string question = "message box \"" + title + "\": " + text + " (" + style_name(style) +
                               ") - answer yes (6), no (7), ok (1) or a number: ";
        for (;;) {
            std::optional<std::string> line = ask(question);
            if (!line) return std::nullopt;
            std::optional<int> n;
            if (*line == "yes" || *line == "y") n = 6;
            if (*line == "ok" || *line == "OK") n = 1;
            if (*line == "no" || *line == "n" || line->empty()) n = 7;
            int number = 0;
            auto [end, ec] = std::from_chars(line->data(), line->data() + line->size(), number);
            if (!n && ec == std::errc() && end == line->data() + line->size()) n = number;
            if (n) {
                if (g_sim->session().recorder) g_sim->session().recorder->answered_msgbox(*n);
                return n;
            }
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
            std::optional<ScenarioRecorder>& recorder = g_sim->session().recorder;
            if (!line || line->empty()) {
                if (line && recorder) recorder->answered_input(std::nullopt);
                return std::nullopt;
            }
            double v = 0;
            auto [end, ec] = std::from_chars(line->data(), line->data() + line->size(), v);
            if (ec == std::errc() && end == line->data() + line->size()) {
                if (recorder) recorder->answered_input(v);
                return v;
            }
        }
    };
    output.line(
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
            if (!error.empty()) sim.report(EntryType::Error, error);
            continue;
        }
        std::optional<ScenarioRecorder>& recorder = sim.session().recorder;
        std::vector<std::string> words;
        split_words(*line, &words, &error);
        bool recorded = recorder && !is_prompt_only(words.at(0));
        if (recorded) recorder->begin_command(*line);
        execute(*command, sim, "");
        if (recorded && recorder && !recorder->end_command()) {
            sim.report(EntryType::Error, "cannot write " + recorder->path() + ": recording ends");
            recorder.reset();
        }
    }
    if (sim.session().recorder) {
        sim.report(EntryType::Info, "recording written to " + sim.session().recorder->path());
        sim.session().recorder.reset();
    }
    if (g_tty && !history_file.empty()) write_history(history_file.c_str());
    sim.interrupt = nullptr;
    g_sim = nullptr;
    return 0;
}

}  // namespace hmi::sim
