#include "sim/engine/simulator.hpp"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host/gbk.hpp"
#include "sim/engine/params_file.hpp"

namespace hmi::sim {

extern unsigned long g_random_draws;  // random.cpp

namespace {
constexpr unsigned char kGuard = 0xA5;

std::string format_clock(uint32_t seconds) {
    time_t t = seconds;
    struct tm tm {};
    localtime_r(&t, &tm);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
    return when;
}

uint32_t catalogue_clock(const Panel& panel) {
    for (const host::TagDef& def : panel.catalogue.tags) {
        if (def.name == "system.CurDateTime") return static_cast<uint32_t>(std::stoul(def.initial));
    }
    return 0;
}
}  // namespace

Simulator::Simulator(const Panel& panel, std::shared_ptr<const Library> library, Options options,
                     Sink sink)
    : panel_(panel),
      library_(std::move(library)),
      options_(std::move(options)),
      sink_(std::move(sink)),
      host_(panel.catalogue) {
    start_time_ = options_.start_time != 0 ? options_.start_time : catalogue_clock(panel_);
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
        window_called(call, name);
    };
    host_.on_save_params = [this](const host::Host::Params& params) { save_params(params); };
    host_.ask_msgbox = [this](const std::string& title, const std::string& text, int style) {
        if (style == 0) return 1;  // a notice has only its OK
        if (!msgbox_answers_.empty()) {
            int answer = msgbox_answers_.front();
            msgbox_answers_.pop_front();
            return answer;
        }
        if (ask_question) {
            if (auto answer = ask_question(title, text, style)) return *answer;
        }
        note_unanswered("the question \"" + text + "\" had no answer queued; it was answered 0");
        return 0;
    };
    host_.ask_input = [this](const std::string& tag, const std::string& prompt, double minimum,
                             double maximum) -> std::optional<double> {
        if (!input_answers_.empty()) {
            std::optional<double> answer = input_answers_.front();
            input_answers_.pop_front();
            return answer;
        }
        if (ask_value) return ask_value(tag, prompt, minimum, maximum);
        note_unanswered("the input of " + tag + " had no value queued; it was cancelled");
        return std::nullopt;
    };
    host::install(&host_);
}

Simulator::~Simulator() {
    if (host::installed() == &host_) host::install(nullptr);
}

int Simulator::modal_window() const {
    for (size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].modal) return static_cast<int>(i);
    }
    return -1;
}

const unsigned char* Simulator::prop_value(int window, const PropRow* row) const {
    const WindowState& w = windows_[window];
    if (w.handlers == nullptr) return nullptr;
    for (size_t i = 0; i < w.handlers->props.size(); ++i) {
        if (&w.handlers->props[i] == row) return w.cells[i].bytes;
    }
    return nullptr;
}

void Simulator::clear_answers() {
    msgbox_answers_.clear();
    input_answers_.clear();
}

void Simulator::emit(int depth, EntryType type, std::string text,
                     std::vector<std::pair<std::string, std::string>> fields) {
    if (!sink_) return;
    Entry entry{now_, depth, type, std::move(text), std::move(fields)};
    sink_(entry);
}

void Simulator::report(EntryType type, std::string text,
                       std::vector<std::pair<std::string, std::string>> fields) {
    emit(0, type, std::move(text), std::move(fields));
}

void Simulator::note_unanswered(const std::string& what) {
    ++unanswered_;
    unanswered_notes_.push_back(what);
}

// ---- start ----

void Simulator::start() {
    host::install(&host_);
    std::srand(options_.seed);
    set_clock(0);
    emit(0, EntryType::Start, "panel starts, clock " + format_clock(start_time_),
         {{"clock", std::to_string(start_time_)}, {"library", library_->path()}});
    load_params();
    for (size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i].def->start) {
            emit(0, EntryType::Action, "show " + windows_[i].def->name,
                 {{"call", "show"}, {"window", windows_[i].def->name}});
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
    LoadResult result = load_params_file(path, &entries, &error);
    switch (result) {
        case LoadResult::Missing:
            emit(0, EntryType::Param, "no saved parameters yet in " + path, {{"file", path}});
            break;
        case LoadResult::Damaged:
        case LoadResult::Unusable:
            // Not loaded; no save replaces it (each save fails and says why).
            emit(0, EntryType::Error, refusal_message(path, result, error),
                 {{"file", path}, {"reason", error}});
            break;
        case LoadResult::Loaded: {
            host::Host::Params saved;
            size_t applied = 0;
            for (const ParamEntry& e : entries) {
                host::Tag* tag = host_.tags().find(e.name);
                if (tag == nullptr || !tag->def->param || tag->def->kind != e.kind) {
                    emit(0, EntryType::Warning,
                         "saved parameter " + e.name + " (" + std::string(kind_name(e.kind)) +
                             ") is not a parameter of this panel: ignored");
                    continue;
                }
                std::memcpy(tag->value, e.value.data(), e.value.size());
                host_.mark_written(*tag);
                saved[e.name] = e.value;
                ++applied;
            }
            host_.set_saved_params(std::move(saved));
            emit(0, EntryType::Param,
                 "loaded " + std::to_string(applied) + " saved parameters from " + path,
                 {{"file", path}, {"count", std::to_string(applied)}});
            break;
        }
    }
    host_.params_to_memory();
    host_.clear_trace();
}

