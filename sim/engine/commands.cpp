// The scenario commands, one row each: name, usage, help, how a line of it is parsed
// and checked against the panel, how it runs, and what Tab completes after it.
#include <fnmatch.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "host/gbk.hpp"
#include "sim/engine/scenario.hpp"

namespace hmi::sim {

namespace {
// The answers of a message box as the panel numbers them.
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

std::string joined(const std::vector<std::string>& names, size_t most = 12) {
    std::string out;
    for (size_t i = 0; i < names.size() && i < most; ++i) out += (i ? ", " : "") + names[i];
    if (names.size() > most) out += ", ... (" + std::to_string(names.size()) + " in all)";
    return out;
}

std::string unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

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

    bool widget_row(int index, const std::string& widget, const std::string& name, bool property,
                    Command* c) {
        const HandlerWindow* h = handlers(index);
        if (h == nullptr) return false;
        const std::string& window = sim.panel().windows[index].name;
        std::vector<std::string> widgets = h->widgets();
        if (std::find(widgets.begin(), widgets.end(), widget) == widgets.end()) {
            return fail("window " + window + " has no widget '" + widget +
                        "' with handlers (widgets: " + joined(widgets) + ")");
        }
        std::vector<std::string> names;
        if (property) {
            c->prop = h->prop(widget, name);
            if (c->prop != nullptr) return true;
            for (const PropRow& r : h->props) {
                if (r.widget == widget) names.push_back(r.property);
            }
            return fail(window + " " + widget + " has no property '" + name +
                        "' (its properties: " + (names.empty() ? "none" : joined(names)) + ")");
        }
        c->event = h->event(widget, name);
        if (c->event != nullptr) return true;
        for (const EventRow& r : h->events) {
            if (r.widget == widget) names.push_back(r.event);
        }
        return fail(window + " " + widget + " has no " + name +
                    " handler (its events: " + (names.empty() ? "none" : joined(names)) + ")");
    }

    // A handler key "window_widget_name" for WINDOW WIDGET [PROPERTY].
    bool key_target(const std::string& key, const std::string& name, bool property, Command* c) {
        std::string hw, widget, last;
        if (!split_key(key, &hw, &widget, &last)) {
            return fail("no window '" + key + "' in the panel, nor is it a handler key");
        }
        if (!property && last != name) return fail(key + " is not a " + name + " handler");
        c->window = -1;
        for (size_t i = 0; i < sim.panel().windows.size() && c->window < 0; ++i) {
            if (sim.panel().windows[i].handlers == hw) c->window = static_cast<int>(i);
        }
        if (c->window < 0) return fail("no window of the panel has the handlers of \"" + hw + "\"");
        return widget_row(c->window, widget, last, property, c);
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
        if (!met) {
            fields.push_back({"expected", Value::text(expected)});
            fields.push_back({"actual", Value::text(actual)});
        }
        sim.report(EventType::Expect, std::move(fields));
        return met;
    }
    void info(std::string text) const {
        sim.report(EventType::Info, {{"text", Value::text(std::move(text))}});
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
    if (w.size() >= 2 && w[1] == "msgbox") *out = {"yes", "no"};
    if (w.size() >= 2 && w[1] == "input") *out = {"cancel"};
}
void complete_expect(Simulator& sim, const Words& w, Words* out) {
    size_t n = w.size();
    if (n == 1) *out = {"tag", "shown", "hidden", "prop"};
    if (n == 1) return;
    if (n == 2 && w[1] == "tag") add_tags(sim, out);
    if (w[1] == "shown" || w[1] == "hidden") add_windows(sim, out);
    if (w[1] != "prop") return;
    if (n == 2) add_windows(sim, out);
    if (n == 3) add_widgets(sim, w[2], nullptr, out);
    if (n == 4) add_properties(sim, w[2], w[3], out);
}
void complete_help(Simulator&, const Words& w, Words* out) {
    if (w.size() == 1) *out = command_names();
}

// ---- parse and run, by command ----

bool parse_set(Parser& p, Command* c) {
    if (p.args.size() == 4 && p.args[2] == "=") p.args.erase(p.args.begin() + 2);
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
    if (!p.expect_count(2, 2)) return false;
    return parse_duration(p.args[1], &c->count) ||
           p.fail("'" + p.args[1] + "' is not a duration (500ms, 10s, 2m, 1h, 1m30s)");
}
bool run_run(const Runner& r) {
    r.sim.run(r.c.count);
    return true;
}

bool parse_clock_command(Parser& p, Command* c) {
    if (!p.expect_count(3, 3)) return false;
    uint32_t seconds = 0;
    std::string text = p.args[1] + " " + p.args[2];
    if (!parse_clock(text, &seconds)) {
        return p.fail("'" + text + "' is not a time YYYY-MM-DD HH:MM:SS from 1970 to 2105");
    }
    c->count = seconds;
    return true;
}
bool run_clock(const Runner& r) {
    r.sim.set_clock_time(static_cast<uint32_t>(r.c.count));
    return true;
}

bool parse_msgbox_answer(Parser& p, const std::string& a, Command* c) {
    int n = 0;
    auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), n);
    if (a == "yes") {
        n = kAnswerYes;
    } else if (a == "no") {
        n = kAnswerNo;
    } else if (ec != std::errc() || end != a.data() + a.size()) {
        return p.fail("'" + a + "' is not an answer: yes (6), no (7) or a number");
    }
    c->answers.push_back(n);
    return true;
}
bool parse_input_answer(Parser& p, const std::string& a, Command* c) {
    if (a == "cancel") {
        c->inputs.push_back(std::nullopt);
        return true;
    }
    double v = 0;
    auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), v);
    if (ec != std::errc() || end != a.data() + a.size() || !std::isfinite(v)) {
        return p.fail("'" + a + "' is not a number (or cancel)");
    }
    c->inputs.push_back(v);
    return true;
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

