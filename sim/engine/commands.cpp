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
#include "sim/engine/probe.hpp"
#include "sim/engine/scenario.hpp"
#include "sim/engine/session.hpp"
#include "sim/engine/words.hpp"

namespace hmi::sim {

namespace {
constexpr int kMostLoadDepth = 8;  // scenarios that load scenarios

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

    bool fail(std::string message) {
        *error = std::move(message);
        return false;
    }
    bool usage() { return fail(std::string("expected: ") + row.usage); }
    bool expect_count(size_t least, size_t most) {
        return (args.size() >= least && args.size() <= most) || usage();
    }

    bool window(const std::string& name, int* index) {
        *index = sim.panel().window_index(name);
        return *index >= 0 || fail("no window '" + name + "' in the panel");
    }

    // The handlers of a panel window, with a reason when it has none.
    const HandlerWindow* handlers(int index) {
        const PanelWindow& w = sim.panel().windows[index];
        if (const HandlerWindow* h = sim.handlers(index)) return h;
        if (!w.handlers.empty()) {
            fail("the library has no handlers for window " + w.name + " (yet)");
            return nullptr;
        }
        std::string message = "window " + w.name + " has no handlers of its own";
        for (const PanelWindow& other : sim.panel().windows) {
            if (other.handlers == w.name) {
                message += " (the keys of \"" + w.name + "\" belong to " + other.name + ")";
            }
        }
        fail(message);
        return nullptr;
    }

    // The widget is named by its name or by its label.
    bool widget_row(int index, const std::string& widget_word, const std::string& name,
                    bool property, Command* c) {
        const HandlerWindow* h = handlers(index);
        if (h == nullptr) return false;
        const std::string& window = sim.panel().windows[index].name;
        std::string message;
        std::optional<std::string> found =
            find_widget(*h, sim.panel().labels, widget_word, window, &message);
        if (!found) return fail(message);
        const std::string& widget = *found;
        if (property) {
            c->prop = h->prop(widget, name);
            return c->prop != nullptr || fail(no_property(*h, window, widget, name));
        }
        c->event = h->event(widget, name);
        if (c->event != nullptr) return true;
        std::vector<std::string> names;
        for (const EventRow& r : h->events) {
            if (r.widget == widget) names.push_back(r.event);
        }
        return fail(window + " " + widget + " has no " + name +
                    " handler (its events: " + (names.empty() ? "none" : joined(names)) + ")");
    }

    // A handler key "window_widget_name" for WINDOW WIDGET [PROPERTY].
    bool key_target(const std::string& key, const std::string& name, bool property, Command* c) {
        std::optional<host::Key> k = host::split_key(key);
        if (!k) return fail("no window '" + key + "' in the panel, nor is it a handler key");
        if (!property && k->name != name) return fail(key + " is not a " + name + " handler");
        c->window = -1;
        for (size_t i = 0; i < sim.panel().windows.size() && c->window < 0; ++i) {
            if (sim.panel().windows[i].handlers == k->window) c->window = static_cast<int>(i);
        }
        if (c->window < 0) {
            return fail("no window of the panel has the handlers of \"" + k->window + "\"");
        }
        return widget_row(c->window, k->widget, k->name, property, c);
    }

    // WINDOW WIDGET [PROPERTY] or KEY at args[at]; *used is how many words it took.
    bool target(size_t at, const std::string& name, bool property, Command* c, size_t* used) {
        if (at >= args.size()) return usage();
        const std::string& first = args[at];
        if (sim.panel().window_index(first) < 0) {
            *used = 1;
            return key_target(first, name, property, c);
        }
        *used = property ? 3 : 2;
        if (at + *used > args.size()) return usage();
        if (!window(first, &c->window)) return false;
        return widget_row(c->window, args[at + 1], property ? args[at + 2] : name, property, c);
    }

    bool tag(const std::string& name, host::Tag** out) {
        *out = sim.host().tags().find(name);
        return *out != nullptr || fail("no tag '" + name + "'");
    }

    bool tag_value(host::Tag& tag, const std::string& text, std::vector<unsigned char>* value) {
        value->assign(host::width(tag.def->kind), 0);
        std::string input = text;
        if (tag.def->kind == host::Kind::Text) {
            std::string utf8 = unquoted(text);
            input = host::utf8_to_gbk(utf8);
            if (input.empty() && !utf8.empty()) {
                return fail(tag.def->name + ": the text has a character the panel lacks");
            }
        }
        std::string e = host::parse_value(tag.def->kind, input, value->data());
        if (e.empty()) return true;
        return fail(tag.def->name + " (" + std::string(host::kind_name(tag.def->kind)) + "): " + e);
    }

