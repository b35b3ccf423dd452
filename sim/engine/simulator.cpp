#include "sim/engine/simulator.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iterator>
#include <utility>

#include "host/gbk.hpp"
#include "host/lines.hpp"
#include "sim/engine/params_file.hpp"
#include "sim/engine/session.hpp"
#include "sim/engine/words.hpp"

namespace hmi::sim {

extern unsigned long g_random_draws;  // random.cpp

namespace {
constexpr unsigned char kGuard = 0xA5;

Value text(std::string t) {
    return Value::text(std::move(t));
}

uint32_t catalogue_clock(const Panel& panel) {
    for (const host::TagDef& def : panel.catalogue.tags) {
        if (def.name != "system.CurDateTime" || def.kind != host::Kind::U32) continue;
        unsigned char value[4] = {};
        if (!host::parse_value(def.kind, def.initial, value).empty()) return 0;
        uint32_t seconds = 0;
        std::memcpy(&seconds, value, sizeof seconds);
        return seconds;
    }
    return 0;
}
}  // namespace

Simulator::Simulator(const Panel& panel, std::shared_ptr<const Library> library, Options options,
                     Sink sink)
    : panel_(panel),
      library_(std::move(library)),
      options_(std::move(options)),
      session_(std::make_unique<Session>()),
      host_(panel.tags) {
    if (sink) events_.subscribe(std::move(sink));
    start_time_ = options_.start_time ? *options_.start_time : catalogue_clock(panel_);
    for (const PanelWindow& def : panel_.windows) {
        WindowState w;
        w.def = &def;
        if (!def.handlers.empty()) w.handlers = library_->window(def.handlers);
        if (w.handlers != nullptr) w.cells.resize(w.handlers->props.size());
        for (WindowState::Cell& cell : w.cells) {
            std::memset(cell.bytes, 0, sizeof cell.bytes);
        }
        windows_.push_back(std::move(w));
    }
    for (const PanelTimer& def : panel_.timers) {
        TimerState t;
        t.def = &def;
        t.window = panel_.window_index(def.window);
        if (const HandlerWindow* h = windows_[t.window].handlers) {
            t.tick = h->event(def.widget, "timer");
            if (def.enable) t.enable = h->prop(def.widget, "enable");
        }
        timers_.push_back(t);
    }
    host_.set_recorded_topics(host::kBehaviour);
    host_.on_window = [this](host::WindowCall call, const std::string& name) {
        return window_called(call, name);
    };
    host_.on_save_params = [this](const host::Host::Params& params) { return save_params(params); };
    host_.notices_answer_themselves = true;
    host_.ask_msgbox = [this](const std::string& title, const std::string& text, int style) {
        if (ask_question) {
            if (auto answer = ask_question(title, text, style)) return *answer;
        }
        note_unanswered("the question \"" + text + "\" had no answer queued; it was answered 0");
        return 0;
    };
    host_.on_refused_answer = [this](const std::string& message) { note_unanswered(message); };
    host_.ask_input = [this](const std::string& tag, const std::string& prompt, double minimum,
                             double maximum) -> std::optional<double> {
        if (ask_value) return ask_value(tag, prompt, minimum, maximum);
        note_unanswered("the input of " + tag + " had no value queued; it was cancelled");
        return std::nullopt;
    };
}

Simulator::~Simulator() = default;

int Simulator::modal_window() const {
    for (size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].modal) return static_cast<int>(i);
    }
    return -1;
}

const Simulator::WindowState::Cell* Simulator::cell_of(int window, const PropRow* row) const {
    const WindowState& w = windows_[window];
    if (w.handlers == nullptr) return nullptr;
    const std::vector<PropRow>& props = w.handlers->props;
    std::less<const PropRow*> before;
    if (before(row, props.data()) || !before(row, props.data() + props.size())) return nullptr;
    return &w.cells[static_cast<size_t>(row - props.data())];
}

const unsigned char* Simulator::prop_value(int window, const PropRow* row) const {
    const WindowState::Cell* cell = cell_of(window, row);
    return cell == nullptr ? nullptr : cell->bytes;
}

