// The scenario commands, one row each: name, usage, help, how a line of it is parsed
// and checked against the panel, how it runs, and what Tab completes after it.
#include <fnmatch.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "host/answers.hpp"
#include "host/gbk.hpp"
#include "host/loader.hpp"
#include "sim/engine/loads.hpp"
#include "sim/engine/probe.hpp"
#include "sim/engine/scenario.hpp"
#include "sim/engine/session.hpp"
#include "sim/engine/words.hpp"

namespace hmi::sim {

namespace {
bool matches(const std::string& pattern, const std::string& name) {
    return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}
}  // namespace

// Reads the words of one line against the panel and the library; each check that fails
// leaves its message.
struct Parser {
    Simulator& sim;
    const CommandRow& row;
    std::vector<std::string> args;
    std::string* error;

    std::nullopt_t fail(std::string message) {
        *error = std::move(message);
        return std::nullopt;
    }
    std::nullopt_t usage() { return fail(std::string("expected: ") + row.usage); }
    bool count_ok(size_t least, size_t most) {
        if (args.size() >= least && args.size() <= most) return true;
        usage();
        return false;
    }

    bool window(const std::string& name, int* index) {
        *index = find_window(sim.panel(), name, error);
        return *index >= 0;
    }

    // A handler key "window_widget_name".
    std::optional<Target> key_target(const std::string& key, const char* name) {
        std::optional<host::Key> k = host::split_key(key);
        if (!k) {
            std::vector<std::string> names;
            for (const PanelWindow& w : sim.panel().windows) names.push_back(w.name);
            return fail("unknown window " + host::quoted_excerpt(key) +
                        ", nor is it a handler key" + did_you_mean(key, names));
        }
        if (k->name != name) {
            return fail(host::quoted_excerpt(key) + " is not a " + name + " handler");
        }
        for (size_t i = 0; i < sim.panel().windows.size(); ++i) {
            if (sim.panel().windows[i].handlers == k->window) {
                return find_target(sim, static_cast<int>(i), k->widget, name, error);
            }
        }
        return fail("no window of the panel has the handlers of " +
                    host::quoted_excerpt(k->window));
    }

    // WINDOW WIDGET or KEY at args[1]; *used is how many words it took.
    std::optional<Target> target(const char* name, size_t* used) {
        if (args.size() < 2) return usage();
        const std::string& first = args[1];
        if (sim.panel().window_index(first) < 0) {
            *used = 1;
            return key_target(first, name);
        }
        *used = 2;
        if (args.size() < 3) return usage();
        return find_target(sim, sim.panel().window_index(first), args[2], name, error);
    }

    bool tag(const std::string& name, host::Tag** out) {
        *out = sim.host().tags().find(name);
        if (*out != nullptr) return true;
        std::vector<std::string> names;
        for (const host::Tag& t : sim.host().tags().all()) names.push_back(t.def->name);
        fail("unknown tag " + host::quoted_excerpt(name) + did_you_mean(name, names));
        return false;
    }

    bool count(const std::string& text, uint64_t most, uint64_t* out) {
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
        if (ec != std::errc() || end != text.data() + text.size() || *out == 0 || *out > most) {
            fail(host::quoted_excerpt(text) + " is not a count from 1 to " + std::to_string(most));
            return false;
        }
        return true;
    }

    bool windows_from(size_t at, std::vector<WindowRef>* windows) {
        for (size_t i = at; i < args.size(); ++i) {
            std::optional<WindowRef> w = window_ref(sim.panel(), args[i], error);
            if (!w) return false;
            windows->push_back(*w);
        }
        return true;
    }

    // "TAG=VALUE", "TAG= VALUE", "TAG =VALUE" as "TAG = VALUE"; then the "=" goes.
    void split_assignment() {
        if (args.size() >= 2 && args[1].front() != '"') {
            size_t eq = args[1].find('=');
            if (eq != std::string::npos && eq > 0) {
                std::string rest = args[1].substr(eq + 1);
                args[1].resize(eq);
                args.insert(args.begin() + 2, "=");
                if (!rest.empty()) args.insert(args.begin() + 3, rest);
            }
        }
        if (args.size() >= 3 && args[2].size() > 1 && args[2].front() == '=') {
            std::string rest = args[2].substr(1);
            args[2] = "=";
            args.insert(args.begin() + 3, rest);
        }
        if (args.size() >= 4 && args[2] == "=") args.erase(args.begin() + 2);
    }

    // A value as a tag of this kind takes it, for checking a comparison.
    bool value_fits(host::Tag& tag, const std::string& text) {
        std::string message;
        if (make_set(sim, tag.def->name, text, &message)) return true;
        fail(message);
        return false;
    }

    // A condition whose names the panel has and whose value suits what it compares.
    std::optional<Condition> condition(const std::vector<std::string>& words) {
        std::optional<Condition> c = Condition::parse(words, error);
        if (!c) return std::nullopt;
        const Condition& cond = *c;
        using Subject = Condition::Subject;
        if (cond.subject == Subject::Shown || cond.subject == Subject::Hidden) {
            for (const std::string& w : cond.names) {
                int index = -1;
                if (!window(w, &index)) return std::nullopt;
            }
            return c;
        }
        const Comparison& cmp = cond.comparison;
        bool equality = cmp.op == Comparison::Op::Equal || cmp.op == Comparison::Op::NotEqual;
        if (cond.subject == Subject::Tag) {
            host::Tag* t = nullptr;
            if (!tag(cond.names[0], &t)) return std::nullopt;
            if (equality && !value_fits(*t, cmp.value)) return std::nullopt;
            std::string why = cmp.applies_to(tag_actual(*t).type);
            if (!why.empty()) return fail(t->def->name + ": " + why);
            return c;
        }
        int window_index = -1;
        const PropRow* prop = nullptr;
        SimulatorProbe probe(sim);
        if (!probe.find_prop(cond.names, &window_index, &prop, error)) return std::nullopt;
        if (equality) {
            unsigned char unused[HMI_TEXT_VALUE_SIZE] = {};
            bool text = prop->kind == PropKind::Text;
            std::string e =
                parse_prop(prop->kind, text ? "\"" + cmp.value + "\"" : cmp.value, unused);
            if (!e.empty()) return fail(prop->key + ": " + e);
        }
        std::string why =
            cmp.applies_to(prop_actual(prop->kind, sim.prop_value(window_index, prop)).type);
        if (!why.empty()) return fail(prop->key + ": " + why);
        return c;
    }
};

// What a running command needs: the panel, and where and how the command was written.
struct Runner {
    Simulator& sim;
    const Where& where;
    const std::string& text;