void Simulator::save_params(const host::Host::Params& params) {
    if (options_.params_path.empty()) {
        save_outcomes_.push_back(" (kept in memory)");
        return;
    }
    std::vector<ParamEntry> entries;
    for (const auto& [name, bytes] : params) {
        const host::Tag* tag = host_.tags().find(name);
        if (tag == nullptr || bytes.size() != host::width(tag->def->kind)) continue;
        entries.push_back(ParamEntry{name, tag->def->kind, bytes});
    }
    std::string error = save_params_file(options_.params_path, entries);
    save_outcomes_.push_back(error.empty() ? " -> " + options_.params_path : " FAILED: " + error);
}

// ---- the clock ----

void Simulator::set_clock(uint64_t ms) {
    now_ = ms;
    uint32_t seconds = clock();
    time_t t = seconds;
    struct tm tm {};
    localtime_r(&t, &tm);
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

void Simulator::window_called(host::WindowCall call, const std::string& name) {
    int index = panel_.window_index(name);
    if (index < 0) return;  // not a window of the panel: the panel ignores it
    WindowState& w = windows_[index];
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
        queue_.push_back(Queued{index, row, shown ? "open" : "close"});
    }
}

void Simulator::call(const Queued& event) {
    const WindowState& w = windows_[event.window];
    const EventRow& row = *event.row;
    std::string text = std::string(event.verb) + " " + w.def->name;
    if (row.widget != "window") text += " " + row.widget;
    emit(
        0, EntryType::Event, text,
        {{"event", event.verb}, {"window", w.def->name}, {"widget", row.widget}, {"key", row.key}});
    if (std::strcmp(event.verb, "click") == 0) {
        // The host raises the touch flag whenever the panel is touched.
        if (host::Tag* touched = host_.tags().find("system.IsMouseDown")) {
            *touched->value = 1;
            host_.mark_written(*touched);
            emit(1, EntryType::Action, "set system.IsMouseDown = 1 (touch)",
                 {{"tag", "system.IsMouseDown"}, {"value", "1"}});
        }
    }
    size_t unanswered_before = unanswered_notes_.size();
    row.func();
    host_.release_texts();
    report_calls();
    for (size_t i = unanswered_before; i < unanswered_notes_.size(); ++i) {
        emit(1, EntryType::Error, unanswered_notes_[i]);
    }
    refresh();
}

void Simulator::drain() {
    // Windows whose open handlers show each other in a ring would keep the panel busy
    // for ever; the simulator stops such a chain and says so.
    constexpr int kMostInAChain = 10000;
    for (int n = 0; !queue_.empty(); ++n) {
        if (n == kMostInAChain) {
            emit(0, EntryType::Error,
                 std::to_string(kMostInAChain) + " events caused one another without end: the " +
                     std::to_string(queue_.size()) + " still queued are dropped");
            queue_.clear();
            return;
        }
        Queued next = queue_.front();
        queue_.pop_front();
        call(next);
    }
}