std::vector<std::string> Simulator::prop_follows(int window, const PropRow* row, bool* polled) {
    std::vector<std::string> names;
    const WindowState::Cell* cell = cell_of(window, row);
    *polled = cell != nullptr && cell->polled;
    if (cell == nullptr) return names;
    for (int32_t tag : cell->reads) {
        const std::string& name = host_.tags().all()[static_cast<size_t>(tag)].def->name;
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

void Simulator::emit(int depth, EventType type, std::vector<Field> fields) {
    Event event(type, std::move(fields));
    event.ms = now_;
    event.depth = depth;
    publish(event);
}

void Simulator::publish(const Event& event) {
    // The plots take their values at every event, whether anyone listens or not.
    for (ActivePlot& plot : session_->plots) plot.sampler.sample(now_);
    if (events_.empty()) return;
    session_->view.pass(event, [this](const Event& e) { events_.publish(e); });
}

void Simulator::report(EventType type, std::vector<Field> fields) {
    emit(0, type, std::move(fields));
}

void Simulator::note_unanswered(const std::string& what) {
    ++unanswered_;
    unanswered_notes_.push_back(what);
}

// ---- start ----

void Simulator::start() {
    std::srand(options_.seed);
    set_clock(0);
    emit(0, EventType::Start,
         {{key::clock, Value::integer(start_time_)}, {key::library, text(library_->path())}});
    power_on();
}

void Simulator::restart() {
    emit(0, EventType::Restart, {{key::clock, Value::integer(clock())}});
    queue_.clear();
    for (WindowState& w : windows_) {
        w.shown = w.modal = false;
        for (WindowState::Cell& cell : w.cells) {
            std::memset(cell.bytes, 0, sizeof cell.bytes);
            cell.reads.clear();
            cell.polled = cell.again = false;
        }
    }
    for (TimerState& t : timers_) t.running = false;
    host::Host::Params saved = host_.saved_params();
    host_.tags().reset();
    set_clock(now_);
    host_.clear_trace();
    // Without a parameter file the saved parameters were kept in memory, which a
    // restart keeps as the panel's own storage would.
    if (options_.params_path.empty()) restore_saved(saved);
    power_on();
}

void Simulator::restore_saved(const host::Host::Params& saved) {
    int64_t restored = 0;
    for (const auto& [name, bytes] : saved) {
        host::Tag* tag = host_.tags().find(name);
        if (tag == nullptr || bytes.size() != host::width(tag->def->kind)) continue;
        std::memcpy(tag->value, bytes.data(), bytes.size());
        host_.mark_written(*tag);
        ++restored;
    }
    emit(0, EventType::Param,
         {{key::operation, text("load")},
          host::outcome_field(host::ParamOutcome::Loaded),
          {key::count, Value::integer(restored)}});
}

void Simulator::power_on() {
    load_params();
    for (size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].def->start) {
            emit(0, EventType::Show, {{key::window, text(windows_[i].def->name)}});
            host_.window(host::WindowCall::Show, windows_[i].def->name.c_str());
        }
    }
    host_.clear_trace();
    refresh();
    drain();
}

void Simulator::load_params() {
    if (options_.params_path.empty()) {
        // The panel's memory starts as a copy of the parameter tags.
        host_.params_to_memory();
        host_.clear_trace();
        return;
    }
    std::vector<ParamEntry> entries;
    std::string error;
    const std::string& path = options_.params_path;
    auto loading = [&](host::ParamOutcome outcome) {
        return std::vector<Field>{
            {key::operation, text("load")}, host::outcome_field(outcome), {key::file, text(path)}};
    };
    LoadResult result = load_params_file(path, &entries, &error);
    switch (result) {
        case LoadResult::Missing:
            emit(0, EventType::Param, loading(host::ParamOutcome::Missing));
            break;
        case LoadResult::Damaged:
        case LoadResult::Unusable: {
            // Not loaded; no save replaces it (each save fails and says why).
            std::vector<Field> fields =
                loading(result == LoadResult::Damaged ? host::ParamOutcome::Damaged
                                                      : host::ParamOutcome::Unusable);
            fields.push_back({key::error, text(refusal_message(path, result, error))});
            emit(0, EventType::Param, std::move(fields));
            break;
        }
        case LoadResult::Loaded:
            apply_saved(path, entries);
            break;
    }
    host_.params_to_memory();
    host_.clear_trace();
}

