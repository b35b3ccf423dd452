// What a person or a scenario does to the simulated panel, as a typed value.
//
// A line of a scenario, a line typed at the prompt, a request of the inspector and an
// answer given to a dialog all become an Action before anything of it is done. An
// Action is made only by the functions below (or the line parser, which uses them), which
// check it against the panel and the library: once made, it can be carried out.
// `execute` (commands.cpp) is the one place where actions take effect; `scenario_line`
// is the one place where they become text again, for `record` and the inspector's export.
//
// Each struct names the row of the command table that makes it (kCommand).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "sim/engine/condition.hpp"
#include "sim/engine/plot.hpp"
#include "sim/engine/simulator.hpp"

namespace hmi::sim {

enum class TraceLevel : uint8_t;

// A window of the panel: its index, and its name to write it again.
struct WindowRef {
    int index = -1;
    std::string name;
};

struct SetTag {
    static constexpr const char* kCommand = "set";
    // The tag's place in the store, as every panel of the catalogue has it: a checked
    // action runs on any fresh panel of the same setup.
    size_t tag = 0;
    std::string name;
    std::vector<unsigned char> value;
    std::string written;  // the value as a scenario writes it (a text in its quotes)
};
struct ShowWindow {
    static constexpr const char* kCommand = "show";
    WindowRef window;
};
struct HideWindow {
    static constexpr const char* kCommand = "hide";
    WindowRef window;
};
struct Touch {
    static constexpr const char* kCommand = "touch";
};
// A widget's handler of a window: the click or timer row, and how to name it again.
struct Target {
    int window = -1;
    const EventRow* event = nullptr;
    std::string written;  // "WINDOW WIDGET", the widget by its label where that is unique
};
struct Click {
    static constexpr const char* kCommand = "click";
    Target target;
};
struct Fire {
    static constexpr const char* kCommand = "fire";
    Target target;
    uint64_t times = 1;
};
struct Run {
    static constexpr const char* kCommand = "run";
    uint64_t ms = 0;
};
struct RunUntil {
    static constexpr const char* kCommand = "run";
    Condition condition;
    uint64_t max_ms = 0;
};
struct SetClock {
    static constexpr const char* kCommand = "clock";
    uint32_t seconds = 0;
};
struct AnswerMsgbox {
    static constexpr const char* kCommand = "answer";
    std::vector<int> answers;
};
struct AnswerInput {
    static constexpr const char* kCommand = "answer";
    std::vector<std::optional<double>> values;  // none: cancel
};
struct Expect {
    static constexpr const char* kCommand = "expect";
    Condition condition;
};
struct ExpectWindows {
    static constexpr const char* kCommand = "expect";
    bool shown = true;
    std::vector<WindowRef> windows;
};
struct Print {
    static constexpr const char* kCommand = "print";
    std::vector<std::string> patterns;
};
struct Say {
    static constexpr const char* kCommand = "say";
    std::string text;
};
struct ListWindows {
    static constexpr const char* kCommand = "windows";
};
struct ListWidgets {
    static constexpr const char* kCommand = "widgets";
    WindowRef window;
};
struct ListProps {
    static constexpr const char* kCommand = "props";
    WindowRef window;
};
struct ListTags {
    static constexpr const char* kCommand = "tags";
    std::vector<std::string> patterns;
};
struct Watch {
    static constexpr const char* kCommand = "watch";
    std::vector<std::string> patterns;
};
struct Unwatch {
    static constexpr const char* kCommand = "unwatch";
    std::vector<std::string> patterns;  // none: all
};
struct SetTrace {
    static constexpr const char* kCommand = "trace";
    TraceLevel level;
};
struct AddBreak {
    static constexpr const char* kCommand = "break";
    Condition condition;
};
struct ListBreaks {
    static constexpr const char* kCommand = "break";
};
struct ClearBreaks {
    static constexpr const char* kCommand = "break";
};
struct Restart {
    static constexpr const char* kCommand = "restart";
};
struct Record {
    static constexpr const char* kCommand = "record";
    std::string path;
    bool replace = false;  // record FILE --replace: over a file that has something in it
};
struct RecordStop {
    static constexpr const char* kCommand = "record";
};
struct Load {
    static constexpr const char* kCommand = "load";
    std::string path;
};
struct Plot {
    static constexpr const char* kCommand = "plot";
    PlotSpec spec;
    std::string path;
};
struct PlotStop {
    static constexpr const char* kCommand = "plot";
};
struct Help {
    static constexpr const char* kCommand = "help";
    std::string topic;  // empty: every command
};
struct Quit {
    static constexpr const char* kCommand = "quit";
};

using Action =
    std::variant<SetTag, ShowWindow, HideWindow, Touch, Click, Fire, Run, RunUntil, SetClock,
                 AnswerMsgbox, AnswerInput, Expect, ExpectWindows, Print, Say, ListWindows,
                 ListWidgets, ListProps, ListTags, Watch, Unwatch, SetTrace, AddBreak, ListBreaks,
                 ClearBreaks, Restart, Record, RecordStop, Load, Plot, PlotStop, Help, Quit>;

// The name of the command that makes it: the row of the command table.
const char* command_name(const Action& action);

// ---- made from names, as every front end has them; empty with a message naming what
// is wrong (and the nearest known names) ----
// A window of the panel by its name, or -1.
int find_window(const Panel& panel, const std::string& name, std::string* error);
std::optional<WindowRef> window_ref(const Panel& panel, const std::string& name,
                                    std::string* error);
// The handlers of a panel window, with a reason when the library has none for it.
const HandlerWindow* window_handlers(Simulator& sim, int window, std::string* error);
// The `event` handler ("click", "timer") of a widget named by its name or its label.
std::optional<Target> find_target(Simulator& sim, int window, const std::string& widget,
                                  const char* event, std::string* error);
std::optional<Action> make_set(Simulator& sim, const std::string& tag, const std::string& value,
                               std::string* error);
std::optional<Action> make_show(Simulator& sim, const std::string& window, bool show,
                                std::string* error);
std::optional<Action> make_click(Simulator& sim, const std::string& window,
                                 const std::string& widget, std::string* error);
std::optional<Action> make_clock(const std::string& text, std::string* error);

// The action as one scenario line that does it again.
std::string scenario_line(const Action& action);

// A word of a scenario line: as it stands, or in double quotes when it has a blank or
// a "#" (or is empty). A text with a double quote cannot be written.
std::string scenario_word(const std::string& text);

// The names nearest to `name` among `names` (a typing slip or two away), for "did you
// mean": at most three, nearest first.
std::vector<std::string> nearest_names(const std::string& name,
                                       const std::vector<std::string>& names);
// "; did you mean 'a' or 'b'?", or "" when none is near.
std::string did_you_mean(const std::string& name, const std::vector<std::string>& names);

}  // namespace hmi::sim