    std::vector<Field> located() const {
        std::vector<Field> fields;
        if (!where.file.empty()) fields.push_back({key::file, Value::text(where.file)});
        if (where.line > 0) fields.push_back({key::line, Value::integer(where.line)});
        return fields;
    }
    bool refuse(const std::string& why) const {
        std::vector<Field> fields = located();
        fields.push_back({key::command, Value::text(text)});
        fields.push_back({key::message, Value::text(why)});
        sim.report(EventType::Error, std::move(fields));
        return false;
    }
    bool expectation(bool met, const std::string& expected = {},
                     const std::string& actual = {}) const {
        std::vector<Field> fields = located();
        fields.push_back({key::met, Value::boolean(met)});
        fields.push_back({key::command, Value::text(text)});
        if (!met) fields.push_back({key::expected, Value::text(expected)});
        if (!met || !actual.empty()) fields.push_back({key::actual, Value::text(actual)});
        sim.report(EventType::Expect, std::move(fields));
        return met;
    }
    void info(std::string text) const {
        sim.report(EventType::Info, {{key::text, Value::text(std::move(text))}});
    }
    // That a setting was taken: not an answer, so the quiet output leaves it out.
    void note(std::string text) const {
        sim.report(EventType::Note, {{key::text, Value::text(std::move(text))}});
    }
    void warning(std::string text) const {
        std::vector<Field> fields = located();
        fields.push_back({key::message, Value::text(std::move(text))});
        sim.report(EventType::Warning, std::move(fields));
    }
    const Panel& panel() const { return sim.panel(); }
};

namespace {
// ---- completion ----

using Words = std::vector<std::string>;

void add_windows(const Simulator& sim, Words* out) {
    for (const PanelWindow& w : sim.panel().windows) out->push_back(w.name);
}
void add_tags(Simulator& sim, Words* out) {
    for (const host::Tag& t : sim.host().tags().all()) out->push_back(t.def->name);
}
// The widgets of a window: all of them, or those with a handler of the event; each by
// its name and by its label where no other widget of the window has it (quoted when it
// holds a space, as a command takes it).
void add_widgets(const Simulator& sim, const std::string& window, const char* event, Words* out) {
    int index = sim.panel().window_index(window);
    if (index < 0 || sim.handlers(index) == nullptr) return;
    const HandlerWindow& h = *sim.handlers(index);
    Words names;
    if (event == nullptr) names = h.widgets();
    for (const EventRow& r : h.events) {
        if (event != nullptr && r.event == event) names.push_back(r.widget);
    }
    const WidgetLabels& labels = sim.panel().labels;
    for (const std::string& w : names) {
        out->push_back(w);
        const std::string* label = labels.label(h.name, w);
        if (label == nullptr || labels.widgets_labelled(h.name, *label).size() != 1) continue;
        out->push_back(label->find(' ') == std::string::npos ? *label : "\"" + *label + "\"");
    }
}
void add_properties(const Simulator& sim, const std::string& window, const std::string& widget,
                    Words* out) {
    int index = sim.panel().window_index(window);
    if (index < 0 || sim.handlers(index) == nullptr) return;
    for (const PropRow& r : sim.handlers(index)->props) {
        if (r.widget == widget) out->push_back(r.property);
    }
}

void complete_nothing(Simulator&, const Words&, Words*) {}
void complete_tag(Simulator& sim, const Words& w, Words* out) {
    if (w.size() == 1) add_tags(sim, out);
}
void complete_tags(Simulator& sim, const Words&, Words* out) {
    add_tags(sim, out);
}
void complete_window(Simulator& sim, const Words& w, Words* out) {
    if (w.size() == 1) add_windows(sim, out);
}
void complete_click(Simulator& sim, const Words& w, Words* out) {
    if (w.size() == 1) add_windows(sim, out);
    if (w.size() == 2) add_widgets(sim, w[1], w[0] == "click" ? "click" : "timer", out);
}
void complete_answer(Simulator&, const Words& w, Words* out) {
    if (w.size() == 1) *out = {"msgbox", "input"};
    if (w.size() >= 2 && w[1] == "msgbox") *out = host::msgbox_words();
    if (w.size() >= 2 && w[1] == "input") *out = {host::kCancelWord};
}
void complete_condition(Simulator& sim, const Words& w, size_t first, Words* out);
void complete_expect(Simulator& sim, const Words& w, Words* out) {
    complete_condition(sim, w, 1, out);
}
void complete_help(Simulator&, const Words& w, Words* out) {
    if (w.size() == 1) *out = command_names();
}
// A condition: a tag, shown or hidden and a window, prop and a window's widgets.
void complete_condition(Simulator& sim, const Words& w, size_t first, Words* out) {
    size_t n = w.size();
    if (n == first) {
        *out = {"tag", "shown", "hidden", "prop"};
        add_tags(sim, out);
        return;
    }
    if (n < first) return;
    const std::string& kind = w[first];
    if (n == first + 1 && kind == "tag") add_tags(sim, out);
    if (kind == "shown" || kind == "hidden") add_windows(sim, out);
    if (kind != "prop") return;
    if (n == first + 1) add_windows(sim, out);
    if (n == first + 2) add_widgets(sim, w[first + 1], nullptr, out);
    if (n == first + 3) add_properties(sim, w[first + 1], w[first + 2], out);
}
void complete_run(Simulator& sim, const Words& w, Words* out) {
    if (w.size() == 1) *out = {"until"};
    if (w.size() >= 2 && w[1] == "until") complete_condition(sim, w, 2, out);
}
void complete_break(Simulator& sim, const Words& w, Words* out) {
    if (w.size() == 1) out->push_back("clear");
    complete_condition(sim, w, 1, out);
}
void complete_trace(Simulator&, const Words& w, Words* out) {
    if (w.size() == 1) *out = {"quiet", "normal", "full"};
}
void complete_record(Simulator&, const Words& w, Words* out) {
    if (w.size() == 1) *out = {"stop"};
    if (w.size() == 2 && w[1] != "stop") *out = {"--replace"};
}
void complete_plot(Simulator& sim, const Words& w, Words* out) {
    if (w.size() == 1) {
        *out = {"stop", "x="};
        add_tags(sim, out);
    }
}

// ---- a line's words as an action, by command ----

using Made = std::optional<Action>;

Made parse_set(Parser& p) {
    p.split_assignment();
    if (p.args.size() > 3) {
        host::Tag* t = p.sim.host().tags().find(p.args[1]);
        if (t != nullptr && t->def->kind == host::Kind::Text) {
            std::string text;
            for (size_t i = 2; i < p.args.size(); ++i) text += (i > 2 ? " " : "") + p.args[i];
            return p.fail(
                "expected: set TAG [=] VALUE; a text of several words goes in double "
                "quotes: set " +
                p.args[1] + " \"" + text + "\"");
        }
    }
    if (!p.count_ok(3, 3)) return std::nullopt;
    host::Tag* t = nullptr;
    if (!p.tag(p.args[1], &t)) return std::nullopt;
    bool text = t->def->kind == host::Kind::Text;
    return make_set(p.sim, p.args[1], text ? unquoted(p.args[2]) : p.args[2], p.error);
}

Made parse_window(Parser& p, bool show) {
    if (!p.count_ok(2, 2)) return std::nullopt;
    return make_show(p.sim, p.args[1], show, p.error);
}
Made parse_show(Parser& p) {
    return parse_window(p, true);
}
Made parse_hide(Parser& p) {
    return parse_window(p, false);
}

template <typename Bare>
Made parse_bare(Parser& p) {
    if (!p.count_ok(1, 1)) return std::nullopt;
    return Bare{};
}

Made parse_click(Parser& p) {
    size_t used = 0;
    std::optional<Target> t = p.target("click", &used);
    if (!t || !p.count_ok(1 + used, 1 + used)) return std::nullopt;
    return Click{*t};
}
Made parse_fire(Parser& p) {
    size_t used = 0;
    std::optional<Target> t = p.target("timer", &used);
    if (!t || !p.count_ok(1 + used, 2 + used)) return std::nullopt;
    Fire fire{*t, 1};
    if (p.args.size() == 2 + used && !p.count(p.args.back(), 1000000, &fire.times)) {
        return std::nullopt;
    }
    return fire;
}

std::nullopt_t not_a_duration(Parser& p, const std::string& word) {
    return p.fail(host::quoted_excerpt(word) + " is not a duration (500ms, 10s, 2m, 1h, 1m30s)");
}
Made parse_run(Parser& p) {
    if (p.args.size() >= 2 && p.args[1] == "until") {
        std::vector<std::string> words(p.args.begin() + 2, p.args.end());
        RunUntil until{{}, kRunUntilDefaultMs};
        if (words.size() >= 2 && words[words.size() - 2] == "max") {
            if (!parse_duration(words.back(), &until.max_ms) || until.max_ms == 0) {
                return not_a_duration(p, words.back());
            }
            words.resize(words.size() - 2);
        }
        std::optional<Condition> c = p.condition(words);
        if (!c) return std::nullopt;
        until.condition = std::move(*c);
        return until;
    }
    if (!p.count_ok(2, 2)) return std::nullopt;
    Run run;
    if (!parse_duration(p.args[1], &run.ms)) return not_a_duration(p, p.args[1]);
    return run;
}

Made parse_clock_command(Parser& p) {
    if (!p.count_ok(3, 3)) return std::nullopt;
    return make_clock(p.args[1] + " " + p.args[2], p.error);
}

// The words of answers: one function, so that one vocabulary of answers can replace it.
Made parse_answer(Parser& p) {
    if (p.args.size() < 3 || (p.args[1] != "msgbox" && p.args[1] != "input")) return p.usage();
    if (p.args[1] == "msgbox") {
        AnswerMsgbox box;
        for (size_t i = 2; i < p.args.size(); ++i) {
            std::optional<int> n = host::parse_msgbox_answer(p.args[i], p.error);
            if (!n) return std::nullopt;
            box.answers.push_back(*n);
        }
        return box;
    }
    AnswerInput input;
    for (size_t i = 2; i < p.args.size(); ++i) {
        std::optional<std::optional<double>> v = host::parse_input_answer(p.args[i], p.error);
        if (!v) return std::nullopt;
        input.values.push_back(*v);
    }
    return input;
}

Made parse_expect(Parser& p) {
    if (p.args.size() < 2) return p.usage();
    const std::string& what = p.args[1];
    if (what == "shown" || what == "hidden") {
        ExpectWindows e{what == "shown", {}};
        if (p.args.size() < 3) return p.fail("expected: expect " + what + " WINDOW...");
        if (!p.windows_from(2, &e.windows)) return std::nullopt;
        return e;
    }
    if (what == "tag" && p.args.size() < 4) return p.fail("expected: expect tag TAG [OP] VALUE");
    if (what != "tag" && what != "prop" && p.sim.host().tags().find(what) == nullptr) {
        std::vector<std::string> names = {"tag", "shown", "hidden", "prop"};
        for (const host::Tag& t : p.sim.host().tags().all()) names.push_back(t.def->name);
        return p.fail("expect what? tag, shown, hidden, prop or a tag's name, not " +
                      host::quoted_excerpt(what) + did_you_mean(what, names));
    }
    std::optional<Condition> c =
        p.condition(std::vector<std::string>(p.args.begin() + 1, p.args.end()));
    if (!c) return std::nullopt;
    return Expect{std::move(*c)};
}

// Tag patterns, each matching at least one tag; none: every tag.
bool patterns(Parser& p, std::vector<std::string>* out) {
    out->assign(p.args.begin() + 1, p.args.end());
    if (out->empty()) out->push_back("*");
    const auto& tags = p.sim.host().tags().all();
    for (const std::string& pattern : *out) {
        bool any = std::any_of(tags.begin(), tags.end(),
                               [&](const host::Tag& t) { return matches(pattern, t.def->name); });
        if (any) continue;
        std::vector<std::string> names;
        for (const host::Tag& t : tags) names.push_back(t.def->name);
        p.fail("no tag matches " + host::quoted_excerpt(pattern) + did_you_mean(pattern, names));
        return false;
    }
    return true;
}
Made parse_print(Parser& p) {
    Print print;
    if (!p.count_ok(2, 1000) || !patterns(p, &print.patterns)) return std::nullopt;
    return print;
}
Made parse_tags(Parser& p) {
    ListTags list;
    if (!patterns(p, &list.patterns)) return std::nullopt;
    return list;
}

Made parse_say(Parser& p) {
    Say say;
    for (size_t i = 1; i < p.args.size(); ++i) {
        say.text += (i > 1 ? " " : "") + unquoted(p.args[i]);
    }
    return say;
}

Made parse_handler_window(Parser& p, bool widgets) {
    int index = -1;
    if (!p.count_ok(2, 2) || !p.window(p.args[1], &index)) return std::nullopt;
    if (window_handlers(p.sim, index, p.error) == nullptr) return std::nullopt;
    WindowRef w{index, p.args[1]};
    if (widgets) return ListWidgets{w};
    return ListProps{w};
}
Made parse_widgets(Parser& p) {
    return parse_handler_window(p, true);
}
Made parse_props(Parser& p) {
    return parse_handler_window(p, false);
}

Made parse_help(Parser& p) {
    if (!p.count_ok(1, 2)) return std::nullopt;
    if (p.args.size() == 2 && command_help(p.args[1]).empty()) {
        return p.fail("no command " + host::quoted_excerpt(p.args[1]) +
                      did_you_mean(p.args[1], command_names()) +
                      " (commands: " + joined(command_names(), 100) + ")");
    }
    return Help{p.args.size() == 2 ? p.args[1] : std::string()};
}

Made parse_break(Parser& p) {
    if (p.args.size() == 2 && p.args[1] == "clear") return ClearBreaks{};
    if (p.args.size() == 1) return ListBreaks{};
    std::optional<Condition> c =
        p.condition(std::vector<std::string>(p.args.begin() + 1, p.args.end()));
    if (!c) return std::nullopt;
    return AddBreak{std::move(*c)};
}

Made parse_watch(Parser& p) {
    Watch watch;
    if (!p.count_ok(2, 1000) || !patterns(p, &watch.patterns)) return std::nullopt;
    return watch;
}
Made parse_unwatch(Parser& p) {
    return Unwatch{std::vector<std::string>(p.args.begin() + 1, p.args.end())};
}

Made parse_trace(Parser& p) {
    if (!p.count_ok(2, 2)) return std::nullopt;
    std::optional<TraceLevel> level = parse_level(p.args[1]);
    if (!level) {
        return p.fail(host::quoted_excerpt(p.args[1]) + " is not a level: quiet, normal or full");
    }
    return SetTrace{*level};
}

// The bare word stop ends a recording; a file named stop is written in quotes.
Made parse_record(Parser& p) {
    bool replace = p.args.size() == 3 && p.args[2] == "--replace" && p.args[1] != "stop";
    if (replace) p.args.pop_back();
    if (!p.count_ok(2, 2)) return std::nullopt;
    if (p.args[1] == "stop") return RecordStop{};
    return Record{unquoted(p.args[1]), replace};
}
Made parse_load(Parser& p) {
    if (!p.count_ok(2, 2)) return std::nullopt;
    return Load{unquoted(p.args[1])};
}

Made parse_plot(Parser& p) {
    if (p.args.size() == 2 && p.args[1] == "stop") return PlotStop{};
    if (!p.count_ok(3, 3)) return std::nullopt;
    std::optional<PlotSpec> spec = PlotSpec::parse(p.args[1], p.error);
    if (!spec || !PlotSampler::make(p.sim, spec->tags, p.error)) return std::nullopt;
    Plot plot{std::move(*spec), unquoted(p.args[2])};
    if (!plot.path.ends_with(".svg") && !plot.path.ends_with(".csv")) {
        return p.fail(host::quoted_excerpt(plot.path) +
                      ": a plot is written as FILE.svg or FILE.csv");
    }
    return plot;
}

// ---- actions at work, by type ----

bool run(const Runner& r, const SetTag& a) {
    r.sim.set_tag(r.sim.host().tags().all().at(a.tag), a.value.data());
    return true;
}
bool run(const Runner& r, const ShowWindow& a) {
    r.sim.show(a.window.index);
    return true;
}
bool run(const Runner& r, const HideWindow& a) {
    r.sim.hide(a.window.index);
    return true;
}
bool run(const Runner& r, const Touch&) {
    r.sim.touch();
    return true;
}

// A click or a tick of a shown window; a modal window takes every click.
bool run_handler(const Runner& r, const Target& t, bool click, uint64_t times) {
    const std::string& name = r.panel().windows[t.window].name;
    if (!r.sim.shown(t.window)) return r.refuse("window " + name + " is not shown");
    int modal = r.sim.modal_window();
    if (click && modal >= 0 && modal != t.window) {
        return r.refuse(r.panel().windows[modal].name +
                        " is open modally: only its widgets take clicks");
    }
    if (click) {
        r.sim.click(t.window, *t.event);
    } else {
        r.sim.fire(t.window, *t.event, static_cast<unsigned>(times));
    }
    return true;
}
bool run(const Runner& r, const Click& a) {
    return run_handler(r, a.target, true, 1);
}
bool run(const Runner& r, const Fire& a) {
    return run_handler(r, a.target, false, a.times);
}

// What a condition compares, as an expectation names it.
std::string expectation_text(const Condition& cond) {
    std::string names;
    for (const std::string& n : cond.names) names += (names.empty() ? "" : " ") + n;
    if (cond.subject == Condition::Subject::Shown) return "shown: " + names;
    if (cond.subject == Condition::Subject::Hidden) return "hidden: " + names;
    return names + " " + cond.comparison.readable();
}
// A property of a window not shown keeps the value of its last poll: say so.
std::string hidden_note(Simulator& sim, SimulatorProbe& probe, const Condition& cond) {
    if (cond.subject != Condition::Subject::Prop) return {};
    int window = -1;
    const PropRow* row = nullptr;
    std::string error;
    if (!probe.find_prop(cond.names, &window, &row, &error) || sim.shown(window)) return {};
    return " (window not shown)";
}
// A run that stopped early: a warning that says when and why (not at the clock's end,
// which has its own error).
bool stopped_early(const Runner& r, const RunEnd& end) {
    if (end.why == Stop::ClockEnd) return false;
    std::vector<Field> fields = r.located();
    fields.push_back({key::message, Value::text("run stopped at " + format_time(r.sim.now()) + " " +
                                                stop_text(end))});
    fields.push_back({key::stopped, Value::text(stop_name(end.why))});
    r.sim.report(EventType::Warning, std::move(fields));
    return true;
}
bool run(const Runner& r, const RunUntil& a) {
    SimulatorProbe probe(r.sim);
    const Condition& cond = a.condition;
    uint64_t start = r.sim.now();
    RunEnd end{Stop::Met, {}};
    if (!evaluate(cond, probe).holds) {
        end = r.sim.run_until(a.max_ms, [&] { return evaluate(cond, probe).holds; });
    }
    Outcome outcome = evaluate(cond, probe);
    switch (end.why) {
        case Stop::Met: {
            std::vector<Field> fields = r.located();
            fields.push_back({key::condition, Value::text(cond.text)});
            fields.push_back({key::after, Value::text(duration_text(r.sim.now() - start))});
            fields.push_back(
                {key::after_ms, Value::integer(static_cast<int64_t>(r.sim.now() - start))});
            fields.push_back({key::actual, Value::text(outcome.actual)});
            r.sim.report(EventType::Wait, std::move(fields));
            return true;
        }
        case Stop::MaxReached:
            return r.expectation(false,
                                 expectation_text(cond) + " within " + duration_text(a.max_ms),
                                 outcome.actual + hidden_note(r.sim, probe, cond));
        default:
            return stopped_early(r, end);
    }
}
bool run(const Runner& r, const Run& a) {
    RunEnd end = r.sim.run_until(a.ms, nullptr);
    return end.why == Stop::MaxReached || stopped_early(r, end);
}

bool run(const Runner& r, const SetClock& a) {
    r.sim.set_clock_time(a.seconds);
    return true;
}

bool run(const Runner& r, const AnswerMsgbox& a) {
    std::vector<Value> answers;
    for (int n : a.answers) {
        r.sim.queue_msgbox(n);
        answers.push_back(Value::integer(n));
    }
    r.sim.report(EventType::Answer, {{key::dialog, Value::text("msgbox")},
                                     {key::answers, Value::list(std::move(answers))}});
    return true;
}
bool run(const Runner& r, const AnswerInput& a) {
    std::vector<Value> answers;
    for (const auto& v : a.values) {
        r.sim.queue_input(v);
        answers.push_back(v ? Value::real(*v) : Value::text("cancel"));
    }
    r.sim.report(EventType::Answer, {{key::dialog, Value::text("input")},
                                     {key::answers, Value::list(std::move(answers))}});
    return true;
}

bool run(const Runner& r, const ExpectWindows& a) {
    std::string wrong, shown;
    for (const WindowRef& w : a.windows) {
        if (r.sim.shown(w.index) != a.shown) wrong += (wrong.empty() ? "" : ", ") + w.name;
    }
    if (wrong.empty()) return r.expectation(true);
    for (size_t i = 0; i < r.panel().windows.size(); ++i) {
        if (r.sim.shown(static_cast<int>(i))) {
            shown += (shown.empty() ? "" : " ") + r.panel().windows[i].name;
        }
    }
    return r.expectation(false, std::string(a.shown ? "shown" : "hidden") + ": " + wrong,
                         "shown windows: " + (shown.empty() ? "none" : shown));
}
bool run(const Runner& r, const Expect& a) {
    SimulatorProbe probe(r.sim);
    const Condition& cond = a.condition;
    Outcome outcome = evaluate(cond, probe);
    if (outcome.holds) return r.expectation(true, {}, outcome.actual);
    return r.expectation(
        false, expectation_text(cond),
        (outcome.error.empty() ? outcome.actual : outcome.error) + hidden_note(r.sim, probe, cond));
}

bool wanted(const std::vector<std::string>& patterns, const host::Tag& t) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& p) { return matches(p, t.def->name); });
}
bool run(const Runner& r, const Print& a) {
    for (const host::Tag& t : r.sim.host().tags().all()) {
        if (wanted(a.patterns, t)) r.sim.report(EventType::Print, tag_fields(t));
    }
    return true;
}