void Simulator::apply_saved(const std::string& path, const std::vector<ParamEntry>& entries) {
    host::Host::Params saved;
    int64_t applied = 0;
    foreign_params_.clear();
    std::vector<std::string> foreign;
    for (const ParamEntry& e : entries) {
        host::Tag* tag = host_.tags().find(e.name);
        if (tag == nullptr || !tag->def->param || tag->def->name != e.name) {
            foreign_params_.push_back(e);
            foreign.push_back(host::quoted_excerpt(e.name) + " (" + std::string(kind_name(e.kind)) +
                              ")");
            continue;
        }
        if (tag->def->kind != e.kind) {
            std::string kind(kind_name(e.kind));
            std::string now(kind_name(tag->def->kind));
            emit(0, EventType::Warning,
                 {{key::message, text("saved parameter " + e.name + " (" + kind + ") is a " + now +
                                      " in this panel: not loaded; a save writes it as a " + now)},
                  {key::name, text(e.name)},
                  {key::kind, text(kind)}});
            continue;
        }
        std::memcpy(tag->value, e.value.data(), e.value.size());
        host_.mark_written(*tag);
        saved[e.name] = e.value;
        ++applied;
    }
    if (!foreign.empty()) {
        emit(
            0, EventType::Warning,
            {{key::message, text(std::to_string(foreign.size()) + " saved parameter(s) in " + path +
                                 " that this panel does not have, kept in the file as they are: " +
                                 joined(foreign))}});
    }
    emit(0, EventType::Param,
         {{key::operation, text("load")},
          host::outcome_field(host::ParamOutcome::Loaded),
          {key::file, text(path)},
          {key::count, Value::integer(applied)}});
    host_.set_saved_params(std::move(saved));
}

std::vector<Field> Simulator::save_params(const host::Host::Params& params) {
    if (options_.params_path.empty()) return {host::outcome_field(host::ParamOutcome::Kept)};
    if (options_.params_read_only) {
        return {host::outcome_field(host::ParamOutcome::Kept),
                {key::file, text(options_.params_path)}};
    }
    std::vector<ParamEntry> entries = foreign_params_;
    for (const auto& [name, bytes] : params) {
        const host::Tag* tag = host_.tags().find(name);
        if (tag == nullptr || bytes.size() != host::width(tag->def->kind)) continue;
        entries.push_back(ParamEntry{name, tag->def->kind, bytes});
    }
    std::sort(entries.begin(), entries.end(),
              [](const ParamEntry& a, const ParamEntry& b) { return a.name < b.name; });
    std::string error = save_params_file(options_.params_path, entries);
    if (error.empty())
        return {host::outcome_field(host::ParamOutcome::Saved),
                {key::file, text(options_.params_path)}};
    ++failed_saves_;
    return {host::outcome_field(host::ParamOutcome::Failed),
            {key::file, text(options_.params_path)},
            {key::error, text(error)}};
}

// ---- the clock ----

void Simulator::set_clock(uint64_t ms) {
    now_ = ms;
    uint32_t seconds = clock();
    struct tm tm = host::clock_fields(seconds);
    const std::pair<const char*, long long> fields[] = {
        {"system.CurDateTime", seconds}, {"system.Year", tm.tm_year + 1900},
        {"system.Month", tm.tm_mon + 1}, {"system.Day", tm.tm_mday},
        {"system.Hour", tm.tm_hour},     {"system.Minute", tm.tm_min},
        {"system.Second", tm.tm_sec},
    };
    for (const auto& [name, value] : fields) {
        host::Tag* tag = host_.tags().find(name);
        if (tag == nullptr) continue;
        unsigned char bytes[8] = {};
        host::store_number(tag->def->kind, static_cast<double>(value), bytes);
        if (std::memcmp(bytes, tag->value, host::width(tag->def->kind)) != 0) {
            std::memcpy(tag->value, bytes, host::width(tag->def->kind));
            host_.mark_written(*tag);
        }
    }
}