bool parse_expect_prop(Parser& p, Command* c) {
    size_t used = 0;
    if (!p.target(2, "", true, c, &used)) return false;
    if (p.args.size() != 3 + used) {
        return p.fail("expected: expect prop WINDOW WIDGET PROPERTY VALUE | expect prop KEY VALUE");
    }
    c->value.assign(HMI_TEXT_VALUE_SIZE, 0);
    std::string e = parse_prop(c->prop->kind, p.args.back(), c->value.data());
    return e.empty() || p.fail(c->prop->key + ": " + e);
}
bool parse_expect(Parser& p, Command* c) {
    if (p.args.size() < 2) return p.usage();
    const std::string& what = p.args[1];
    if (what == "tag") {
        c->form = Command::Form::Tag;
        if (p.args.size() != 4) return p.fail("expected: expect tag TAG VALUE");
        return p.tag(p.args[2], &c->tag) && p.tag_value(*c->tag, p.args[3], &c->value);
    }
    if (what == "shown" || what == "hidden") {
        c->form = what == "shown" ? Command::Form::Shown : Command::Form::Hidden;
        if (p.args.size() < 3) return p.fail("expected: expect " + what + " WINDOW...");
        return p.windows_from(2, c);
    }
    if (what == "prop") {
        c->form = Command::Form::Prop;
        return parse_expect_prop(p, c);
    }
    return p.fail("expect what? tag, shown, hidden or prop");
}

std::string tag_text(const host::Tag& tag) {
    return host::typed_value(tag.def->kind, tag.value).readable(true);
}

bool same_tag_value(const host::Tag& tag, const std::vector<unsigned char>& value) {
    switch (tag.def->kind) {
        case host::Kind::Text:
            return std::strncmp(reinterpret_cast<const char*>(tag.value),
                                reinterpret_cast<const char*>(value.data()),
                                host::kTextTagSize) == 0;
        case host::Kind::F32: {
            float a, b;
            std::memcpy(&a, tag.value, 4);
            std::memcpy(&b, value.data(), 4);
            return a == b;
        }
        default:
            return std::memcmp(tag.value, value.data(), host::width(tag.def->kind)) == 0;
    }
}