    bool count(const std::string& text, uint64_t most, uint64_t* out) {
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
        if (ec != std::errc() || end != text.data() + text.size() || *out == 0 || *out > most) {
            return fail("'" + text + "' is not a count from 1 to " + std::to_string(most));
        }
        return true;
    }

    bool windows_from(size_t at, Command* c) {
        for (size_t i = at; i < args.size(); ++i) {
            int index = -1;
            if (!window(args[i], &index)) return false;
            c->windows.push_back(index);
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

    // A condition whose names the panel has and whose value suits what it compares.
    bool condition(const std::vector<std::string>& words, Command* c) {
        c->condition = Condition::parse(words, error);
        if (!c->condition) return false;
        const Condition& cond = *c->condition;
        using Subject = Condition::Subject;
        if (cond.subject == Subject::Shown || cond.subject == Subject::Hidden) {
            for (const std::string& w : cond.names) {
                int index = -1;
                if (!window(w, &index)) return false;
            }
            return true;
        }
        const Comparison& cmp = cond.comparison;
        bool equality = cmp.op == Comparison::Op::Equal || cmp.op == Comparison::Op::NotEqual;
        if (cond.subject == Subject::Tag) {
            host::Tag* t = nullptr;
            if (!tag(cond.names[0], &t)) return false;
            std::vector<unsigned char> unused;
            bool text = t->def->kind == host::Kind::Text;
            if (equality && !tag_value(*t, text ? "\"" + cmp.value + "\"" : cmp.value, &unused)) {
                return false;
            }
            std::string why = cmp.applies_to(tag_actual(*t).type);
            return why.empty() || fail(t->def->name + ": " + why);
        }
        int window_index = -1;
        const PropRow* row = nullptr;
        SimulatorProbe probe(sim);
        if (!probe.find_prop(cond.names, &window_index, &row, error)) return false;
        if (equality) {
            unsigned char unused[HMI_TEXT_VALUE_SIZE] = {};
            bool text = row->kind == PropKind::Text;
            std::string e =
                parse_prop(row->kind, text ? "\"" + cmp.value + "\"" : cmp.value, unused);
            if (!e.empty()) return fail(row->key + ": " + e);
        }
        std::string why =
            cmp.applies_to(prop_actual(row->kind, sim.prop_value(window_index, row)).type);
        return why.empty() || fail(row->key + ": " + why);
    }
};

// What a running command needs: the panel, and where the command was written.
struct Runner {
    Simulator& sim;
    const Command& c;
    const Where& where;

    std::vector<Field> located() const {
        std::vector<Field> fields;
        if (!where.file.empty()) fields.push_back({"file", Value::text(where.file)});
        if (where.line > 0) fields.push_back({"line", Value::integer(where.line)});
        return fields;
    }
    bool refuse(const std::string& why) const {
        std::vector<Field> fields = located();
        fields.push_back({"command", Value::text(c.text)});
        fields.push_back({"message", Value::text(why)});
        sim.report(EventType::Error, std::move(fields));
        return false;
    }
    bool expectation(bool met, const std::string& expected = {},
                     const std::string& actual = {}) const {
        std::vector<Field> fields = located();
        fields.push_back({"met", Value::boolean(met)});
        fields.push_back({"command", Value::text(c.text)});
        if (!met) fields.push_back({"expected", Value::text(expected)});
        if (!met || !actual.empty()) fields.push_back({"actual", Value::text(actual)});
        sim.report(EventType::Expect, std::move(fields));
        return met;
    }
    void info(std::string text) const {
        sim.report(EventType::Info, {{"text", Value::text(std::move(text))}});
    }
    // That a setting was taken: not an answer, so the quiet output leaves it out.
    void note(std::string text) const {
        sim.report(EventType::Note, {{"text", Value::text(std::move(text))}});
    }
    void warning(std::string text) const {
        std::vector<Field> fields = located();
        fields.push_back({"message", Value::text(std::move(text))});
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
// The widgets of a window: all of them, or those with a handler of the event.
void add_widgets(const Simulator& sim, const std::string& window, const char* event, Words* out) {
    int index = sim.panel().window_index(window);
    if (index < 0 || sim.handlers(index) == nullptr) return;
    const HandlerWindow& h = *sim.handlers(index);
    if (event == nullptr) {
        for (const std::string& w : h.widgets()) out->push_back(w);
        return;
    }
    for (const EventRow& r : h.events) {
        if (r.event == event) out->push_back(r.widget);
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
}
void complete_plot(Simulator& sim, const Words& w, Words* out) {
    if (w.size() == 1) {
        *out = {"stop", "x="};
        add_tags(sim, out);
    }
}

// ---- parse and run, by command ----

bool parse_set(Parser& p, Command* c) {
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
    if (!p.expect_count(3, 3)) return false;
    return p.tag(p.args[1], &c->tag) && p.tag_value(*c->tag, p.args[2], &c->value);
}
bool run_set(const Runner& r) {
    r.sim.set_tag(*r.c.tag, r.c.value.data());
    return true;
}

bool parse_window(Parser& p, Command* c) {
    return p.expect_count(2, 2) && p.window(p.args[1], &c->window);
}
bool run_show(const Runner& r) {
    r.sim.show(r.c.window);
    return true;
}
bool run_hide(const Runner& r) {
    r.sim.hide(r.c.window);
    return true;
}

bool parse_bare(Parser& p, Command*) {
    return p.expect_count(1, 1);
}
bool run_touch(const Runner& r) {
    r.sim.touch();
    return true;
}

bool parse_click(Parser& p, Command* c) {
    size_t used = 0;
    return p.target(1, "click", false, c, &used) && p.expect_count(1 + used, 1 + used);
}
bool parse_fire(Parser& p, Command* c) {
    size_t used = 0;
    if (!p.target(1, "timer", false, c, &used) || !p.expect_count(1 + used, 2 + used)) {
        return false;
    }
    c->count = 1;
    return p.args.size() == 1 + used || p.count(p.args.back(), 1000000, &c->count);
}
// A click or a tick of a shown window; a modal window takes every click.
bool run_handler(const Runner& r, bool click) {
    const std::string& name = r.panel().windows[r.c.window].name;
    if (!r.sim.shown(r.c.window)) return r.refuse("window " + name + " is not shown");
    int modal = r.sim.modal_window();
    if (click && modal >= 0 && modal != r.c.window) {
        return r.refuse(r.panel().windows[modal].name +
                        " is open modally: only its widgets take clicks");
    }
    if (click) {
        r.sim.click(r.c.window, *r.c.event);
    } else {
        r.sim.fire(r.c.window, *r.c.event, static_cast<unsigned>(r.c.count));
    }
    return true;
}
bool run_click(const Runner& r) {
    return run_handler(r, true);
}
bool run_fire(const Runner& r) {
    return run_handler(r, false);
}

bool parse_run(Parser& p, Command* c) {
    if (p.args.size() >= 2 && p.args[1] == "until") {
        c->form = Command::Form::Until;
        std::vector<std::string> words(p.args.begin() + 2, p.args.end());
        c->count = kRunUntilDefaultMs;
        if (words.size() >= 2 && words[words.size() - 2] == "max") {
            if (!parse_duration(words.back(), &c->count) || c->count == 0) {
                return p.fail("'" + words.back() +
                              "' is not a duration (500ms, 10s, 2m, 1h, 1m30s)");
            }
            words.resize(words.size() - 2);
        }
        return p.condition(words, c);
    }
    if (!p.expect_count(2, 2)) return false;
    return parse_duration(p.args[1], &c->count) ||
           p.fail("'" + p.args[1] + "' is not a duration (500ms, 10s, 2m, 1h, 1m30s)");
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
bool run_until(const Runner& r) {
    SimulatorProbe probe(r.sim);
    const Condition& cond = *r.c.condition;
    uint64_t start = r.sim.now();
    std::string stopped = "met";
    if (!evaluate(cond, probe).holds) {
        stopped = r.sim.run_until(r.c.count, [&] {
            return evaluate(cond, probe).holds ? std::string("met") : std::string();
        });
    }
    Outcome outcome = evaluate(cond, probe);
    if (stopped == "met") {
        std::vector<Field> fields = r.located();
        fields.push_back({"condition", Value::text(cond.text)});
        fields.push_back({"after", Value::text(duration_text(r.sim.now() - start))});
        fields.push_back({"after_ms", Value::integer(static_cast<int64_t>(r.sim.now() - start))});
        fields.push_back({"actual", Value::text(outcome.actual)});
        r.sim.report(EventType::Wait, std::move(fields));
        return true;
    }
    if (stopped == Simulator::kClockEnd) return false;
    if (!stopped.empty()) {
        r.warning("run stopped at " + format_time(r.sim.now()) + " " + stopped);
        return true;
    }
    return r.expectation(false, expectation_text(cond) + " within " + duration_text(r.c.count),
                         outcome.actual + hidden_note(r.sim, probe, cond));
}
bool run_run(const Runner& r) {
    if (r.c.form == Command::Form::Until) return run_until(r);
    std::string stopped = r.sim.run_until(r.c.count, nullptr);
    if (stopped == Simulator::kClockEnd) return false;
    if (!stopped.empty()) r.warning("run stopped at " + format_time(r.sim.now()) + " " + stopped);
    return true;
}

bool parse_clock_command(Parser& p, Command* c) {
    if (!p.expect_count(3, 3)) return false;
    uint32_t seconds = 0;
    std::string text = p.args[1] + " " + p.args[2];
    if (!parse_clock(text, &seconds)) {
        return p.fail("'" + text +
                      "' is not a time YYYY-MM-DD HH:MM:SS from 1970-01-01 00:00:00 to "
                      "2106-02-07 06:28:15");
    }
    c->count = seconds;
    return true;
}
bool run_clock(const Runner& r) {
    r.sim.set_clock_time(static_cast<uint32_t>(r.c.count));
    return true;
}

bool parse_msgbox_answer(Parser& p, const std::string& a, Command* c) {
    std::optional<int> answer = host::parse_msgbox_answer(a, p.error);
    if (answer) c->answers.push_back(*answer);
    return answer.has_value();
}
bool parse_input_answer(Parser& p, const std::string& a, Command* c) {
    std::optional<std::optional<double>> answer = host::parse_input_answer(a, p.error);
    if (answer) c->inputs.push_back(*answer);
    return answer.has_value();
}
bool parse_answer(Parser& p, Command* c) {
    if (p.args.size() < 3 || (p.args[1] != "msgbox" && p.args[1] != "input")) return p.usage();
    c->form = p.args[1] == "msgbox" ? Command::Form::Msgbox : Command::Form::Input;
    for (size_t i = 2; i < p.args.size(); ++i) {
        bool good = c->form == Command::Form::Msgbox ? parse_msgbox_answer(p, p.args[i], c)
                                                     : parse_input_answer(p, p.args[i], c);
        if (!good) return false;
    }
    return true;
}
bool run_answer(const Runner& r) {
    std::vector<Value> answers;
    for (int a : r.c.answers) {
        r.sim.queue_msgbox(a);
        answers.push_back(Value::integer(a));
    }
    for (const auto& v : r.c.inputs) {
        r.sim.queue_input(v);
        answers.push_back(v ? Value::real(*v) : Value::text("cancel"));
    }
    bool msgbox = r.c.form == Command::Form::Msgbox;
    r.sim.report(EventType::Answer, {{"dialog", Value::text(msgbox ? "msgbox" : "input")},
                                     {"answers", Value::list(std::move(answers))}});
    return true;
}

bool parse_expect(Parser& p, Command* c) {
    if (p.args.size() < 2) return p.usage();
    const std::string& what = p.args[1];
    if (what == "shown" || what == "hidden") {
        c->form = what == "shown" ? Command::Form::Shown : Command::Form::Hidden;
        if (p.args.size() < 3) return p.fail("expected: expect " + what + " WINDOW...");
        return p.windows_from(2, c);
    }
    if (what == "tag" && p.args.size() < 4) return p.fail("expected: expect tag TAG [OP] VALUE");
    if (what != "tag" && what != "prop" && p.sim.host().tags().find(what) == nullptr) {
        return p.fail("expect what? tag, shown, hidden, prop or a tag's name, not '" + what + "'");
    }
    c->form = Command::Form::Condition;
    return p.condition(std::vector<std::string>(p.args.begin() + 1, p.args.end()), c);
}

bool expect_windows(const Runner& r, bool want) {
    std::string wrong, shown;
    for (int w : r.c.windows) {
        if (r.sim.shown(w) != want)
            wrong += (wrong.empty() ? "" : ", ") + r.panel().windows[w].name;
    }
    if (wrong.empty()) return r.expectation(true);
    for (size_t i = 0; i < r.panel().windows.size(); ++i) {
        if (r.sim.shown(static_cast<int>(i))) {
            shown += (shown.empty() ? "" : " ") + r.panel().windows[i].name;
        }
    }
    return r.expectation(false, std::string(want ? "shown" : "hidden") + ": " + wrong,
                         "shown windows: " + (shown.empty() ? "none" : shown));
}
bool run_expect(const Runner& r) {
    if (r.c.form == Command::Form::Shown || r.c.form == Command::Form::Hidden) {
        return expect_windows(r, r.c.form == Command::Form::Shown);
    }
    SimulatorProbe probe(r.sim);
    const Condition& cond = *r.c.condition;
    Outcome outcome = evaluate(cond, probe);
    if (outcome.holds) return r.expectation(true, {}, outcome.actual);
    return r.expectation(
        false, expectation_text(cond),
        (outcome.error.empty() ? outcome.actual : outcome.error) + hidden_note(r.sim, probe, cond));
}

bool parse_patterns(Parser& p, Command* c) {
    c->words.assign(p.args.begin() + 1, p.args.end());
    if (c->words.empty()) c->words.push_back("*");
    for (const std::string& pattern : c->words) {
        const auto& tags = p.sim.host().tags().all();
        bool any = std::any_of(tags.begin(), tags.end(),
                               [&](const host::Tag& t) { return matches(pattern, t.def->name); });
        if (!any) return p.fail("no tag matches '" + pattern + "'");
    }
    return true;
}
bool parse_print(Parser& p, Command* c) {
    return p.expect_count(2, 1000) && parse_patterns(p, c);
}
bool run_print(const Runner& r) {
    for (const host::Tag& t : r.sim.host().tags().all()) {
        bool wanted = std::any_of(r.c.words.begin(), r.c.words.end(),
                                  [&](const std::string& p) { return matches(p, t.def->name); });
        if (!wanted) continue;
        r.sim.report(EventType::Print, tag_fields(t));
    }
    return true;
}

bool parse_say(Parser& p, Command* c) {
    std::string text;
    for (size_t i = 1; i < p.args.size(); ++i) text += (i > 1 ? " " : "") + unquoted(p.args[i]);
    c->words.push_back(text);
    return true;
}
bool run_say(const Runner& r) {
    r.sim.report(EventType::Say, {{"text", Value::text(r.c.words.at(0))}});
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

bool run_windows(const Runner& r) {
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

bool parse_handler_window(Parser& p, Command* c) {
    return parse_window(p, c) && p.handlers(c->window) != nullptr;
}
// Each widget with its label and events, then each property with its value and the
// tags its function read at its last poll.
bool run_widgets(const Runner& r) {
    const HandlerWindow& h = *r.sim.handlers(r.c.window);
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
            std::vector<std::string> follows = r.sim.prop_follows(r.c.window, &row, &polled);
            std::string tags;
            for (const std::string& t : follows) tags += (tags.empty() ? "" : ", ") + t;
            if (!polled) {
                tags = "(not polled yet: show the window)";
            } else {
                tags = tags.empty() ? "(reads no tag)" : "follows " + tags;
            }
            rows.push_back({"",
                            "  " + row.property + " = " +
                                format_prop(row.kind, r.sim.prop_value(r.c.window, &row)),
                            tags});
        }
    }
    for (const std::string& line : aligned(rows)) r.info(line);
    return true;
}
bool run_props(const Runner& r) {
    if (r.sim.handlers(r.c.window)->props.empty()) {
        r.info("window " + r.panel().windows[r.c.window].name +
               " has no properties that follow tags (widgets WINDOW lists its widgets)");
        return true;
    }
    for (const PropRow& row : r.sim.handlers(r.c.window)->props) {
        r.sim.report(EventType::PropValue, prop_fields(r.panel().windows[r.c.window].name, row,
                                                       r.sim.prop_value(r.c.window, &row)));
    }
    return true;
}

bool parse_help(Parser& p, Command* c) {
    if (!p.expect_count(1, 2)) return false;
    if (p.args.size() == 2 && command_help(p.args[1]).empty()) {
        return p.fail("no command '" + p.args[1] + "' (commands: " + joined(command_names(), 100) +
                      ")");
    }
    c->words.assign(p.args.begin() + 1, p.args.end());
    return true;
}
bool run_help(const Runner& r) {
    std::string help = r.c.words.empty() ? command_help() : command_help(r.c.words[0]);
    for (size_t start = 0; start < help.size();) {
        size_t end = help.find('\n', start);
        r.info(help.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

// tags: the catalogue, not the values (print gives those).
bool run_tags(const Runner& r) {
    std::vector<std::vector<std::string>> rows;
    for (const host::Tag& t : r.sim.host().tags().all()) {
        bool wanted = std::any_of(r.c.words.begin(), r.c.words.end(),
                                  [&](const std::string& p) { return matches(p, t.def->name); });
        if (!wanted) continue;
        rows.push_back({t.def->name, std::string(host::kind_name(t.def->kind)),
                        "initial " + t.def->initial, t.def->param ? "parameter" : ""});
    }
    for (const std::string& line : aligned(rows)) r.info(line);
    return true;
}

bool parse_break(Parser& p, Command* c) {
    if (p.args.size() == 2 && p.args[1] == "clear") {
        c->words.push_back("clear");
        return true;
    }
    if (p.args.size() == 1) return true;
    c->form = Command::Form::Condition;
    return p.condition(std::vector<std::string>(p.args.begin() + 1, p.args.end()), c);
}
bool run_break(const Runner& r) {
    Session& session = r.sim.session();
    if (r.c.condition) {
        session.breaks.push_back({*r.c.condition, false});
        r.note("a run stops when " + r.c.condition->text + " comes to hold (break clear drops it)");
        return true;
    }
    if (!r.c.words.empty()) session.breaks.clear();
    for (const Session::Break& b : session.breaks) r.info("break " + b.condition.text);
    if (session.breaks.empty()) r.info("no breaks");
    return true;
}

bool parse_watch(Parser& p, Command* c) {
    if (!p.expect_count(2, 1000)) return false;
    return parse_patterns(p, c);
}
bool parse_unwatch(Parser& p, Command* c) {
    c->words.assign(p.args.begin() + 1, p.args.end());
    return true;
}
bool run_watch(const Runner& r, bool add) {
    std::vector<std::string>& watched = r.sim.session().view.watched;
    if (!add && r.c.words.empty()) watched.clear();
    for (const std::string& w : r.c.words) {
        auto at = std::find(watched.begin(), watched.end(), w);
        if (add && at == watched.end()) watched.push_back(w);
        if (!add && at != watched.end()) watched.erase(at);
    }
    std::string list;
    for (const std::string& w : watched) list += (list.empty() ? "" : " ") + w;
    r.note(watched.empty() ? "watching every tag" : "watching only the writes of " + list);
    return true;
}
bool run_watch_add(const Runner& r) {
    return run_watch(r, true);
}
bool run_unwatch(const Runner& r) {
    return run_watch(r, false);
}

bool parse_trace(Parser& p, Command* c) {
    if (!p.expect_count(2, 2)) return false;
    if (!parse_level(p.args[1])) {
        return p.fail("'" + p.args[1] + "' is not a level: quiet, normal or full");
    }
    c->words.push_back(p.args[1]);
    return true;
}
bool run_trace(const Runner& r) {
    r.sim.session().view.level = *parse_level(r.c.words.at(0));
    r.note("trace " + r.c.words.at(0));
    return true;
}

bool run_restart(const Runner& r) {
    r.sim.restart();
    return true;
}

bool parse_path(Parser& p, Command* c) {
    if (!p.expect_count(2, 2)) return false;
    c->path = unquoted(p.args[1]);
    return true;
}
bool run_record(const Runner& r) {
    std::optional<ScenarioRecorder>& recorder = r.sim.session().recorder;
    if (r.c.path == "stop") {
        if (!recorder) return r.refuse("nothing is being recorded");
        r.note("recording written to " + recorder->path());
        recorder.reset();
        return true;
    }
    std::string error;
    recorder = ScenarioRecorder::open(r.c.path, &error);
    if (!recorder) return r.refuse(error);
    r.note("recording what is typed to " + r.c.path + " (record stop ends it)");
    return true;
}
bool run_load(const Runner& r) {
    Session& session = r.sim.session();
    if (session.load_depth >= kMostLoadDepth) {
        return r.refuse("scenarios that load scenarios, " + std::to_string(kMostLoadDepth) +
                        " deep: stopped here");
    }
    std::string text;
    try {
        text = read_file(r.c.path);
    } catch (const std::exception& e) {
        return r.refuse(e.what());
    }
    ++session.load_depth;
    ScenarioResult result = run_scenario(text, r.c.path, r.sim);
    --session.load_depth;
    return result.ok();
}

bool parse_plot(Parser& p, Command* c) {
    if (p.args.size() == 2 && p.args[1] == "stop") return true;
    if (!p.expect_count(3, 3)) return false;
    c->plot = PlotSpec::parse(p.args[1], p.error);
    if (!c->plot || !PlotSampler::make(p.sim, c->plot->tags, p.error)) return false;
    c->path = unquoted(p.args[2]);
    if (!c->path.ends_with(".svg") && !c->path.ends_with(".csv")) {
        return p.fail("'" + c->path + "': a plot is written as FILE.svg or FILE.csv");
    }
    return true;
}
bool run_plot(const Runner& r) {
    Session& session = r.sim.session();
    if (!r.c.plot) {
        std::vector<std::string> errors;
        for (const std::string& line : session.finish_plots(r.sim.now(), &errors)) r.note(line);
        for (const std::string& e : errors) r.refuse(e);
        if (session.plots.empty() && errors.empty()) r.info("no plot is being drawn");
        return errors.empty();
    }
    std::string error;
    std::optional<PlotSampler> sampler = PlotSampler::make(r.sim, r.c.plot->tags, &error);
    if (!sampler) return r.refuse(error);
    session.plots.push_back({*r.c.plot, std::move(*sampler), r.c.path});
    r.note("plotting to " + r.c.path + " (plot stop writes it)");
    return true;
}

// quit: the prompt ends before the line is parsed; in a scenario it does nothing.
bool run_nothing(const Runner&) {
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
     false, kRecorded, parse_set, run_set, complete_tag},
    {"show", "show WINDOW", "show a window (runs its open handler)",
     "Its timers start, its properties are polled.", false, kRecorded, parse_window, run_show,
     complete_window},
    {"hide", "hide WINDOW", "hide a window (runs its close handler)", "Its timers stop.", false,
     kRecorded, parse_window, run_hide, complete_window},
    {"touch", "touch", "touch the panel where no widget has a handler",
     "Sets system.IsMouseDown to 1, as any touch does.", false, kRecorded, parse_bare, run_touch,
     complete_nothing},
    {"click", "click WINDOW WIDGET | click KEY", "touch and click a widget",
     "The window must be shown, and no other window may hold the panel modally.\n"
     "WIDGET is its name or its label (widgets WINDOW lists both): click 12 \"HV203\n"
     "duration\", click timeinput confirm, click 18 pause. KEY is the handler's key,\n"
     "window_widget_click.",
     false, kRecorded, parse_click, run_click, complete_click},
    {"fire", "fire WINDOW WIDGET [N] | fire KEY [N]",
     "tick a timer N times now, without moving the clock",
     "Each tick runs with everything it causes before the next.", false, kRecorded, parse_fire,
     run_fire, complete_click},
    {"run", "run DURATION | run until CONDITION [max DURATION]",
     "let simulated time pass: 500ms, 10s, 2m, 1h, 1m30s; or until a condition holds",
     "Every timer of a shown window ticks at its period, in time order. run until stops\n"
     "at the first event after which the condition holds (it looks before running too);\n"
     "without max it waits at most 1h of panel time, then fails with the value found.\n"
     "CONDITION is as for expect: run until kelvor.save_flag = 3 max 2m, run until\n"
     "shown timeinput. At the prompt Ctrl-C stops a run at the moment it has reached.",
     false, kRecorded, parse_run, run_run, complete_run},
    {"clock", "clock YYYY-MM-DD HH:MM:SS", "set the panel's clock (UTC)",
     "The system clock tags follow it; simulated time goes on from there.", false, kRecorded,
     parse_clock_command, run_clock, complete_nothing},
    {"answer", "answer msgbox yes|no|N ... | answer input NUMBER|cancel ...",
     "queue answers for the next questions or input dialogs",
     "yes is 6, no is 7, ok is 1. Notices need no answer. An answer that no dialog took\n"
     "fails the scenario at its end.",
     false, kRecorded, parse_answer, run_answer, complete_answer},
    {"expect", "expect CONDITION", "check the panel; a failed check fails the run",
     "CONDITION: [tag] TAG [OP] VALUE | shown WINDOW... | hidden WINDOW... |\n"
     "prop WINDOW WIDGET PROPERTY [OP] VALUE | prop KEY [OP] VALUE.\n"
     "OP: = != < <= > >= (= when left out), or ~ VALUE +- TOLERANCE (or ±).\n"
     "A float equals VALUE when they agree to the digits VALUE is written with: 13.9 is\n"
     "met by 13.900001 and 13.94, 13.90 is not met by 13.906; <= and >= hold for such\n"
     "equal values too. Whole numbers and texts compare exactly. A failed check shows\n"
     "what was expected next to what is; a met one shows what was found.",
     true, kRecorded, parse_expect, run_expect, complete_expect},
    {"print", "print GLOB...", "show the current values of the tags whose names match",
     "Shell patterns: * any text, ? one character, [...] one of.", false, kRecorded, parse_print,
     run_print, complete_tags},
    {"say", "say TEXT", "write a line of narration into the trace", "", false, kRecorded, parse_say,
     run_say, complete_nothing},
    {"windows", "windows", "list the panel's windows",
     "Shown or hidden, their handlers and their timers.", false, kPromptOnly, parse_bare,
     run_windows, complete_nothing},
    {"widgets", "widgets WINDOW",
     "list a window's widgets: label, events, properties with their values and tags",
     "The tags a property follows are those its function read when last polled.", false,
     kPromptOnly, parse_handler_window, run_widgets, complete_window},
    {"props", "props WINDOW", "list a window's properties with their current values", "", false,
     kPromptOnly, parse_handler_window, run_props, complete_window},
    {"tags", "tags [GLOB...]", "list the catalogue's tags: kind, initial value, parameter",
     "print gives their current values.", false, kPromptOnly, parse_patterns, run_tags,
     complete_tags},
    {"watch", "watch TAG-GLOB...",
     "trace only these tags' writes (each under the event that caused it), and failures",
     "Several watch commands add up; unwatch drops some or all.", false, kRecorded, parse_watch,
     run_watch_add, complete_tags},
    {"unwatch", "unwatch [TAG-GLOB...]", "stop watching these tags (all when none is named)", "",
     false, kRecorded, parse_unwatch, run_unwatch, complete_tags},
    {"trace", "trace quiet|normal|full", "how much the trace shows from now on",
     "quiet: failures, errors, warnings, asked-for values and narration; normal: also\n"
     "events, tag writes, window calls, dialogs, parameters and met expectations; full:\n"
     "also every property change.",
     false, kRecorded, parse_trace, run_trace, complete_trace},
    {"break", "break [CONDITION | clear]",
     "stop any run when the condition comes to hold; alone, list the breaks",
     "CONDITION is as for expect. The run stops at the simulated moment of the event\n"
     "after which it holds, and says why.",
     false, kPromptOnly, parse_break, run_break, complete_break},
    {"restart", "restart", "switch the panel off and on",
     "Tags back to their initial values, the saved parameters loaded again, the start\n"
     "window shown, timers from zero. Windows go without their close handlers, as at a\n"
     "power cut; simulated time and the clock go on.",
     false, kRecorded, parse_bare, run_restart, complete_nothing},
    {"record", "record FILE | record stop",
     "write what is typed from now on, with the answers given to dialogs, as a scenario",
     "Listings, help and record itself are left out.", false, kPromptOnly, parse_path, run_record,
     complete_record},
    {"load", "load FILE", "run a scenario file here, on this panel",
     "In a scenario, FILE is found beside it.", false, kRecorded, parse_path, run_load,
     complete_nothing},
    {"plot", "plot TAG,TAG... FILE | plot x=TAG,y=TAG FILE | plot stop",
     "sample numeric tags from now on; plot stop (or the end) writes FILE, .svg or .csv",
     "TAG,TAG...: the tags against simulated time; x=TAG,y=TAG: one against the other.", false,
     kRecorded, parse_plot, run_plot, complete_plot},
    {"help", "help [COMMAND]", "this list, or more about one command", "", false, kPromptOnly,
     parse_help, run_help, complete_help},
    {"quit", "quit | exit", "leave the prompt (exit does the same)", "", false, kPromptOnly,
     parse_bare, run_nothing, complete_nothing},
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

std::optional<Command> parse_command(std::string_view line, Simulator& sim, std::string* error) {
    error->clear();
    std::vector<std::string> args;
    if (!split_words(line, &args, error) || args.empty()) return std::nullopt;
    const CommandRow* row = find_command(args[0]);
    if (row == nullptr) {
        *error =
            "unknown command '" + args[0] + "' (commands: " + joined(command_names(), 100) + ")";
        return std::nullopt;
    }
    Command c{};
    c.row = row;
    c.text = std::string(line);
    while (!c.text.empty() && (c.text.back() == '\r' || c.text.back() == ' ')) c.text.pop_back();
    Parser p{sim, *row, std::move(args), error};
    if (!row->parse(p, &c)) return std::nullopt;
    return c;
}

bool execute(const Command& command, Simulator& sim, const Where& where) {
    return command.row->run(Runner{sim, command, where});
}

}  // namespace hmi::sim