bool run(const Runner& r, const Say& a) {
    r.sim.report(EventType::Say, {{key::text, Value::text(a.text)}});
    return true;
}

// Rows of cells as lines, each column as wide as its widest cell.
std::vector<std::string> aligned(const std::vector<std::vector<std::string>>& rows) {
    auto width = [](const std::string& text) {
        size_t n = 0;
        for (unsigned char ch : text) n += (ch & 0xC0) != 0x80;  // UTF-8 characters
        return n;
    };
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], width(row[i]));
    }
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - width(row[i]) + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool run(const Runner& r, const ListWindows&) {
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < r.panel().windows.size(); ++i) {
        int index = static_cast<int>(i);
        const PanelWindow& w = r.panel().windows[i];
        const HandlerWindow* h = r.sim.handlers(index);
        std::string state = r.sim.shown(index) ? "shown" : "hidden";
        if (r.sim.modal_window() == index) state += " modal";
        std::string handlers = "no handlers";
        if (h != nullptr) {
            handlers = std::to_string(h->events.size()) + " events, " +
                       std::to_string(h->props.size()) + " properties";
            if (h->name != w.name) handlers += " (keys \"" + h->name + "_...\")";
        }
        std::string timers;
        for (const PanelTimer& t : r.panel().timers) {
            if (t.window != w.name) continue;
            timers += (timers.empty() ? "" : ", ") + t.widget + " every " +
                      std::to_string(t.period_ms) + " ms";
            if (h == nullptr || h->event(t.widget, "timer") == nullptr) timers += " (no handler)";
        }
        rows.push_back({w.name, state, handlers, timers});
    }
    for (const std::string& line : aligned(rows)) r.info(line);
    return true;
}