bool same_prop_value(PropKind kind, const unsigned char* a, const unsigned char* b) {
    if (kind == PropKind::Text) {
        return std::strncmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b),
                            HMI_TEXT_VALUE_SIZE) == 0;
    }
    if (kind == PropKind::Float) {
        float x, y;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        return x == y;
    }
    return std::memcmp(a, b, prop_width(kind)) == 0;
}

bool expect_tag(const Runner& r) {
    const host::Tag& tag = *r.c.tag;
    if (same_tag_value(tag, r.c.value)) return r.expectation(true);
    std::string expected = host::typed_value(tag.def->kind, r.c.value.data()).readable(true);
    return r.expectation(false, tag.def->name + " = " + expected,
                         tag.def->name + " = " + tag_text(tag));
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
bool expect_prop(const Runner& r) {
    const PropRow& row = *r.c.prop;
    const unsigned char* value = r.sim.prop_value(r.c.window, &row);
    if (same_prop_value(row.kind, value, r.c.value.data())) return r.expectation(true);
    std::string name = r.panel().windows[r.c.window].name + " " + row.widget + " " + row.property;
    return r.expectation(false, name + " = " + format_prop(row.kind, r.c.value.data()),
                         name + " = " + format_prop(row.kind, value) +
                             (r.sim.shown(r.c.window) ? "" : " (window not shown)"));
}
bool run_expect(const Runner& r) {
    switch (r.c.form) {
        case Command::Form::Tag:
            return expect_tag(r);
        case Command::Form::Shown:
        case Command::Form::Hidden:
            return expect_windows(r, r.c.form == Command::Form::Shown);
        default:
            return expect_prop(r);
    }
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
        r.sim.report(EventType::Print,
                     {{"tag", Value::text(t.def->name)},
                      {"kind", Value::text(std::string(host::kind_name(t.def->kind)))},
                      {"value", host::typed_value(t.def->kind, t.value)}});
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

bool run_windows(const Runner& r) {
    for (size_t i = 0; i < r.panel().windows.size(); ++i) {
        int index = static_cast<int>(i);
        const PanelWindow& w = r.panel().windows[i];
        const HandlerWindow* h = r.sim.handlers(index);
        std::string text = w.name + (r.sim.shown(index) ? "  shown" : "  hidden");
        if (r.sim.modal_window() == index) text += " modal";
        if (h == nullptr) text += "  no handlers";
        if (h != nullptr) {
            text += "  " + std::to_string(h->events.size()) + " events, " +
                    std::to_string(h->props.size()) + " properties";
            if (h->name != w.name) text += " (keys \"" + h->name + "_...\")";
        }
        for (const PanelTimer& t : r.panel().timers) {
            if (t.window != w.name) continue;
            text += "  " + t.widget + " every " + std::to_string(t.period_ms) + " ms";
            if (h == nullptr || h->event(t.widget, "timer") == nullptr) text += " (no handler)";
        }
        r.info(text);
    }
    return true;
}

bool parse_handler_window(Parser& p, Command* c) {
    return parse_window(p, c) && p.handlers(c->window) != nullptr;
}
bool run_widgets(const Runner& r) {
    const HandlerWindow& h = *r.sim.handlers(r.c.window);
    for (const std::string& widget : h.widgets()) {
        std::string text = widget + ":";
        for (const EventRow& row : h.events) {
            if (row.widget == widget) text += " " + row.event;
        }
        for (const PropRow& row : h.props) {
            if (row.widget == widget) text += " ." + row.property;
        }
        r.info(text);
    }
    return true;
}
bool run_props(const Runner& r) {
    for (const PropRow& row : r.sim.handlers(r.c.window)->props) {
        r.sim.report(EventType::PropValue,
                     {{"window", Value::text(r.panel().windows[r.c.window].name)},
                      {"widget", Value::text(row.widget)},
                      {"property", Value::text(row.property)},
                      {"kind", Value::text(prop_kind_name(row.kind))},
                      {"value", typed_prop(row.kind, r.sim.prop_value(r.c.window, &row))}});
    }
    return true;
}

bool parse_help(Parser& p, Command* c) {
    if (!p.expect_count(1, 2)) return false;
    if (p.args.size() == 2 && find_command(p.args[1]) == nullptr) {
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

const CommandRow kCommands[] = {
    {"set", "set TAG [=] VALUE", "give a tag a value (as the panel's own data would)",
     "A number in range for the tag's kind (decimal or 0x hex), a float, or a text in\n"
     "double quotes. Properties that read the tag are polled again.",
     false, parse_set, run_set, complete_tag},
    {"show", "show WINDOW", "show a window (runs its open handler)",
     "Its timers start, its properties are polled.", false, parse_window, run_show,
     complete_window},
    {"hide", "hide WINDOW", "hide a window (runs its close handler)", "Its timers stop.", false,
     parse_window, run_hide, complete_window},
    {"touch", "touch", "touch the panel where no widget has a handler",
     "Sets system.IsMouseDown to 1, as any touch does.", false, parse_bare, run_touch,
     complete_nothing},
    {"click", "click WINDOW WIDGET | click KEY", "touch and click a widget",
     "The window must be shown, and no other window may hold the panel modally.\n"
     "KEY is the handler's key, window_widget_click.",
     false, parse_click, run_click, complete_click},
    {"fire", "fire WINDOW WIDGET [N] | fire KEY [N]",
     "tick a timer N times now, without moving the clock",
     "Each tick runs with everything it causes before the next.", false, parse_fire, run_fire,
     complete_click},
    {"run", "run DURATION", "let simulated time pass: 500ms, 10s, 2m, 1h, 1m30s",
     "Every timer of a shown window ticks at its period, in time order.", false, parse_run, run_run,
     complete_nothing},
    {"clock", "clock YYYY-MM-DD HH:MM:SS", "set the panel's clock (UTC)",
     "The system clock tags follow it; simulated time goes on from there.", false,
     parse_clock_command, run_clock, complete_nothing},
    {"answer", "answer msgbox yes|no|N ... | answer input NUMBER|cancel ...",
     "queue answers for the next questions or input dialogs",
     "yes is 6, no is 7. Notices need no answer. An answer that no dialog took fails the\n"
     "scenario at its end.",
     false, parse_answer, run_answer, complete_answer},
    {"expect",
     "expect tag TAG VALUE | shown WINDOW... | hidden WINDOW... | prop WINDOW WIDGET PROPERTY "
     "VALUE | prop KEY VALUE",
     "check the panel; a failed check fails the run",
     "A failed check shows what was expected next to what is.", true, parse_expect, run_expect,
     complete_expect},
    {"print", "print GLOB...", "show the tags whose names match",
     "Shell patterns: * any text, ? one character, [...] one of.", false, parse_print, run_print,
     complete_tags},
    {"say", "say TEXT", "write a line of narration into the trace", "", false, parse_say, run_say,
     complete_nothing},
    {"windows", "windows", "list the panel's windows",
     "Shown or hidden, their handlers and their timers.", false, parse_bare, run_windows,
     complete_nothing},
    {"widgets", "widgets WINDOW", "list a window's widgets with their events and properties", "",
     false, parse_handler_window, run_widgets, complete_window},
    {"props", "props WINDOW", "list a window's properties with their current values", "", false,
     parse_handler_window, run_props, complete_window},
    {"tags", "tags [GLOB...]", "list tags (all, or those that match)", "", false, parse_patterns,
     run_print, complete_tags},
    {"help", "help [COMMAND]", "this list, or more about one command", "", false, parse_help,
     run_help, complete_help},
};
}  // namespace

const CommandRow* find_command(std::string_view name) {
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
    return out;
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
