// The simulated panel: the host layer with the panel's windows, timers, simulated
// clock, refresh of the widgets' dynamic properties and the parameter file, driven
// one event at a time.
//
// A handler never runs while another does: windows that a handler shows or hides
// queue their open and close events, which run after it returns, in call order.
// After each event every shown window's property functions are polled and the
// changes reported.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.hpp"
#include "sim/engine/library.hpp"
#include "sim/engine/panel.hpp"
#include "sim/engine/params_file.hpp"
#include "sim/engine/trace.hpp"

namespace hmi::sim {

class Session;

// Why a run of simulated time stopped.
enum class Stop : uint8_t {
    MaxReached,   // the whole time passed (a run until's max)
    Met,          // the condition the run waited for came to hold
    Break,        // a break's condition came to hold
    Interrupted,  // Ctrl-C at the prompt
    Quit,         // quit typed at a dialog the run asked
    ClockEnd,     // the panel's clock is at its end
    Unanswered,   // a dialog had no answer
};
struct RunEnd {
    Stop why = Stop::MaxReached;
    std::string detail;  // of a break: its condition and what was found
};
// "met", "max", "break", "interrupt", "quit", "clock end", "unanswered": a warning's
// "stopped".
const char* stop_name(Stop why);
// "at break chief.KA19 = 1 (chief.KA19 = 1)", "by Ctrl-C", ...: after "run stopped at T".
std::string stop_text(const RunEnd& end);

struct Options {
    // Seconds since the epoch; none: the catalogue's clock (1970-01-01 00:00:00 is 0).
    std::optional<uint32_t> start_time;
    std::string params_path;  // empty: parameters are saved in memory only
    // Loaded from params_path but never written: saves are kept in memory, and a restart
    // loads the file again.
    bool params_read_only = false;
    unsigned seed = 1;  // of the C library's rand(), which some screens use
    // Polls every property of the shown windows after every event. Without it a
    // property is polled again only when a tag it read at its last poll has been
    // written since, when it reported a change then, or when it read no tag or drew a
    // random number: what it would give is known otherwise. The trace is the same.
    bool full_refresh = false;
};

// The fields of an event about a tag's value: tag, kind, value.
std::vector<Field> tag_fields(const host::Tag& tag);
// The fields of an event about a property's value: window, widget, property, kind, value.
std::vector<Field> prop_fields(const std::string& window, const PropRow& row,
                               const unsigned char* value);

class Simulator {
  public:
    // The sink, when given, is the stream's first subscriber.
    Simulator(const Panel& panel, std::shared_ptr<const Library> library, Options options,
              Sink sink = nullptr);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Loads the saved parameters, shows the start windows and polls them.
    void start();
    // Powers the panel off and on: every window hidden (no close handler runs), tags
    // back to their initial values, the saved parameters loaded again, the start
    // windows shown, timers from zero. Simulated time and the clock go on.
    void restart();

    // What is set up around the panel: the trace's view, breaks, plots, a recording.
    Session& session() { return *session_; }

    // ---- what the panel is ----
    const Panel& panel() const { return panel_; }
    const Library& library() const { return *library_; }
    host::Host& host() { return host_; }
    uint64_t now() const { return now_; }
    uint32_t clock() const { return start_time_ + static_cast<uint32_t>(now_ / 1000); }
    bool shown(int window) const { return windows_[window].shown; }
    int modal_window() const;  // the window that holds the panel modally, or -1
    // The handlers of a panel window, or nullptr when the library has none for it.
    const HandlerWindow* handlers(int window) const { return windows_[window].handlers; }
    // A widget's current value of a property (as the last poll left it), or nullptr.
    const unsigned char* prop_value(int window, const PropRow* row) const;
    // The tags (full names) that a property's function read at its last poll; *polled
    // is false when it has not been polled since the panel started.
    std::vector<std::string> prop_follows(int window, const PropRow* row, bool* polled);

    // ---- acting on the panel; each runs to the end of the events it causes ----
    void set_tag(host::Tag& tag, const unsigned char* value);
    void show(int window);
    void hide(int window);
    void touch();
    void click(int window, const EventRow& row);                 // a touch, then the handler
    void fire(int window, const EventRow& row, unsigned times);  // timer ticks, now
    // Simulated time with the timers at their periods; false when it stopped before the
    // whole time passed. The panel's clock ends at 2106-02-07 06:28:15 (the last second a
    // u32 holds): a run that would pass it stops there with an error.
    bool run(uint64_t ms);
    // The same, asking after every event whether a break came to hold, whether `met`
    // holds, whether a dialog went unanswered, whether `interrupt` holds and whether the
    // person quit at a dialog: at the first
    // that does, time stops at that event's moment, and the run says why.
    RunEnd run_until(uint64_t ms, const std::function<bool()>& met);
    // Asked after every event of any run: a Ctrl-C at the prompt.
    std::function<bool()> interrupt;
    void set_clock_time(uint32_t seconds);  // the panel's clock now, seconds since the epoch