// Each widget with its label and events, then each property with its value and the
// tags its function read at its last poll.
bool run(const Runner& r, const ListWidgets& a) {
    const HandlerWindow& h = *r.sim.handlers(a.window.index);
    std::vector<std::vector<std::string>> rows;
    for (const std::string& widget : h.widgets()) {
        const std::string* label = r.panel().labels.label(h.name, widget);
        std::string events;
        for (const EventRow& row : h.events) {
            if (row.widget == widget) events += (events.empty() ? "" : ", ") + row.event;
        }
        rows.push_back({widget, label ? "\"" + *label + "\"" : "(no label)",
                        events.empty() ? "" : "on " + events});
        for (const PropRow& row : h.props) {
            if (row.widget != widget) continue;
            bool polled = false;
            std::vector<std::string> follows = r.sim.prop_follows(a.window.index, &row, &polled);
            std::string tags;
            for (const std::string& t : follows) tags += (tags.empty() ? "" : ", ") + t;
            if (!polled) {
                tags = "(not polled yet: show the window)";
            } else {
                tags = tags.empty() ? "(reads no tag)" : "follows " + tags;
            }
            rows.push_back({"",
                            "  " + row.property + " = " +
                                format_prop(row.kind, r.sim.prop_value(a.window.index, &row)),
                            tags});
        }
    }
    for (const std::string& line : aligned(rows)) r.info(line);
    return true;
}
bool run(const Runner& r, const ListProps& a) {
    if (r.sim.handlers(a.window.index)->props.empty()) {
        r.info("window " + r.panel().windows[a.window.index].name +
               " has no properties that follow tags (widgets WINDOW lists its widgets)");
        return true;
    }
    for (const PropRow& row : r.sim.handlers(a.window.index)->props) {
        r.sim.report(EventType::PropValue, prop_fields(r.panel().windows[a.window.index].name, row,
                                                       r.sim.prop_value(a.window.index, &row)));
    }
    return true;
}

