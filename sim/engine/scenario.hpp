// Scenario commands, one a line, as written in scenario files and typed at the prompt:
//
//   set TAG [=] VALUE              show WINDOW          hide WINDOW         touch
//   click WINDOW WIDGET | KEY      fire WINDOW WIDGET [N] | KEY [N]
//   run DURATION (500ms, 10s, 2m, 1h, 1m30s)   clock YYYY-MM-DD HH:MM:SS
//   answer msgbox yes|no|N ...     answer input NUMBER|cancel ...
//   print GLOB...                  say TEXT
//   run until CONDITION [max DURATION]        expect CONDITION (comparisons, tolerances)
//   break [CONDITION | clear]      watch TAG-GLOB...    unwatch [TAG-GLOB...]
//   trace quiet|normal|full        restart              load FILE
//   record FILE [--replace] | record stop (at the prompt only)
//   plot TAG,TAG...|x=TAG,y=TAG FILE | plot stop
//   windows   widgets WINDOW   props WINDOW   tags [GLOB...]   help [COMMAND]   quit
//
// A widget is named by its own name or by its label (panel/widgets.txt) where no other
// widget of its window has that label.
//
// Each command is one row of the table in commands.cpp.
//
// A line is checked whole against the panel and the library before anything of it is
// done; a line that cannot be done changes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/lines.hpp"
#include "sim/engine/action.hpp"
#include "sim/engine/condition.hpp"
#include "sim/engine/plot.hpp"
#include "sim/engine/simulator.hpp"

namespace hmi::sim {

// How long `run until` waits at most when no `max` is given.
constexpr uint64_t kRunUntilDefaultMs = 3600 * 1000;

// Where a command was written: a file and line, or nothing for the prompt; and the line
// as written, for its messages (empty: as the scenario writer writes the action).
struct Where {
    std::string file;
    int line = 0;
    std::string text;
};

struct Parser;  // the words of a line against the panel (commands.cpp)
struct Runner;  // a command at work on the panel (commands.cpp)

// A scenario command: everything about it is in its row, from which help, completion,
// checking and running all come.
struct CommandRow {
    const char* name;
    const char* usage;
    const char* help;     // one line
    const char* details;  // more, for help COMMAND
    bool expectation;     // a check that counts in the scenario's result
    bool recorded;        // written by record at the prompt
    // The action of a line's words (args[0] is the command's name); each Action type
    // names its row (kCommand).
    std::optional<Action> (*parse)(Parser& parser);
    // The words that may come next after these (words[0] is the command's name).
    void (*complete)(Simulator& sim, const std::vector<std::string>& words,
                     std::vector<std::string>* out);
};

// The row of a command; "exit" is another name of quit.
const CommandRow* find_command(std::string_view name);
// The names of the commands, for help and completion.
const std::vector<std::string>& command_names();
std::string command_help();                       // every command: usage and one line
std::string command_help(std::string_view name);  // one command, with its details
// What may come next after the words of a line so far: command names first.
std::vector<std::string> completions(Simulator& sim, const std::vector<std::string>& words);

// Splits a line into words, quoted texts whole, "#" comments left out.
using host::split_words;

// Empty optional with an empty error for a blank or comment line.
std::optional<Action> parse_command(std::string_view line, Simulator& sim, std::string* error);
// A line as its messages quote it: without the blanks and carriage return at its end.
std::string written_text(std::string_view line);
// The row of the command that made the action.
const CommandRow& row_of(const Action& action);

// Carries it out; a failed expectation or a command that the panel's state does not
// allow is reported (with where it was written) and gives false, and changes nothing.
bool execute(const Action& action, Simulator& sim, const Where& where = {});

struct ScenarioResult {
    int bad_lines = 0;     // lines that could not be parsed: nothing was run
    int failures = 0;      // expectations not met, commands refused, dialogs unanswered,
                           // saves of the parameter file that failed
    int expectations = 0;  // checked
    int met = 0;           // of those, the ones that held
    bool ok() const { return bad_lines == 0 && failures == 0; }
    // The failures that are not expectations: refusals, dialogs, saves, the clock's end.
    int other_failures() const { return failures - (expectations - met); }
};

// How a run went, for its summary: "5 expectations: 1 met, 4 failed; 1 other failure",
// "3 expectations, all met", "no expectations".
std::string outcome_text(const ScenarioResult& result);

// Checks every line, reporting each bad one with origin:line; the good ones with their
// line numbers.
struct ScenarioLine {
    int number = 0;
    Action action;
    std::string text;  // as written
};
// The files that load lines name are checked too (loads.hpp); *lines, when given, is how
// many lines the scenario runs, those of its loads included.
std::vector<ScenarioLine> check_scenario(std::string_view text, const std::string& origin,
                                         Simulator& sim, int* bad_lines, size_t* lines = nullptr);

// Checks every line, and runs the scenario only if all are good.
ScenarioResult run_scenario(std::string_view text, const std::string& origin, Simulator& sim);
// Runs lines that check_scenario has found good, on a panel of the same setup.
ScenarioResult run_scenario(const std::vector<ScenarioLine>& lines, const std::string& origin,
                            Simulator& sim);

// "10s", "500ms", "1m30s", "2h": false if it is none.
bool parse_duration(std::string_view text, uint64_t* ms);
// 7400 as "7s400ms", as parse_duration reads it; 0 as "0ms".
std::string duration_text(uint64_t ms);
// "2026-01-01 08:00:00" (or with a T) in the panel's clock (the process's local time,
// which the simulator keeps in UTC), from 1970-01-01 00:00:00 to 2106-02-07 06:28:15, the
// seconds a u32 holds: false if it is none (a sign or a blank in a number included).
bool parse_clock(std::string_view text, uint32_t* seconds);

}  // namespace hmi::sim