// ---- windows and events ----

std::string Simulator::window_called(host::WindowCall call, const std::string& name) {
    int index = panel_.window_index(name);
    if (index < 0) return {};  // not a window of the panel: the panel ignores it
    WindowState& w = windows_[index];
    bool showing = call == host::WindowCall::Show || call == host::WindowCall::ShowModal;
    std::string already;
    if (showing && w.shown) already = "shown";
    if (call == host::WindowCall::Hide && !w.shown) already = "hidden";
    switch (call) {
        case host::WindowCall::ShowModal:
            w.modal = true;
            [[fallthrough]];
        case host::WindowCall::Show:
            set_shown(w, index, true);
            break;
        case host::WindowCall::Hide:
            w.modal = false;
            set_shown(w, index, false);
            break;
        case host::WindowCall::ExitModal:
            w.modal = false;
            break;
        case host::WindowCall::Center:
            break;
    }
    return already;
}

void Simulator::set_shown(WindowState& w, int index, bool shown) {
    if (w.shown == shown) return;
    w.shown = shown;
    for (TimerState& t : timers_) {
        if (t.window != index) continue;
        t.running = shown;
        t.due = now_ + t.def->period_ms;
    }
    if (w.handlers == nullptr) return;
    if (const EventRow* row = w.handlers->event("window", shown ? "open" : "close")) {
        queue_.push_back(Queued{index, row, shown ? EventType::Open : EventType::Close});
    }
}

void Simulator::call(const Queued& event) {
    const WindowState& w = windows_[event.window];
    const EventRow& row = *event.row;
    std::vector<Field> fields{{key::window, text(w.def->name)},
                              {key::widget, text(row.widget)},
                              {key::key, text(row.key)}};
    const std::string* label = panel_.labels.label(w.handlers->name, row.widget);
    if (label != nullptr && event.type == EventType::Click)
        fields.push_back({key::label, text(*label)});
    emit(0, event.type, std::move(fields));
    if (event.type == EventType::Click) raise_touch(true);
    size_t unanswered_before = unanswered_notes_.size();
    if (on_handler) on_handler(event.window, row);
    row.func();
    host_.release_texts();
    report_calls();
    for (size_t i = unanswered_before; i < unanswered_notes_.size(); ++i) {
        emit(1, EventType::Error, {{key::message, text(unanswered_notes_[i])}});
    }
    refresh();
}

void Simulator::drain() {
    // Windows whose open handlers show each other in a ring would keep the panel busy
    // for ever; the simulator stops such a chain and says so.
    constexpr int kMostInAChain = 10000;
    for (int n = 0; !queue_.empty(); ++n) {
        if (n == kMostInAChain) {
            emit(0, EventType::Error,
                 {{key::message,
                   text(std::to_string(kMostInAChain) +
                        " events caused one another without end: the " +
                        std::to_string(queue_.size()) + " still queued are dropped")}});
            queue_.clear();
            return;
        }
        Queued next = queue_.front();
        queue_.pop_front();
        call(next);
    }
}

void Simulator::forward(const Event& call) {
    Event event = call;
    event.ms = now_;
    event.depth = 1;
    if (event.type == EventType::Window) {
        bool in_panel = panel_.window_index(event.text(key::window)) >= 0;
        if (!in_panel) event.fields.push_back({key::in_panel, Value::boolean(false)});
    }
    publish(event);
}

void Simulator::report_calls() {
    // Reads, polls and formatting are the handlers' inner work: the host records none.
    if (!events_.empty()) {
        for (const Event& call : host_.events()) forward(call);
    }
    host_.clear_trace();
}