bool run(const Runner& r, const Help& a) {
    std::string help = a.topic.empty() ? command_help() : command_help(a.topic);
    for (size_t start = 0; start < help.size();) {
        size_t end = help.find('\n', start);
        r.info(help.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

// tags: the catalogue, not the values (print gives those).
bool run(const Runner& r, const ListTags& a) {
    std::vector<std::vector<std::string>> rows;
    for (const host::Tag& t : r.sim.host().tags().all()) {
        if (!wanted(a.patterns, t)) continue;
        rows.push_back({t.def->name, std::string(host::kind_name(t.def->kind)),
                        "initial " + t.def->initial, t.def->param ? "parameter" : ""});
    }
    for (const std::string& line : aligned(rows)) r.info(line);
    return true;
}

bool run(const Runner& r, const AddBreak& a) {
    r.sim.session().breaks.push_back({a.condition, false});
    r.note("a run stops when " + a.condition.text + " comes to hold (break clear drops it)");
    return true;
}
bool list_breaks(const Runner& r) {
    for (const Session::Break& b : r.sim.session().breaks) r.info("break " + b.condition.text);
    if (r.sim.session().breaks.empty()) r.info("no breaks");
    return true;
}
bool run(const Runner& r, const ListBreaks&) {
    return list_breaks(r);
}
bool run(const Runner& r, const ClearBreaks&) {
    r.sim.session().breaks.clear();
    return list_breaks(r);
}

bool watching(const Runner& r, const std::vector<std::string>& patterns, bool add) {
    std::vector<std::string>& watched = r.sim.session().view.watched;
    if (!add && patterns.empty()) watched.clear();
    for (const std::string& w : patterns) {
        auto at = std::find(watched.begin(), watched.end(), w);
        if (add && at == watched.end()) watched.push_back(w);
        if (!add && at != watched.end()) watched.erase(at);
    }
    std::string list;
    for (const std::string& w : watched) list += (list.empty() ? "" : " ") + w;
    r.note(watched.empty() ? "watching every tag"
                           : "watching only the events that read or write " + list);
    return true;
}
bool run(const Runner& r, const Watch& a) {
    return watching(r, a.patterns, true);
}
bool run(const Runner& r, const Unwatch& a) {
    return watching(r, a.patterns, false);
}

bool run(const Runner& r, const SetTrace& a) {
    r.sim.session().view.level = a.level;
    r.note(std::string("trace ") + level_name(a.level));
    return true;
}

bool run(const Runner& r, const Restart&) {
    r.sim.restart();
    return true;
}

bool run(const Runner& r, const Record& a) {
    std::optional<ScenarioRecorder>& recorder = r.sim.session().recorder;
    std::string error;
    recorder = ScenarioRecorder::open(a.path, a.replace, &error);
    if (!recorder) return r.refuse(error);
    r.note("recording what is typed to " + a.path + " (record stop ends it)");
    return true;
}
bool run(const Runner& r, const RecordStop&) {
    std::optional<ScenarioRecorder>& recorder = r.sim.session().recorder;
    if (!recorder) return r.refuse("nothing is being recorded");
    r.note("recording written to " + recorder->path());
    recorder.reset();
    return true;
}

bool run(const Runner& r, const Load& a) {
    Session& session = r.sim.session();
    if (session.load_depth >= kMostLoadDepth) {
        return r.refuse("scenarios that load scenarios, " + std::to_string(kMostLoadDepth) +
                        " deep: stopped here");
    }
    std::string text;
    try {
        text = read_file(a.path);
    } catch (const std::exception& e) {
        return r.refuse(e.what());
    }
    ++session.load_depth;
    ScenarioResult result = run_scenario(text, a.path, r.sim);
    --session.load_depth;
    session.bad_loaded_lines += result.bad_lines;
    return result.ok();
}

bool run(const Runner& r, const Plot& a) {
    std::string error;
    std::optional<PlotSampler> sampler = PlotSampler::make(r.sim, a.spec.tags, &error);
    if (!sampler) return r.refuse(error);
    r.sim.session().plots.push_back({a.spec, std::move(*sampler), a.path});
    r.note("plotting to " + a.path + " (plot stop writes it)");
    return true;
}
bool run(const Runner& r, const PlotStop&) {
    Session& session = r.sim.session();
    if (session.plots.empty()) {
        r.info("no plot is being drawn");
        return true;
    }
    std::vector<std::string> errors;
    for (const std::string& line : session.finish_plots(r.sim.now(), &errors)) r.note(line);
    for (const std::string& e : errors) r.refuse(e);
    return errors.empty();
}

// quit: the prompt ends before the line is parsed; in a scenario it does nothing.
bool run(const Runner&, const Quit&) {
    return true;
}

// Whether `record` writes the command: listings, help and the like are about the
// prompt, not the panel.
constexpr bool kRecorded = true;
constexpr bool kPromptOnly = false;

const CommandRow kCommands[] = {
    {"set", "set TAG [=] VALUE", "give a tag a value (as the panel's own data would)",
     "A number in range for the tag's kind (decimal or 0x hex), a float, or a text in\n"
     "double quotes (set dish.iuput0 \"a b\"). TAG=VALUE works too. Properties that read\n"
     "the tag are polled again.",
     false, kRecorded, parse_set, complete_tag},
    {"show", "show WINDOW", "show a window (runs its open handler)",
     "Its timers start, its properties are polled.", false, kRecorded, parse_show, complete_window},
    {"hide", "hide WINDOW", "hide a window (runs its close handler)", "Its timers stop.", false,
     kRecorded, parse_hide, complete_window},
    {"touch", "touch", "touch the panel where no widget has a handler",
     "Sets system.IsMouseDown to 1, as any touch does.", false, kRecorded, parse_bare<Touch>,
     complete_nothing},
    {"click", "click WINDOW WIDGET | click KEY", "touch and click a widget",
     "The window must be shown, and no other window may hold the panel modally.\n"
     "WIDGET is its name or its label (widgets WINDOW lists both): click 12 \"HV203\n"
     "duration\", click timeinput confirm, click 18 pause. KEY is the handler's key,\n"
     "window_widget_click.",
     false, kRecorded, parse_click, complete_click},
    {"fire", "fire WINDOW WIDGET [N] | fire KEY [N]",
     "tick a timer N times now, without moving the clock",
     "Each tick runs with everything it causes before the next.", false, kRecorded, parse_fire,
     complete_click},
    {"run", "run DURATION | run until CONDITION [max DURATION]",
     "let simulated time pass: 500ms, 10s, 2m, 1h, 1m30s; or until a condition holds",
     "Every timer of a shown window ticks at its period, in time order. run until stops\n"
     "at the first event after which the condition holds (it looks before running too);\n"
     "without max it waits at most 1h of panel time, then fails with the value found.\n"
     "CONDITION is as for expect: run until kelvor.save_flag = 3 max 2m, run until\n"
     "shown timeinput. At the prompt Ctrl-C stops a run at the moment it has reached.",
     false, kRecorded, parse_run, complete_run},
    {"clock", "clock YYYY-MM-DD HH:MM:SS", "set the panel's clock (UTC)",
     "The system clock tags follow it; simulated time goes on from there.", false, kRecorded,
     parse_clock_command, complete_nothing},
    {"answer", "answer msgbox yes|no|N ... | answer input NUMBER|cancel ...",
     "queue answers for the next questions or input dialogs",
     "yes is 6, no is 7, ok is 1. Notices need no answer. An answer that no dialog took\n"
     "fails the scenario at its end.",
     false, kRecorded, parse_answer, complete_answer},
    {"expect", "expect CONDITION", "check the panel; a failed check fails the run",
     "CONDITION: [tag] TAG [OP] VALUE | shown WINDOW... | hidden WINDOW... |\n"
     "prop WINDOW WIDGET PROPERTY [OP] VALUE | prop KEY [OP] VALUE.\n"
     "OP: = != < <= > >= (= when left out), or ~ VALUE +- TOLERANCE (or ±).\n"
     "A float equals VALUE when they agree to the digits VALUE is written with: 13.9 is\n"
     "met by 13.900001 and 13.94, 13.90 is not met by 13.906; <= and >= hold for such\n"
     "equal values too. Whole numbers and texts compare exactly. A failed check shows\n"
     "what was expected next to what is; a met one shows what was found.",
     true, kRecorded, parse_expect, complete_expect},
    {"print", "print GLOB...", "show the current values of the tags whose names match",
     "Shell patterns: * any text, ? one character, [...] one of.", false, kRecorded, parse_print,
     complete_tags},
    {"say", "say TEXT", "write a line of narration into the trace", "", false, kRecorded, parse_say,
     complete_nothing},
    {"windows", "windows", "list the panel's windows",
     "Shown or hidden, their handlers and their timers.", false, kPromptOnly,
     parse_bare<ListWindows>, complete_nothing},
    {"widgets", "widgets WINDOW",
     "list a window's widgets: label, events, properties with their values and tags",
     "The tags a property follows are those its function read when last polled.", false,
     kPromptOnly, parse_widgets, complete_window},
    {"props", "props WINDOW", "list a window's properties with their current values", "", false,
     kPromptOnly, parse_props, complete_window},
    {"tags", "tags [GLOB...]", "list the catalogue's tags: kind, initial value, parameter",
     "print gives their current values.", false, kPromptOnly, parse_tags, complete_tags},
    {"watch", "watch TAG-GLOB...",
     "trace only these tags' writes (each under the event that caused it), and failures",
     "Several watch commands add up; unwatch drops some or all.", false, kRecorded, parse_watch,
     complete_tags},
    {"unwatch", "unwatch [TAG-GLOB...]", "stop watching these tags (all when none is named)", "",
     false, kRecorded, parse_unwatch, complete_tags},
    {"trace", "trace quiet|normal|full", "how much the trace shows from now on",
     "quiet: failures, errors, warnings, asked-for values and narration; normal: also\n"
     "events, tag writes, window calls, dialogs, parameters and met expectations; full:\n"
     "also every property change.",
     false, kRecorded, parse_trace, complete_trace},
    {"break", "break [CONDITION | clear]",
     "stop any run when the condition comes to hold; alone, list the breaks",
     "CONDITION is as for expect. The run stops at the simulated moment of the event\n"
     "after which it holds, and says why.",
     false, kRecorded, parse_break, complete_break},
    {"restart", "restart", "switch the panel off and on",
     "Tags back to their initial values, the saved parameters loaded again, the start\n"
     "window shown, timers from zero. Windows go without their close handlers, as at a\n"
     "power cut; simulated time and the clock go on.",
     false, kRecorded, parse_bare<Restart>, complete_nothing},
    {"record", "record FILE [--replace] | record stop",
     "write what is typed from now on, with the answers given to dialogs, as a scenario",
     "Listings, help and record itself are left out. A file that has something in it is\n"
     "overwritten only with --replace. At the prompt only: a scenario cannot record.",
     false, kPromptOnly, parse_record, complete_record},
    {"load", "load FILE", "run a scenario file here, on this panel",
     "In a scenario, FILE is found beside it.", false, kRecorded, parse_load, complete_nothing},
    {"plot", "plot TAG,TAG... FILE | plot x=TAG,y=TAG FILE | plot stop",
     "sample numeric tags from now on; plot stop (or the end) writes FILE, .svg or .csv",
     "TAG,TAG...: the tags against simulated time; x=TAG,y=TAG: one against the other.", false,
     kRecorded, parse_plot, complete_plot},
    {"help", "help [COMMAND]", "this list, or more about one command", "", false, kPromptOnly,
     parse_help, complete_help},
    {"quit", "quit | exit", "leave the prompt (exit does the same)", "", false, kPromptOnly,
     parse_bare<Quit>, complete_nothing},
};
}  // namespace

const CommandRow* find_command(std::string_view name) {
    if (name == "exit") name = "quit";
    for (const CommandRow& row : kCommands) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

const std::vector<std::string>& command_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const CommandRow& row : kCommands) n.push_back(row.name);
        return n;
    }();
    return names;
}