void Simulator::report_calls() {
    if (!sink_) {
        save_outcomes_.clear();
        host_.clear_trace();
        return;
    }
    for (const host::Call& c : host_.calls()) {
        switch (c.topic) {
            case host::Topic::Write: {
                std::string text = host::gbk_to_utf8(c.text);
                size_t eq = text.find(" = ");
                std::string tag = eq == std::string::npos ? "" : text.substr(4, eq - 4);
                std::string value = eq == std::string::npos ? "" : text.substr(eq + 3);
                emit(1, EntryType::Write, text, {{"tag", tag}, {"value", value}});
                break;
            }
            case host::Topic::Window: {
                size_t space = c.text.find(' ');
                std::string window = c.text.substr(space + 1);
                std::string text = c.text;
                if (panel_.window_index(window) < 0) text += " (no such window in the panel)";
                emit(1, EntryType::Window, text,
                     {{"call", c.text.substr(0, space)}, {"window", window}});
                break;
            }
            case host::Topic::Dialog:
                emit(1, EntryType::Dialog, c.text);
                break;
            case host::Topic::Param: {
                std::string text = c.text;
                if (text == "param save" && !save_outcomes_.empty()) {
                    text += save_outcomes_.front();
                    save_outcomes_.pop_front();
                }
                emit(1,
                     text.find("FAILED") != std::string::npos ? EntryType::Error : EntryType::Param,
                     text);
                break;
            }
            default:
                break;  // reads, polls and formatting are the handlers' inner work
        }
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
    for (size_t i = width; i < sizeof w.cells[index].bytes; ++i) {
        if (value[i] != kGuard) {
            emit(1, EntryType::Error,
                 "prop " + w.def->name + " " + row.widget + " " + row.property +
                     " wrote past its " + std::to_string(width) + "-byte value");
            break;
        }
    }
    if (changed != 0 && report_change && sink_) {
        std::string shown = format_prop(row.kind, value);
        emit(1, EntryType::Prop,
             "prop " + w.def->name + " " + row.widget + " " + row.property + " = " + shown,
             {{"window", w.def->name},
              {"widget", row.widget},
              {"property", row.property},
              {"value", shown}});
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
    host::install(&host_);
    std::memcpy(tag.value, value, host::width(tag.def->kind));
    host_.mark_written(tag);
    std::string shown = host::gbk_to_utf8(host::format_value(tag.def->kind, tag.value));
    emit(0, EntryType::Action, "set " + tag.def->name + " = " + shown,
         {{"tag", tag.def->name}, {"value", shown}});
    refresh();
    drain();
}

void Simulator::show(int window) {
    host::install(&host_);
    const std::string& name = windows_[window].def->name;
    emit(0, EntryType::Action, "show " + name, {{"call", "show"}, {"window", name}});
    host_.window(host::WindowCall::Show, name.c_str());
    host_.clear_trace();
    refresh();
    drain();
}

void Simulator::hide(int window) {
    host::install(&host_);
    const std::string& name = windows_[window].def->name;
    emit(0, EntryType::Action, "hide " + name, {{"call", "hide"}, {"window", name}});
    host_.window(host::WindowCall::Hide, name.c_str());
    host_.clear_trace();
    refresh();
    drain();
}

void Simulator::touch() {
    host::install(&host_);
    host::Tag* touched = host_.tags().find("system.IsMouseDown");
    emit(0, EntryType::Action, "touch", {{"call", "touch"}});
    if (touched != nullptr) {
        *touched->value = 1;
        host_.mark_written(*touched);
        emit(1, EntryType::Action, "set system.IsMouseDown = 1",
             {{"tag", "system.IsMouseDown"}, {"value", "1"}});
    }
    refresh();
    drain();
}

void Simulator::click(int window, const EventRow& row) {
    host::install(&host_);
    queue_.push_back(Queued{window, &row, "click"});
    drain();
}

void Simulator::fire(int window, const EventRow& row, unsigned times) {
    host::install(&host_);
    for (unsigned i = 0; i < times; ++i) {
        queue_.push_back(Queued{window, &row, "timer"});
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
    queue_.push_back(Queued{timer.window, timer.tick, "timer"});
    drain();
}

void Simulator::set_clock_time(uint32_t seconds) {
    host::install(&host_);
    start_time_ = seconds - static_cast<uint32_t>(now_ / 1000);
    set_clock(now_);
    emit(0, EntryType::Action, "clock " + format_clock(seconds),
         {{"call", "clock"}, {"clock", std::to_string(seconds)}});
    refresh();
    drain();
}

void Simulator::run(uint64_t ms) {
    host::install(&host_);
    uint64_t end = now_ + ms;
    for (;;) {
        TimerState* next = nullptr;
        for (TimerState& t : timers_) {
            if (!t.running || t.tick == nullptr || t.due > end) continue;
            if (next == nullptr || t.due < next->due) next = &t;
        }
        if (next == nullptr) break;
        set_clock(next->due);
        next->due += next->def->period_ms;  // a handler that hides and shows restarts it
        tick(*next);
    }
    set_clock(end);
}

}  // namespace hmi::sim
