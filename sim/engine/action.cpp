#include "sim/engine/action.hpp"

#include <algorithm>
#include <charconv>

#include "host/answers.hpp"
#include "host/gbk.hpp"
#include "host/lines.hpp"
#include "sim/engine/probe.hpp"
#include "sim/engine/scenario.hpp"
#include "sim/engine/session.hpp"
#include "sim/engine/words.hpp"

namespace hmi::sim {

namespace {
using host::quoted_excerpt;

// Edits (insert, delete, replace, swap of neighbours) from one name to the other, or
// more than `most` when it is further.
size_t distance(std::string_view a, std::string_view b, size_t most) {
    if (a.size() > b.size() + most || b.size() > a.size() + most) return most + 1;
    std::vector<size_t> before(b.size() + 1), row(b.size() + 1), two(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        two.swap(before);
        before.swap(row);
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({before[j] + 1, row[j - 1] + 1, before[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                row[j] = std::min(row[j], two[j - 2] + 1);
            }
        }
    }
    return row[b.size()];
}
}  // namespace

std::vector<std::string> nearest_names(const std::string& name,
                                       const std::vector<std::string>& names) {
    // A slip of one edit in a short name, of two in a longer one.
    size_t most = name.size() <= 4 ? 1 : 2;
    std::vector<std::pair<size_t, std::string>> near;
    for (const std::string& n : names) {
        size_t d = distance(name, n, most);
        if (d <= most && n != name) near.emplace_back(d, n);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (const auto& [d, n] : near) {
        if (out.size() == 3) break;
        if (std::find(out.begin(), out.end(), n) == out.end()) out.push_back(n);
    }
    return out;
}

std::string did_you_mean(const std::string& name, const std::vector<std::string>& names) {
    std::vector<std::string> near = nearest_names(name, names);
    if (near.empty()) return {};
    std::string out = "; did you mean ";
    for (size_t i = 0; i < near.size(); ++i) {
        if (i > 0) out += i + 1 == near.size() ? " or " : ", ";
        out += quoted_excerpt(near[i]);
    }
    return out + "?";
}

const char* command_name(const Action& action) {
    return std::visit([](const auto& a) { return std::decay_t<decltype(a)>::kCommand; }, action);
}

std::optional<Action> make_set(Simulator& sim, const std::string& name, const std::string& value,
                               std::string* error) {
    host::Tag* tag = sim.host().tags().find(name);
    if (tag == nullptr) {
        std::vector<std::string> names;
        for (const host::Tag& t : sim.host().tags().all()) names.push_back(t.def->name);
        *error = "unknown tag " + quoted_excerpt(name) + did_you_mean(name, names);
        return std::nullopt;
    }
    SetTag set{static_cast<size_t>(tag - sim.host().tags().all().data()), tag->def->name,
               std::vector<unsigned char>(host::width(tag->def->kind), 0), value};
    std::string input = value;
    if (tag->def->kind == host::Kind::Text) {
        input = host::utf8_to_gbk(value);
        if (input.empty() && !value.empty()) {
            *error = name + ": the text has a character the panel lacks";
            return std::nullopt;
        }
        set.written = "\"" + value + "\"";
    }
    std::string e = host::parse_value(tag->def->kind, input, set.value.data());
    if (!e.empty()) {
        *error = name + " (" + std::string(host::kind_name(tag->def->kind)) + "): " + e;
        return std::nullopt;
    }
    return set;
}

std::optional<Action> make_show(Simulator& sim, const std::string& window, bool show,
                                std::string* error) {
    std::optional<WindowRef> w = window_ref(sim.panel(), window, error);
    if (!w) return std::nullopt;
    if (show) return ShowWindow{*w};
    return HideWindow{*w};
}

std::optional<WindowRef> window_ref(const Panel& panel, const std::string& name,
                                    std::string* error) {
    int index = find_window(panel, name, error);
    if (index < 0) return std::nullopt;
    return WindowRef{index, name};
}

int find_window(const Panel& panel, const std::string& name, std::string* error) {
    int index = panel.window_index(name);
    if (index >= 0) return index;
    std::vector<std::string> names;
    for (const PanelWindow& w : panel.windows) names.push_back(w.name);
    *error = "unknown window " + quoted_excerpt(name) + did_you_mean(name, names);
    return -1;
}

const HandlerWindow* window_handlers(Simulator& sim, int index, std::string* error) {
    const PanelWindow& w = sim.panel().windows[index];
    if (const HandlerWindow* h = sim.handlers(index)) return h;
    if (!w.handlers.empty()) {
        *error = "the library has no handlers for window " + w.name + " (yet)";
        return nullptr;
    }
    *error = "window " + w.name + " has no handlers of its own";
    for (const PanelWindow& other : sim.panel().windows) {
        if (other.handlers == w.name) {
            *error += " (the keys of \"" + w.name + "\" belong to " + other.name + ")";
        }
    }
    return nullptr;
}

namespace {
// "WINDOW WIDGET" for a scenario line: the widget by its label where no other widget of
// the window has that label, as label or as name.
std::string target_written(const Simulator& sim, int window, const HandlerWindow& h,
                           const std::string& widget) {
    std::string out = scenario_word(sim.panel().windows[window].name) + " ";
    const std::string* label = sim.panel().labels.label(h.name, widget);
    bool by_label = label != nullptr && !label->empty() && label->find('"') == std::string::npos &&
                    std::none_of(label->begin(), label->end(),
                                 [](unsigned char c) { return c < ' ' || c == 0x7F; }) &&
                    sim.panel().labels.widgets_labelled(h.name, *label).size() == 1 &&
                    (*label == widget || !h.has_widget(*label));
    return out + (by_label ? scenario_word(*label) : widget);
}
}  // namespace

std::optional<Target> find_target(Simulator& sim, int window, const std::string& widget_word,
                                  const char* event, std::string* error) {
    const HandlerWindow* h = window_handlers(sim, window, error);
    if (h == nullptr) return std::nullopt;
    const std::string& name = sim.panel().windows[window].name;
    std::optional<std::string> found =
        find_widget(*h, sim.panel().labels, widget_word, name, error);
    if (!found) return std::nullopt;
    const std::string& widget = *found;
    Target t{window, h->event(widget, event), target_written(sim, window, *h, widget)};
    if (t.event != nullptr) return t;
    std::vector<std::string> names;
    for (const EventRow& r : h->events) {
        if (r.widget == widget) names.push_back(r.event);
    }
    *error = name + " " + widget + " has no " + event +
             " handler (its events: " + (names.empty() ? "none" : joined(names)) + ")";
    return std::nullopt;
}

std::optional<Action> make_click(Simulator& sim, const std::string& window,
                                 const std::string& widget, std::string* error) {
    int index = find_window(sim.panel(), window, error);
    if (index < 0) return std::nullopt;
    std::optional<Target> t = find_target(sim, index, widget, "click", error);
    if (!t) return std::nullopt;
    return Click{*t};
}

std::optional<Action> make_clock(const std::string& text, std::string* error) {
    uint32_t seconds = 0;
    if (!parse_clock(text, &seconds)) {
        *error = quoted_excerpt(text) +
                 " is not a time YYYY-MM-DD HH:MM:SS from 1970-01-01 00:00:00 to "
                 "2106-02-07 06:28:15";
        return std::nullopt;
    }
    return SetClock{seconds};
}

std::string scenario_word(const std::string& text) {
    bool plain =
        !text.empty() && text.front() != '"' && text.find_first_of(" \t#") == std::string::npos;
    return plain ? text : "\"" + text + "\"";
}

namespace {
std::string patterns_line(const char* command, const std::vector<std::string>& patterns) {
    std::string out = command;
    for (const std::string& p : patterns) out += " " + p;
    return out;
}

std::string windows_line(const std::string& start, const std::vector<WindowRef>& windows) {
    std::string out = start;
    for (const WindowRef& w : windows) out += " " + w.name;
    return out;
}

struct Writer {
    std::string operator()(const SetTag& a) const { return "set " + a.name + " " + a.written; }
    std::string operator()(const ShowWindow& a) const { return "show " + a.window.name; }
    std::string operator()(const HideWindow& a) const { return "hide " + a.window.name; }
    std::string operator()(const Touch&) const { return "touch"; }
    std::string operator()(const Click& a) const { return "click " + a.target.written; }
    std::string operator()(const Fire& a) const {
        return "fire " + a.target.written + (a.times == 1 ? "" : " " + std::to_string(a.times));
    }
    std::string operator()(const Run& a) const { return "run " + duration_text(a.ms); }
    std::string operator()(const RunUntil& a) const {
        std::string out = "run until " + a.condition.text;
        if (a.max_ms != kRunUntilDefaultMs) out += " max " + duration_text(a.max_ms);
        return out;
    }
    std::string operator()(const SetClock& a) const {
        return "clock " + host::clock_text(a.seconds);
    }
    std::string operator()(const AnswerMsgbox& a) const {
        std::string out = "answer msgbox";
        for (int n : a.answers) out += " " + host::msgbox_answer_line_word(n);
        return out;
    }
    std::string operator()(const AnswerInput& a) const {
        std::string out = "answer input";
        for (const auto& v : a.values)
            out += " " + (v ? host::input_value_text(*v) : host::kCancelWord);
        return out;
    }
    std::string operator()(const Expect& a) const { return "expect " + a.condition.text; }
    std::string operator()(const ExpectWindows& a) const {
        return windows_line(a.shown ? "expect shown" : "expect hidden", a.windows);
    }
    std::string operator()(const Print& a) const { return patterns_line("print", a.patterns); }
    std::string operator()(const Say& a) const {
        return "say " + (a.text.find('#') == std::string::npos ? a.text : "\"" + a.text + "\"");
    }
    std::string operator()(const ListWindows&) const { return "windows"; }
    std::string operator()(const ListWidgets& a) const { return "widgets " + a.window.name; }
    std::string operator()(const ListProps& a) const { return "props " + a.window.name; }
    std::string operator()(const ListTags& a) const { return patterns_line("tags", a.patterns); }
    std::string operator()(const Watch& a) const { return patterns_line("watch", a.patterns); }
    std::string operator()(const Unwatch& a) const { return patterns_line("unwatch", a.patterns); }
    std::string operator()(const SetTrace& a) const {
        return std::string("trace ") + level_name(a.level);
    }
    std::string operator()(const AddBreak& a) const { return "break " + a.condition.text; }
    std::string operator()(const ListBreaks&) const { return "break"; }
    std::string operator()(const ClearBreaks&) const { return "break clear"; }
    std::string operator()(const Restart&) const { return "restart"; }
    std::string operator()(const Record& a) const {
        // A file named stop is written in quotes: the bare word ends a recording.
        return "record " + (a.path == "stop" ? "\"stop\"" : scenario_word(a.path)) +
               (a.replace ? " --replace" : "");
    }
    std::string operator()(const RecordStop&) const { return "record stop"; }
    std::string operator()(const Load& a) const { return "load " + scenario_word(a.path); }
    std::string operator()(const Plot& a) const {
        std::string tags;
        if (a.spec.xy) {
            tags = "x=" + a.spec.tags.at(0) + ",y=" + a.spec.tags.at(1);
        } else {
            for (const std::string& t : a.spec.tags) tags += (tags.empty() ? "" : ",") + t;
        }
        return "plot " + tags + " " + (a.path == "stop" ? "\"stop\"" : scenario_word(a.path));
    }
    std::string operator()(const PlotStop&) const { return "plot stop"; }
    std::string operator()(const Help& a) const {
        return a.topic.empty() ? "help" : "help " + a.topic;
    }
    std::string operator()(const Quit&) const { return "quit"; }
};
}  // namespace

std::string scenario_line(const Action& action) {
    return std::visit(Writer{}, action);
}

}  // namespace hmi::sim