std::string command_help() {
    std::string out;
    for (const CommandRow& row : kCommands)
        out += std::string(row.usage) + "\n    " + row.help + "\n";
    return out + "help COMMAND tells more of one command.\n";
}

std::string command_help(std::string_view name) {
    const CommandRow* row = find_command(name);
    if (row == nullptr) return {};
    std::string out = std::string(row->usage) + "\n    " + row->help + "\n";
    std::string_view details = row->details;
    while (!details.empty()) {
        size_t end = details.find('\n');
        out += "    " + std::string(details.substr(0, end)) + "\n";
        details = end == std::string_view::npos ? std::string_view{} : details.substr(end + 1);
    }
    return out;
}

std::vector<std::string> completions(Simulator& sim, const std::vector<std::string>& words) {
    std::vector<std::string> out;
    if (words.empty()) return command_names();
    if (const CommandRow* row = find_command(words[0])) row->complete(sim, words, &out);
    return out;
}

std::optional<Action> parse_command(std::string_view line, Simulator& sim, std::string* error) {
    error->clear();
    std::vector<std::string> args;
    if (!split_words(line, &args, error) || args.empty()) return std::nullopt;
    const CommandRow* row = find_command(args[0]);
    if (row == nullptr) {
        *error = "unknown command " + host::quoted_excerpt(args[0]) +
                 did_you_mean(args[0], command_names()) +
                 " (commands: " + joined(command_names(), 100) + ")";
        return std::nullopt;
    }
    Parser p{sim, *row, std::move(args), error};
    return row->parse(p);
}

std::string written_text(std::string_view line) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

const CommandRow& row_of(const Action& action) {
    return *find_command(command_name(action));
}

bool execute(const Action& action, Simulator& sim, const Where& where) {
    std::string text = where.text.empty() ? scenario_line(action) : where.text;
    Runner runner{sim, where, text};
    return std::visit([&](const auto& a) { return run(runner, a); }, action);
}

}  // namespace hmi::sim