// ---- refresh ----

bool Simulator::poll(int window, size_t index, bool report_change) {
    WindowState& w = windows_[window];
    const PropRow& row = w.handlers->props[index];
    WindowState::Cell& cell = w.cells[index];
    unsigned char* value = cell.bytes;
    size_t width = prop_width(row.kind);
    std::memset(value + width, kGuard, sizeof cell.bytes - width);
    cell.reads.clear();
    host_.read_log = &cell.reads;
    unsigned long draws = g_random_draws;
    int changed = row.func(value);
    host_.read_log = nullptr;
    cell.polled = true;
    cell.polled_at = host_.writes();
    cell.again = changed != 0 || cell.reads.empty() || g_random_draws != draws;
    if (host_.held_texts() != 0) host_.release_texts();
    if (on_poll) on_poll(window, row, value);
    for (size_t i = width; i < sizeof w.cells[index].bytes; ++i) {
        if (value[i] != kGuard) {
            emit(
                1, EventType::Error,
                {{key::message, text("prop " + w.def->name + " " + row.widget + " " + row.property +
                                     " wrote past its " + std::to_string(width) + "-byte value")},
                 {key::window, text(w.def->name)},
                 {key::widget, text(row.widget)},
                 {key::property, text(row.property)},
                 {key::width, Value::integer(static_cast<int64_t>(width))}});
            break;
        }
    }
    if (changed != 0 && report_change && !events_.empty()) {
        emit(1, EventType::Prop, prop_fields(w.def->name, row, value));
    }
    return changed != 0;
}

bool Simulator::stale(const WindowState::Cell& cell) const {
    if (!cell.polled || cell.again || options_.full_refresh) return true;
    for (int32_t tag : cell.reads) {
        if (host_.last_write(static_cast<size_t>(tag)) > cell.polled_at) return true;
    }
    return false;
}

void Simulator::refresh() {
    for (size_t i = 0; i < windows_.size(); ++i) {
        WindowState& w = windows_[i];
        if (!w.shown || w.handlers == nullptr) continue;
        for (size_t p = 0; p < w.handlers->props.size(); ++p) {
            if (stale(w.cells[p])) poll(static_cast<int>(i), p, true);
        }
    }
    report_calls();  // a property function that wrote or called anything shows here
}

// ---- acting on the panel ----

void Simulator::set_tag(host::Tag& tag, const unsigned char* value) {
    std::memcpy(tag.value, value, host::width(tag.def->kind));
    host_.mark_written(tag);
    emit(0, EventType::Set, tag_fields(tag));
    refresh();
    drain();
}

void Simulator::show(int window) {
    const std::string& name = windows_[window].def->name;
    emit(0, EventType::Show, {{key::window, text(name)}});
    host_.window(host::WindowCall::Show, name.c_str());
    host_.clear_trace();
    refresh();
    drain();
}

void Simulator::hide(int window) {
    const std::string& name = windows_[window].def->name;
    emit(0, EventType::Hide, {{key::window, text(name)}});
    host_.window(host::WindowCall::Hide, name.c_str());
    host_.clear_trace();
    refresh();
    drain();
}

std::vector<Field> prop_fields(const std::string& window, const PropRow& row,
                               const unsigned char* value) {
    return {{key::window, text(window)},
            {key::widget, text(row.widget)},
            {key::property, text(row.property)},
            {key::kind, text(prop_kind_name(row.kind))},
            {key::value, typed_prop(row.kind, value)}};
}

std::vector<Field> tag_fields(const host::Tag& tag) {
    return {{key::tag, text(tag.def->name)},
            {key::kind, text(std::string(kind_name(tag.def->kind)))},
            {key::value, host::typed_value(tag.def->kind, tag.value)}};
}

void Simulator::raise_touch(bool by_click) {
    // The host raises the touch flag whenever the panel is touched.
    host::Tag* touched = host_.tags().find("system.IsMouseDown");
    if (touched == nullptr) return;
    *touched->value = 1;
    host_.mark_written(*touched);
    std::vector<Field> fields = tag_fields(*touched);
    if (by_click) fields.push_back({key::touch, Value::boolean(true)});
    emit(1, EventType::Set, std::move(fields));
}