    // ---- answers to the dialogs, queued in the host ----
    // Questions take queued answers; notices (style 0) are acknowledged with 1.
    void queue_msgbox(int answer) { host_.answer_msgbox(answer); }
    void queue_input(std::optional<double> value) { host_.answer_input(value); }
    size_t queued_answers() const { return host_.pending_answers(); }
    void clear_answers() { host_.clear_answers(); }
    // Asked when nothing is queued (interactive use); without them, or when they give
    // nothing, the dialog is reported as unanswered.
    std::function<std::optional<int>(const std::string& title, const std::string& text, int style)>
        ask_question;
    std::function<std::optional<double>(const std::string& tag, const std::string& prompt,
                                        double minimum, double maximum)>
        ask_value;
    size_t unanswered() const { return unanswered_; }
    // Saves of the parameter file that failed so far.
    size_t failed_saves() const { return failed_saves_; }

    // ---- the events ----
    // Every event of the panel goes to the stream's subscribers, in order.
    EventStream& events() { return events_; }
    // Reports an event of the caller's (narration, prints, failures) at the current time.
    void report(EventType type, std::vector<Field> fields);
    // Told of each handler that runs and each property function polled, with the value
    // it left (coverage); either may be empty.
    std::function<void(int window, const EventRow& row)> on_handler;
    std::function<void(int window, const PropRow& row, const unsigned char* value)> on_poll;

  private:
    struct WindowState {
        const PanelWindow* def = nullptr;
        const HandlerWindow* handlers = nullptr;
        bool shown = false;
        bool modal = false;
        // One cell per property row: the value storage the widget gives the
        // property, followed by guard bytes that a property function must not touch.
        struct Cell {
            alignas(8) unsigned char bytes[HMI_TEXT_VALUE_SIZE + 8];
            std::vector<int32_t> reads;  // the tags read at the last poll
            uint64_t polled_at = 0;      // the host's write count then
            bool polled = false;
            bool again = false;  // reported a change, read no tag or drew a random number
        };
        std::vector<Cell> cells;
    };
    struct TimerState {
        const PanelTimer* def = nullptr;
        int window = -1;
        const EventRow* tick = nullptr;
        const PropRow* enable = nullptr;
        bool running = false;
        uint64_t due = 0;
    };
    struct Queued {
        int window;
        const EventRow* row;
        EventType type;  // click, timer, open, close
    };

    // The cell of a row of a window's handlers; nullptr when the row is not one of them.
    const WindowState::Cell* cell_of(int window, const PropRow* row) const;
    void emit(int depth, EventType type, std::vector<Field> fields);
    void forward(const Event& call);
    // Samples the plots and passes the event through the view to the subscribers.
    void publish(const Event& event);
    std::string window_called(host::WindowCall call, const std::string& name);
    void set_shown(WindowState& w, int index, bool shown);
    void call(const Queued& event);
    void drain();  // the events queued so far, each with its refresh
    void report_calls();
    void refresh();
    bool stale(const WindowState::Cell& cell) const;
    bool poll(int window, size_t row, bool report_change);
    void set_clock(uint64_t ms);
    void tick(TimerState& timer);
    void power_on();
    void restore_saved(const host::Host::Params& saved);
    void load_params();
    std::vector<Field> save_params(const host::Host::Params& params);
    void apply_saved(const std::string& path, const std::vector<ParamEntry>& entries);
    void note_unanswered(const std::string& what);
    void raise_touch(bool by_click);

    const Panel& panel_;
    std::shared_ptr<const Library> library_;
    Options options_;
    std::unique_ptr<Session> session_;
    EventStream events_;
    host::Host host_;
    host::HostGuard guard_{host_};  // the library's calls reach host_ while the panel lives
    std::vector<WindowState> windows_;
    std::vector<TimerState> timers_;
    std::deque<Queued> queue_;
    uint64_t now_ = 0;
    uint32_t start_time_ = 0;
    size_t unanswered_ = 0;
    size_t failed_saves_ = 0;
    std::vector<std::string> unanswered_notes_;
    // Entries of the parameter file for names that are not parameters of this panel: kept
    // as they are and written back by each save, so that no catalogue loses them.
    std::vector<ParamEntry> foreign_params_;
};

}  // namespace hmi::sim