void Simulator::touch() {
    emit(0, EventType::Touch, {});
    raise_touch(false);
    refresh();
    drain();
}

void Simulator::click(int window, const EventRow& row) {
    queue_.push_back(Queued{window, &row, EventType::Click});
    drain();
}

void Simulator::fire(int window, const EventRow& row, unsigned times) {
    for (unsigned i = 0; i < times; ++i) {
        queue_.push_back(Queued{window, &row, EventType::Timer});
        drain();
    }
}

void Simulator::tick(TimerState& timer) {
    WindowState& w = windows_[timer.window];
    if (timer.enable != nullptr) {
        size_t index = static_cast<size_t>(timer.enable - w.handlers->props.data());
        if (stale(w.cells[index])) {
            poll(timer.window, index, true);
            report_calls();
        }
        if (w.cells[index].bytes[0] != 1) return;
    }
    queue_.push_back(Queued{timer.window, timer.tick, EventType::Timer});
    drain();
}

void Simulator::set_clock_time(uint32_t seconds) {
    start_time_ = seconds - static_cast<uint32_t>(now_ / 1000);
    set_clock(now_);
    emit(0, EventType::Clock, {{key::clock, Value::integer(seconds)}});
    refresh();
    drain();
}

namespace {
struct StopWords {
    const char* name;  // the warning's "stopped"
    const char* text;  // after "run stopped at T"; a break's own condition instead
};
// In the order of Stop.
constexpr StopWords kStopWords[] = {
    {"max", "at its end"},
    {"met", "as its condition held"},
    {"break", ""},
    {"interrupt", "by Ctrl-C"},
    {"quit", "as the person quit at a dialog"},
    {"clock end", "at the end of the panel's clock"},
    {"unanswered", "as a dialog had no answer"},
};
static_assert(std::size(kStopWords) == static_cast<size_t>(Stop::Unanswered) + 1);
}  // namespace

const char* stop_name(Stop why) {
    return kStopWords[static_cast<size_t>(why)].name;
}

std::string stop_text(const RunEnd& end) {
    return end.why == Stop::Break ? end.detail : kStopWords[static_cast<size_t>(end.why)].text;
}

bool Simulator::run(uint64_t ms) {
    return run_until(ms, nullptr).why == Stop::MaxReached;
}

RunEnd Simulator::run_until(uint64_t ms, const std::function<bool()>& met) {
    session_->arm_breaks(*this);
    // The last moment the panel's clock holds, in the simulator's milliseconds.
    uint64_t last = now_ + (uint64_t{UINT32_MAX} - clock()) * 1000 + (999 - now_ % 1000);
    bool within = ms <= last - now_;
    uint64_t end = within ? now_ + ms : last;
    for (;;) {
        TimerState* next = nullptr;
        for (TimerState& t : timers_) {
            if (!t.running || t.tick == nullptr || t.due > end) continue;
            if (next == nullptr || t.due < next->due) next = &t;
        }
        if (next == nullptr) break;
        set_clock(next->due);
        next->due += next->def->period_ms;  // a handler that hides and shows restarts it
        size_t unanswered = unanswered_;
        tick(*next);
        std::string at_break = session_->check_breaks(*this);
        if (!at_break.empty()) return {Stop::Break, at_break};
        if (met && met()) return {Stop::Met, {}};
        if (unanswered_ != unanswered) return {Stop::Unanswered, {}};
        if (session_->quitting) return {Stop::Quit, {}};
        if (interrupt && interrupt()) return {Stop::Interrupted, {}};
    }
    set_clock(end);
    if (!within) {
        emit(0, EventType::Error,
             {{key::message, text("the panel's clock ends at 2106-02-07 06:28:15: the run stopped "
                                  "there")}});
        return {Stop::ClockEnd, {}};
    }
    return {};
}

}  // namespace hmi::sim
