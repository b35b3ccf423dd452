#include "sim/engine/scenario.hpp"

#include <fnmatch.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "host/gbk.hpp"
#include "sim/engine/probe.hpp"
#include "sim/engine/session.hpp"

namespace hmi::sim {

namespace {
using Kind = Command::Kind;

struct Syntax {
    const char* name;
    const char* usage;
    const char* help;
    const char* more;  // the longer help of `help COMMAND`
};
constexpr Syntax kSyntax[] = {
    {"set", "set TAG [=] VALUE", "give a tag a value (as the panel's own data would)",
     "TAG=VALUE works too. A text of several words goes in double quotes: set dish.iuput0 "
     "\"a b\"."},
    {"show", "show WINDOW", "show a window (runs its open handler)", ""},
    {"hide", "hide WINDOW", "hide a window (runs its close handler)", ""},
    {"touch", "touch", "touch the panel where no widget has a handler", ""},
    {"click", "click WINDOW WIDGET | click KEY", "touch and click a widget",
     "WIDGET is the widget's name or its label (widgets WINDOW lists both), e.g. click 12 "
     "\"HV203 duration\", click timeinput confirm, click 18 pause."},
    {"fire", "fire WINDOW WIDGET [N] | fire KEY [N]",
     "tick a timer N times now, without moving the clock", ""},
    {"run", "run DURATION | run until CONDITION [max DURATION]",
     "let simulated time pass: 500ms, 10s, 2m, 1h, 1m30s; or until a condition holds",
     "run until stops at the first event after which the condition holds (it checks before "
     "running too); without max it waits at most 1h of panel time, and fails with the "
     "value it found then. CONDITION is as for expect: run until kelvor.save_flag = 3 max "
     "2m, run until shown timeinput, run until chief.wy_left >= 13.9. At the prompt, Ctrl-C "
     "stops a run at the moment it has reached."},
    {"clock", "clock YYYY-MM-DD HH:MM:SS", "set the panel's clock (UTC)", ""},
    {"answer", "answer msgbox yes|no|N ... | answer input NUMBER|cancel ...",
     "queue answers for the next questions or input dialogs",
     "Message box answers: yes (6), no (7), OK (1) or a number; a notice (style 0) needs "
     "none."},
    {"expect", "expect CONDITION", "check the panel; a failed check fails the run",
     "CONDITION: [tag] TAG [OP] VALUE | shown WINDOW... | hidden WINDOW... | prop WINDOW "
     "WIDGET PROPERTY [OP] VALUE | prop KEY [OP] VALUE. OP: = != < <= > >= (= when left "
     "out), or ~ VALUE +- TOLERANCE (± works too). A float equals VALUE when they agree to "
     "the digits VALUE is written with: 13.9 is met by 13.900001 and 13.94, 13.90 is not met "
     "by 13.906. Whole numbers and texts are compared exactly."},
    {"print", "print GLOB...", "show the current values of the tags whose names match", ""},
    {"say", "say TEXT", "write a line of narration into the trace", ""},
    {"watch", "watch TAG-GLOB...",
     "trace only the writes of these tags (with the event that caused each), failures and "
     "errors",
     "Several watch commands add up; unwatch drops some or all of them."},
    {"unwatch", "unwatch [TAG-GLOB...]", "stop watching these tags (all when none is named)", ""},
    {"trace", "trace quiet|normal|full", "choose how much the trace shows from now on",
     "quiet: failures, errors, asked-for values and narration; normal: also events, tag "
     "writes, window calls, dialogs, parameters and met expectations; full: also every "
     "property change."},
    {"break", "break [CONDITION | clear]",
     "stop any run when the condition comes to hold (break alone lists them)", ""},
    {"restart", "restart",
     "switch the panel off and on: tags initial, saved parameters loaded, start window "
     "shown, timers from zero",
     "Simulated time and the panel's clock go on; windows are hidden without their close "
     "handlers, as at a power cut."},
    {"record", "record FILE | record stop",
     "write the commands typed from now on, with the dialog answers given, as a scenario", ""},
    {"load", "load FILE", "run a scenario file here and now", ""},
    {"plot", "plot TAG,TAG... FILE | plot x=TAG,y=TAG FILE | plot stop",
     "sample numeric tags from now on; plot stop (or the end) writes FILE: .svg or .csv",
     "TAG,TAG...: the tags against simulated time; x=TAG,y=TAG: one against the other."},
    {"windows", "windows", "list the panel's windows", ""},
    {"widgets", "widgets WINDOW",
     "list a window's widgets: label, events, properties with their values and the tags "
     "they follow",
     ""},
    {"props", "props WINDOW", "list a window's properties with their current values", ""},
    {"tags", "tags [GLOB...]", "list the catalogue's tags: kind, initial value, parameter", ""},
    {"help", "help [COMMAND]", "this list, or one command in full", ""},
    {"quit", "quit | exit", "leave the prompt", ""},
};

const char* usage(const std::string& name) {
    for (const Syntax& s : kSyntax) {
        if (name == s.name) return s.usage;
    }
    return "";
}

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

struct Parser {
    Simulator& sim;
    std::vector<std::string> args;
    std::string* error;

    bool fail(std::string message) {
        *error = std::move(message);
        return false;
    }
    bool expect_count(size_t least, size_t most) {
        if (args.size() >= least && args.size() <= most) return true;
        return fail(std::string("expected: ") + usage(args[0]));
    }

    bool window(const std::string& name, int* index) {
        *index = sim.panel().window_index(name);
        if (*index < 0) return fail("no window '" + name + "' in the panel");
        return true;
    }

    // The handlers of a panel window, with a reason when it has none.
    const HandlerWindow* handlers(int index) {
        const PanelWindow& w = sim.panel().windows[index];
        if (const HandlerWindow* h = sim.handlers(index)) return h;
        if (w.handlers.empty()) {
            std::string message = "window " + w.name + " has no handlers of its own";
            for (const PanelWindow& other : sim.panel().windows) {
                if (other.handlers == w.name) {
                    message += " (the keys of \"" + w.name + "\" belong to " + other.name + ")";
                }
            }
            fail(message);
        } else {
            fail("the library has no handlers for window " + w.name + " (yet)");
        }
        return nullptr;
    }

    bool widget_row(int index, const std::string& widget_word, const std::string& name,
                    bool property, const EventRow** event, const PropRow** prop) {
        const HandlerWindow* h = handlers(index);
        if (h == nullptr) return false;
        const std::string& window = sim.panel().windows[index].name;
        std::string message;
        std::optional<std::string> found =
            find_widget(*h, sim.panel().labels, widget_word, &message);
        if (!found) {
            if (h->name != window) message.replace(0, 7 + h->name.size(), "window " + window);
            return fail(message);
        }
        const std::string& widget = *found;
        std::vector<std::string> names;
        if (property) {
            *prop = h->prop(widget, name);
            if (*prop != nullptr) return true;
            for (const PropRow& r : h->props) {
                if (r.widget == widget) names.push_back(r.property);
            }
            return fail(window + " " + widget + " has no property '" + name +
                        "' (its properties: " + (names.empty() ? "none" : joined(names)) + ")");
        }
        *event = h->event(widget, name);
        if (*event != nullptr) return true;
        for (const EventRow& r : h->events) {
            if (r.widget == widget) names.push_back(r.event);
        }
        return fail(window + " " + widget + " has no " + name +
                    " handler (its events: " + (names.empty() ? "none" : joined(names)) + ")");
    }

    // WINDOW WIDGET or KEY at args[at]; *used is how many words it took.
    bool target(size_t at, const std::string& name, bool property, Command* c, size_t* used) {
        if (at >= args.size()) return fail(std::string("expected: ") + usage(args[0]));
        const std::string& first = args[at];
        if (sim.panel().window_index(first) >= 0) {
            if (at + 1 >= args.size()) return fail(std::string("expected: ") + usage(args[0]));
            if (!window(first, &c->window)) return false;
            *used = 2;
            std::string prop_name = name;
            if (property) {
                if (at + 2 >= args.size()) {
                    return fail(std::string("expected: ") + usage(args[0]));
                }
                prop_name = args[at + 2];
                *used = 3;
            }
            return widget_row(c->window, args[at + 1], prop_name, property, &c->event, &c->prop);
        }
        std::string hw, widget, last;
        if (!split_key(first, &hw, &widget, &last)) {
            return fail("no window '" + first + "' in the panel, nor is it a handler key");
        }
        if (!property && last != name) return fail(first + " is not a " + name + " handler");
        c->window = -1;
        for (size_t i = 0; i < sim.panel().windows.size(); ++i) {
            if (sim.panel().windows[i].handlers == hw) {
                c->window = static_cast<int>(i);
                break;
            }
        }
        if (c->window < 0) return fail("no window of the panel has the handlers of \"" + hw + "\"");
        *used = 1;
        return widget_row(c->window, widget, last, property, &c->event, &c->prop);
    }

    bool tag(const std::string& name, host::Tag** out) {
        *out = sim.host().tags().find(name);
        if (*out == nullptr) return fail("no tag '" + name + "'");
        return true;
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
        if (!e.empty()) {
            return fail(tag.def->name + " (" + std::string(host::kind_name(tag.def->kind)) +
                        "): " + e);
        }
        return true;
    }

    bool count(const std::string& text, uint64_t most, uint64_t* out) {
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
        if (ec != std::errc() || end != text.data() + text.size() || *out == 0 || *out > most) {
            return fail("'" + text + "' is not a count from 1 to " + std::to_string(most));
        }
        return true;
    }

    bool tags_match(const std::vector<std::string>& patterns) {
        for (const std::string& pattern : patterns) {
            bool any = false;
            for (const host::Tag& t : sim.host().tags().all()) {
                if (fnmatch(pattern.c_str(), t.def->name.c_str(), 0) == 0) {
                    any = true;
                    break;
                }
            }
            if (!any) return fail("no tag matches '" + pattern + "'");
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
        SimulatorProbe probe(sim, sim.panel().labels);
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
            if (equality &&
                !tag_value(*t,
                           t->def->kind == host::Kind::Text ? "\"" + cmp.value + "\"" : cmp.value,
                           &unused)) {
                return false;
            }
            std::string why = cmp.applies_to(tag_actual(*t).type);
            if (!why.empty()) return fail(t->def->name + ": " + why);
            return true;
        }
        int window_index = -1;
        const PropRow* row = nullptr;
        if (!probe.find_prop(cond.names, &window_index, &row, error)) return false;
        if (equality) {
            unsigned char unused[HMI_TEXT_VALUE_SIZE] = {};
            std::string e = parse_prop(
                row->kind, row->kind == PropKind::Text ? "\"" + cmp.value + "\"" : cmp.value,
                unused);
            if (!e.empty()) return fail(row->key + ": " + e);
        }
        std::string why =
            cmp.applies_to(prop_actual(row->kind, sim.prop_value(window_index, row)).type);
        if (!why.empty()) return fail(row->key + ": " + why);
        return true;
    }

    bool parse(Command* c) {
        const std::string& verb = args[0];
        if (verb == "set") {
            c->kind = Kind::Set;
            split_assignment();
            if (args.size() > 3 && args[1].find('"') == std::string::npos) {
                host::Tag* t = sim.host().tags().find(args[1]);
                if (t != nullptr && t->def->kind == host::Kind::Text) {
                    std::string text;
                    for (size_t i = 2; i < args.size(); ++i) text += (i > 2 ? " " : "") + args[i];
                    return fail(
                        "expected: set TAG [=] VALUE; a text of several words goes in "
                        "double quotes: set " +
                        args[1] + " \"" + text + "\"");
                }
            }
            if (!expect_count(3, 3)) return false;
            return tag(args[1], &c->tag) && tag_value(*c->tag, args[2], &c->value);
        }
        if (verb == "show" || verb == "hide") {
            c->kind = verb == "show" ? Kind::Show : Kind::Hide;
            return expect_count(2, 2) && window(args[1], &c->window);
        }
        if (verb == "touch") {
            c->kind = Kind::Touch;
            return expect_count(1, 1);
        }
        if (verb == "click") {
            c->kind = Kind::Click;
            size_t used = 0;
            if (!target(1, "click", false, c, &used)) return false;
            return expect_count(1 + used, 1 + used);
        }
        if (verb == "fire") {
            c->kind = Kind::Fire;
            size_t used = 0;
            if (!target(1, "timer", false, c, &used)) return false;
            if (!expect_count(1 + used, 2 + used)) return false;
            c->count = 1;
            return args.size() == 2 + used ? count(args.back(), 1000000, &c->count) : true;
        }
        if (verb == "run" && args.size() >= 2 && args[1] == "until") {
            c->kind = Kind::RunUntil;
            std::vector<std::string> words(args.begin() + 2, args.end());
            c->count = kRunUntilDefaultMs;
            if (words.size() >= 2 && words[words.size() - 2] == "max") {
                if (!parse_duration(words.back(), &c->count) || c->count == 0) {
                    return fail("'" + words.back() +
                                "' is not a duration (500ms, 10s, 2m, 1h, 1m30s)");
                }
                words.resize(words.size() - 2);
            }
            return condition(words, c);
        }
        if (verb == "run") {
            c->kind = Kind::Run;
            if (!expect_count(2, 2)) return false;
            if (!parse_duration(args[1], &c->count)) {
                return fail("'" + args[1] + "' is not a duration (500ms, 10s, 2m, 1h, 1m30s)");
            }
            return true;
        }
        if (verb == "clock") {
            c->kind = Kind::Clock;
            if (!expect_count(3, 3)) return false;
            uint32_t seconds = 0;
            if (!parse_clock(args[1] + " " + args[2], &seconds)) {
                return fail("'" + args[1] + " " + args[2] +
                            "' is not a time YYYY-MM-DD HH:MM:SS from 1970 to 2105");
            }
            c->count = seconds;
            return true;
        }
        if (verb == "answer") {
            if (args.size() < 3 || (args[1] != "msgbox" && args[1] != "input")) {
                return fail(std::string("expected: ") + usage(verb));
            }
            c->kind = args[1] == "msgbox" ? Kind::AnswerMsgbox : Kind::AnswerInput;
            for (size_t i = 2; i < args.size(); ++i) {
                const std::string& a = args[i];
                if (c->kind == Kind::AnswerMsgbox) {
                    int n = 0;
                    auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), n);
                    if (a == "yes") {
                        n = 6;
                    } else if (a == "ok" || a == "OK") {
                        n = 1;
                    } else if (a == "no") {
                        n = 7;
                    } else if (ec != std::errc() || end != a.data() + a.size()) {
                        return fail("'" + a +
                                    "' is not an answer: yes (6), no (7), ok (1) or a number");
                    }
                    c->answers.push_back(n);
                } else if (a == "cancel") {
                    c->inputs.push_back(std::nullopt);
                } else {
                    double v = 0;
                    auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), v);
                    if (ec != std::errc() || end != a.data() + a.size() || !std::isfinite(v)) {
                        return fail("'" + a + "' is not a number (or cancel)");
                    }
                    c->inputs.push_back(v);
                }
            }
            return true;
        }
        if (verb == "expect") {
            if (args.size() < 2) return fail(std::string("expected: ") + usage(verb));
            const std::string& what = args[1];
            if (what == "shown" || what == "hidden") {
                c->kind = what == "shown" ? Kind::ExpectShown : Kind::ExpectHidden;
                if (args.size() < 3) return fail("expected: expect " + what + " WINDOW...");
                for (size_t i = 2; i < args.size(); ++i) {
                    int index = -1;
                    if (!window(args[i], &index)) return false;
                    c->windows.push_back(index);
                }
                return true;
            }
            if (what == "tag" && args.size() < 4)
                return fail("expected: expect tag TAG [OP] VALUE");
            if (what != "tag" && what != "prop" && sim.host().tags().find(what) == nullptr) {
                return fail("expect what? tag, shown, hidden, prop or a tag's name, not '" + what +
                            "'");
            }
            c->kind = Kind::Expect;
            return condition(std::vector<std::string>(args.begin() + 1, args.end()), c);
        }
        if (verb == "break") {
            c->kind = Kind::Break;
            if (args.size() == 2 && args[1] == "clear") {
                c->words.push_back("clear");
                return true;
            }
            if (args.size() == 1) return true;
            return condition(std::vector<std::string>(args.begin() + 1, args.end()), c);
        }
        if (verb == "watch" || verb == "unwatch") {
            c->kind = verb == "watch" ? Kind::Watch : Kind::Unwatch;
            if (verb == "watch" && !expect_count(2, 1000)) return false;
            c->words.assign(args.begin() + 1, args.end());
            return verb == "unwatch" || tags_match(c->words);
        }
        if (verb == "trace") {
            c->kind = Kind::Trace;
            if (!expect_count(2, 2)) return false;
            if (!parse_level(args[1]))
                return fail("'" + args[1] + "' is not a level: quiet, normal or full");
            c->words.push_back(args[1]);
            return true;
        }
        if (verb == "restart" || verb == "quit" || verb == "exit") {
            c->kind = verb == "restart" ? Kind::Restart : Kind::Quit;
            return expect_count(1, 1);
        }
        if (verb == "record" || verb == "load") {
            c->kind = verb == "record" ? Kind::Record : Kind::Load;
            if (!expect_count(2, 2)) return false;
            c->path = unquoted(args[1]);
            return true;
        }
        if (verb == "plot") {
            c->kind = Kind::Plot;
            if (args.size() == 2 && args[1] == "stop") return true;
            if (!expect_count(3, 3)) return false;
            c->plot = PlotSpec::parse(args[1], error);
            if (!c->plot) return false;
            std::optional<PlotSampler> sampler = PlotSampler::make(sim, c->plot->tags, error);
            if (!sampler) return false;
            c->path = unquoted(args[2]);
            if (!c->path.ends_with(".svg") && !c->path.ends_with(".csv")) {
                return fail("'" + c->path + "': a plot is written as FILE.svg or FILE.csv");
            }
            return true;
        }
        if (verb == "print" || verb == "tags") {
            c->kind = verb == "print" ? Kind::Print : Kind::Tags;
            if (verb == "print" && !expect_count(2, 1000)) return false;
            c->words.assign(args.begin() + 1, args.end());
            if (c->words.empty()) c->words.push_back("*");
            return tags_match(c->words);
        }
        if (verb == "say") {
            c->kind = Kind::Say;
            std::string text;
            for (size_t i = 1; i < args.size(); ++i) text += (i > 1 ? " " : "") + unquoted(args[i]);
            c->words.push_back(text);
            return true;
        }
        if (verb == "windows") {
            c->kind = Kind::Windows;
            return expect_count(1, 1);
        }
        if (verb == "help") {
            c->kind = Kind::Help;
            if (!expect_count(1, 2)) return false;
            if (args.size() == 2) {
                if (command_help(args[1]).empty()) {
                    return fail("no command '" + args[1] +
                                "' (commands: " + joined(command_names(), 100) + ")");
                }
                c->words.push_back(args[1]);
            }
            return true;
        }
        if (verb == "widgets" || verb == "props") {
            c->kind = verb == "widgets" ? Kind::Widgets : Kind::Props;
            if (!expect_count(2, 2) || !window(args[1], &c->window)) return false;
            return handlers(c->window) != nullptr;
        }
        std::vector<std::string> names = command_names();
        return fail("unknown command '" + verb + "' (commands: " + joined(names, 100) + ")");
    }
};

std::string tag_text(const host::Tag& tag) {
    return host::gbk_to_utf8(host::format_value(tag.def->kind, tag.value));
}

}  // namespace

std::string answer_name(int answer) {
    const char* name = answer == 6 ? "yes" : answer == 7 ? "no" : answer == 1 ? "OK" : nullptr;
    return name == nullptr ? std::to_string(answer)
                           : std::string(name) + " (" + std::to_string(answer) + ")";
}

std::string style_name(int style) {
    const char* name = style == 0 ? "notice" : (style == 2 || style == 290) ? "question" : nullptr;
    return name == nullptr ? "style " + std::to_string(style)
                           : std::string(name) + " (style " + std::to_string(style) + ")";
}

namespace {

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

// 7400 as "7s400ms", as a duration is written.
std::string duration_text(uint64_t ms) {
    if (ms == 0) return "0ms";
    std::string out;
    for (auto [unit, size] : {std::pair{"h", 3600000ull}, std::pair{"m", 60000ull},
                              std::pair{"s", 1000ull}, std::pair{"ms", 1ull}}) {
        if (ms >= size) {
            out += std::to_string(ms / size) + unit;
            ms %= size;
        }
    }
    return out;
}

// Rows of cells as lines with each column as wide as its widest cell.
std::vector<std::string> aligned(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    auto width = [](const std::string& text) {
        size_t n = 0;
        for (unsigned char ch : text) n += (ch & 0xC0) != 0x80;  // UTF-8 characters
        return n;
    };
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

}  // namespace

const std::vector<std::string>& command_names() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const Syntax& s : kSyntax) n.push_back(s.name);
        return n;
    }();
    return names;
}

std::string command_help() {
    std::string out;
    for (const Syntax& s : kSyntax) out += std::string(s.usage) + "\n    " + s.help + "\n";
    out += "help COMMAND tells more of one command.\n";
    return out;
}

std::string command_help(const std::string& name) {
    for (const Syntax& s : kSyntax) {
        if (name != s.name && !(name == "exit" && std::string(s.name) == "quit")) continue;
        std::string out = std::string(s.usage) + "\n    " + s.help + "\n";
        if (*s.more != '\0') out += "    " + std::string(s.more) + "\n";
        return out;
    }
    return {};
}

bool split_words(std::string_view line, std::vector<std::string>* words, std::string* error) {
    words->clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c == '#') break;
        size_t start = i;
        if (c == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string_view::npos) {
                *error = "a quoted text is not closed";
                return false;
            }
            i = end + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '\n') {
                ++i;
            }
        }
        words->push_back(std::string(line.substr(start, i - start)));
    }
    return true;
}

bool parse_duration(std::string_view text, uint64_t* ms) {
    constexpr uint64_t kMost = 1000ull * 3600 * 1000;  // a thousand hours
    uint64_t total = 0;
    if (text.empty()) return false;
    while (!text.empty()) {
        uint64_t n = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || n > kMost) return false;
        text.remove_prefix(static_cast<size_t>(end - text.data()));
        uint64_t unit = 0;
        for (auto [name, factor] : {std::pair<std::string_view, uint64_t>{"ms", 1},
                                    {"s", 1000},
                                    {"m", 60000},
                                    {"h", 3600000}}) {
            if (text.substr(0, name.size()) == name) {
                unit = factor;
                text.remove_prefix(name.size());
                break;
            }
        }
        if (unit == 0) return false;
        total += n * unit;
        if (total > kMost) return false;
    }
    *ms = total;
    return true;
}

bool parse_clock(std::string_view text, uint32_t* seconds) {
    struct tm tm {};
    char separator = 0, extra = 0;
    std::string s(text);
    if (std::sscanf(s.c_str(), "%d-%d-%d%c%d:%d:%d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &separator, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &extra) != 7 ||
        (separator != ' ' && separator != 'T')) {
        return false;
    }
    if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour < 0 ||
        tm.tm_hour > 23 || tm.tm_min < 0 || tm.tm_min > 59 || tm.tm_sec < 0 || tm.tm_sec > 59 ||
        tm.tm_year < 1970 || tm.tm_year > 2105) {
        return false;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    struct tm asked = tm;
    time_t t = mktime(&tm);
    if (t < 0 || t > 0xFFFFFFFFLL) return false;
    if (tm.tm_mday != asked.tm_mday || tm.tm_mon != asked.tm_mon) return false;  // 30 February
    *seconds = static_cast<uint32_t>(t);
    return true;
}

std::optional<Command> parse_command(std::string_view line, Simulator& sim, std::string* error) {
    error->clear();
    Parser p{sim, {}, error};
    if (!split_words(line, &p.args, error)) return std::nullopt;
    if (p.args.empty()) return std::nullopt;
    Command c{};
    c.text = std::string(line);
    while (!c.text.empty() && (c.text.back() == '\r' || c.text.back() == ' ')) c.text.pop_back();
    if (!p.parse(&c)) return std::nullopt;
    return c;
}

bool execute(const Command& c, Simulator& sim, const std::string& where) {
    std::string at = where.empty() ? "" : where + ": ";
    auto refuse = [&](const std::string& why) {
        sim.report(EntryType::Error, at + why, {{"where", where}, {"command", c.text}});
        return false;
    };
    auto failed = [&](const std::string& expected, const std::string& actual) {
        sim.report(
            EntryType::Fail, at + c.text + ": expected " + expected + ", is " + actual,
            {{"where", where}, {"command", c.text}, {"expected", expected}, {"actual", actual}});
        return false;
    };
    const Panel& panel = sim.panel();
    switch (c.kind) {
        case Kind::Set:
            sim.set_tag(*c.tag, c.value.data());
            return true;
        case Kind::Show:
            sim.show(c.window);
            return true;
        case Kind::Hide:
            sim.hide(c.window);
            return true;
        case Kind::Touch:
            sim.touch();
            return true;
        case Kind::Click:
        case Kind::Fire: {
            const std::string& name = panel.windows[c.window].name;
            if (!sim.shown(c.window)) return refuse("window " + name + " is not shown");
            int modal = sim.modal_window();
            if (c.kind == Kind::Click && modal >= 0 && modal != c.window) {
                return refuse(panel.windows[modal].name +
                              " is open modally: only its widgets take clicks");
            }
            if (c.kind == Kind::Click) {
                sim.click(c.window, *c.event);
            } else {
                sim.fire(c.window, *c.event, static_cast<unsigned>(c.count));
            }
            return true;
        }
        case Kind::Run: {
            std::string stopped = sim.run_until(c.count, nullptr);
            if (!stopped.empty()) {
                sim.report(EntryType::Warning,
                           "run stopped at " + format_time(sim.now()) + " " + stopped);
            }
            return true;
        }
        case Kind::Clock:
            sim.set_clock_time(static_cast<uint32_t>(c.count));
            return true;
        case Kind::AnswerMsgbox:
        case Kind::AnswerInput: {
            std::string text = c.kind == Kind::AnswerMsgbox ? "answer msgbox" : "answer input";
            for (int a : c.answers) {
                sim.queue_msgbox(a);
                text += " " + answer_name(a);
            }
            for (const auto& v : c.inputs) {
                sim.queue_input(v);
                char buffer[32];
                std::snprintf(buffer, sizeof buffer, "%.10g", v.value_or(0));
                text += v ? " " + std::string(buffer) : " cancel";
            }
            sim.report(EntryType::Action, text, {{"call", "answer"}});
            return true;
        }
        case Kind::ExpectShown:
        case Kind::ExpectHidden: {
            bool want = c.kind == Kind::ExpectShown;
            std::string wrong;
            for (int w : c.windows) {
                if (sim.shown(w) != want)
                    wrong += (wrong.empty() ? "" : ", ") + panel.windows[w].name;
            }
            if (wrong.empty()) return true;
            std::string shown;
            for (size_t i = 0; i < panel.windows.size(); ++i) {
                if (sim.shown(static_cast<int>(i)))
                    shown += (shown.empty() ? "" : " ") + panel.windows[i].name;
            }
            return failed(std::string(want ? "shown" : "hidden") + ": " + wrong,
                          "shown windows: " + (shown.empty() ? "none" : shown));
        }
        case Kind::Expect: {
            SimulatorProbe probe(sim, panel.labels);
            const Condition& cond = *c.condition;
            Outcome outcome = evaluate(cond, probe);
            if (outcome.holds) return true;
            return failed(expectation_text(cond),
                          (outcome.error.empty() ? outcome.actual : outcome.error) +
                              hidden_note(sim, probe, cond));
        }
        case Kind::RunUntil: {
            SimulatorProbe probe(sim, panel.labels);
            const Condition& cond = *c.condition;
            uint64_t start = sim.now();
            std::string stopped = "met";
            if (!evaluate(cond, probe).holds) {
                stopped = sim.run_until(c.count, [&] {
                    return evaluate(cond, probe).holds ? std::string("met") : std::string();
                });
            }
            Outcome outcome = evaluate(cond, probe);
            if (stopped == "met") {
                sim.report(EntryType::Action,
                           "run until " + cond.text + ": holds after " +
                               duration_text(sim.now() - start) + " (" + outcome.actual + ")",
                           {{"call", "run until"}});
                return true;
            }
            if (!stopped.empty()) {
                sim.report(EntryType::Warning,
                           "run stopped at " + format_time(sim.now()) + " " + stopped);
                return true;
            }
            return failed(expectation_text(cond) + " within " + duration_text(c.count),
                          outcome.actual + hidden_note(sim, probe, cond));
        }
        case Kind::Break: {
            Session& session = sim.session();
            if (c.condition) {
                session.breaks.push_back({*c.condition, false});
                sim.report(EntryType::Info, "a run stops when " + c.condition->text +
                                                " comes to hold (break clear drops it)");
            } else if (!c.words.empty()) {
                session.breaks.clear();
                sim.report(EntryType::Info, "no breaks");
            } else {
                for (const Session::Break& b : session.breaks) {
                    sim.report(EntryType::Info, "break " + b.condition.text);
                }
                if (session.breaks.empty()) sim.report(EntryType::Info, "no breaks");
            }
            return true;
        }
        case Kind::Watch:
        case Kind::Unwatch: {
            std::vector<std::string>& watched = sim.session().view.watched;
            if (c.kind == Kind::Watch) {
                for (const std::string& w : c.words) {
                    if (std::find(watched.begin(), watched.end(), w) == watched.end()) {
                        watched.push_back(w);
                    }
                }
            } else if (c.words.empty()) {
                watched.clear();
            } else {
                for (const std::string& w : c.words) {
                    watched.erase(std::remove(watched.begin(), watched.end(), w), watched.end());
                }
            }
            std::string list;
            for (const std::string& w : watched) list += (list.empty() ? "" : " ") + w;
            sim.report(EntryType::Info, watched.empty() ? "watching every tag"
                                                        : "watching only the writes of " + list);
            return true;
        }
        case Kind::Trace:
            sim.session().view.level = *parse_level(c.words.at(0));
            sim.report(EntryType::Info, "trace " + c.words.at(0));
            return true;
        case Kind::Restart:
            sim.restart();
            return true;
        case Kind::Record: {
            std::optional<ScenarioRecorder>& recorder = sim.session().recorder;
            if (c.path == "stop") {
                if (!recorder) return refuse("nothing is being recorded");
                sim.report(EntryType::Info, "recording written to " + recorder->path());
                recorder.reset();
                return true;
            }
            std::string error;
            recorder = ScenarioRecorder::open(c.path, &error);
            if (!recorder) return refuse(error);
            sim.report(EntryType::Info,
                       "recording what is typed to " + c.path + " (record stop ends it)");
            return true;
        }
        case Kind::Load: {
            Session& session = sim.session();
            if (session.load_depth >= 8) {
                return refuse("load: scenarios that load scenarios, 8 deep: stopped here");
            }
            std::string text;
            try {
                text = read_file(c.path);
            } catch (const std::exception& e) {
                return refuse(e.what());
            }
            ++session.load_depth;
            ScenarioResult result = run_scenario(text, c.path, sim);
            --session.load_depth;
            return result.ok();
        }
        case Kind::Plot: {
            Session& session = sim.session();
            if (!c.plot) {
                std::vector<std::string> errors;
                for (const std::string& line : session.finish_plots(sim.now(), &errors)) {
                    sim.report(EntryType::Info, line);
                }
                for (const std::string& e : errors) refuse(e);
                return errors.empty();
            }
            std::string error;
            std::optional<PlotSampler> sampler = PlotSampler::make(sim, c.plot->tags, &error);
            if (!sampler) return refuse(error);
            session.plots.push_back({*c.plot, std::move(*sampler), c.path});
            sim.report(EntryType::Info, "plotting to " + c.path + " (plot stop writes it)");
            return true;
        }
        case Kind::Tags: {
            std::vector<std::vector<std::string>> rows;
            for (const host::Tag& t : sim.host().tags().all()) {
                for (const std::string& pattern : c.words) {
                    if (fnmatch(pattern.c_str(), t.def->name.c_str(), 0) != 0) continue;
                    rows.push_back({t.def->name, std::string(host::kind_name(t.def->kind)),
                                    "initial " + t.def->initial, t.def->param ? "parameter" : ""});
                    break;
                }
            }
            for (const std::string& line : aligned(rows)) sim.report(EntryType::Info, line);
            return true;
        }
        case Kind::Quit:
            return true;
        case Kind::Print:
            for (const host::Tag& t : sim.host().tags().all()) {
                for (const std::string& pattern : c.words) {
                    if (fnmatch(pattern.c_str(), t.def->name.c_str(), 0) == 0) {
                        sim.report(EntryType::Print, t.def->name + " = " + tag_text(t),
                                   {{"tag", t.def->name}, {"value", tag_text(t)}});
                        break;
                    }
                }
            }
            return true;
        case Kind::Say:
            sim.report(EntryType::Say, c.words.at(0));
            return true;
        case Kind::Windows: {
            std::vector<std::vector<std::string>> rows;
            for (size_t i = 0; i < panel.windows.size(); ++i) {
                const PanelWindow& w = panel.windows[i];
                const HandlerWindow* h = sim.handlers(static_cast<int>(i));
                std::string state = sim.shown(static_cast<int>(i)) ? "shown" : "hidden";
                if (sim.modal_window() == static_cast<int>(i)) state += " modal";
                std::string handlers = "no handlers";
                if (h != nullptr) {
                    handlers = std::to_string(h->events.size()) + " events, " +
                               std::to_string(h->props.size()) + " properties";
                    if (h->name != w.name) handlers += " (keys \"" + h->name + "_...\")";
                }
                std::string timers;
                for (const PanelTimer& t : panel.timers) {
                    if (t.window != w.name) continue;
                    timers += (timers.empty() ? "" : ", ") + t.widget + " every " +
                              std::to_string(t.period_ms) + " ms";
                    if (h == nullptr || h->event(t.widget, "timer") == nullptr)
                        timers += " (no handler)";
                }
                rows.push_back({w.name, state, handlers, timers});
            }
            for (const std::string& line : aligned(rows)) sim.report(EntryType::Info, line);
            return true;
        }
        case Kind::Widgets: {
            const HandlerWindow& h = *sim.handlers(c.window);
            std::vector<std::vector<std::string>> rows;
            for (const std::string& widget : h.widgets()) {
                const std::string* label = panel.labels.label(h.name, widget);
                std::string events;
                for (const EventRow& r : h.events) {
                    if (r.widget == widget) events += (events.empty() ? "" : ", ") + r.event;
                }
                rows.push_back({widget, label ? "\"" + *label + "\"" : "(no label)",
                                events.empty() ? "" : "on " + events, ""});
                for (const PropRow& r : h.props) {
                    if (r.widget != widget) continue;
                    bool polled = false;
                    std::vector<std::string> follows = sim.prop_follows(c.window, &r, &polled);
                    std::string tags;
                    for (const std::string& t : follows) tags += (tags.empty() ? "" : ", ") + t;
                    if (!polled) {
                        tags = "(not polled yet: show the window)";
                    } else if (tags.empty()) {
                        tags = "(reads no tag)";
                    } else {
                        tags = "follows " + tags;
                    }
                    rows.push_back({"",
                                    "  " + r.property + " = " +
                                        format_prop(r.kind, sim.prop_value(c.window, &r)),
                                    tags, ""});
                }
            }
            for (const std::string& line : aligned(rows)) sim.report(EntryType::Info, line);
            return true;
        }
        case Kind::Props: {
            const HandlerWindow& h = *sim.handlers(c.window);
            if (h.props.empty()) {
                sim.report(EntryType::Info, "window " + panel.windows[c.window].name +
                                                " has no properties that follow tags (widgets " +
                                                "WINDOW lists its widgets)");
                return true;
            }
            for (const PropRow& r : h.props) {
                std::string value = format_prop(r.kind, sim.prop_value(c.window, &r));
                sim.report(EntryType::Print, r.widget + " " + r.property + " = " + value,
                           {{"widget", r.widget}, {"property", r.property}, {"value", value}});
            }
            return true;
        }
        case Kind::Help: {
            std::string help = c.words.empty() ? command_help() : command_help(c.words[0]);
            size_t start = 0;
            while (start < help.size()) {
                size_t end = help.find('\n', start);
                sim.report(EntryType::Info, help.substr(start, end - start));
                start = end + 1;
            }
            return true;
        }
    }
    return false;
}
std::vector<std::pair<int, Command>> check_scenario(std::string_view text,
                                                    const std::string& origin, Simulator& sim,
                                                    int* bad_lines) {
    std::vector<std::pair<int, Command>> commands;
    *bad_lines = 0;
    int number = 0;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        ++number;
        std::string error;
        std::optional<Command> c = parse_command(line, sim, &error);
        if (c) {
            // Files a scenario names are found beside it.
            bool names_file = c->kind == Kind::Load || c->kind == Kind::Plot ||
                              (c->kind == Kind::Record && c->path != "stop");
            size_t slash = origin.rfind('/');
            if (names_file && !c->path.empty() && c->path.front() != '/' &&
                slash != std::string::npos) {
                c->path = origin.substr(0, slash + 1) + c->path;
            }
            commands.emplace_back(number, std::move(*c));
        } else if (!error.empty()) {
            ++*bad_lines;
            sim.report(EntryType::Error, origin + ":" + std::to_string(number) + ": " + error,
                       {{"file", origin}, {"line", std::to_string(number)}, {"message", error}});
        }
    }
    return commands;
}

ScenarioResult run_scenario(std::string_view text, const std::string& origin, Simulator& sim) {
    ScenarioResult result;
    std::vector<std::pair<int, Command>> commands =
        check_scenario(text, origin, sim, &result.bad_lines);
    if (result.bad_lines > 0) {
        sim.report(EntryType::Error, origin + ": " + std::to_string(result.bad_lines) +
                                         " bad line(s): nothing of the scenario was run");
        return result;
    }
    size_t unanswered = sim.unanswered();
    for (const auto& [line, c] : commands) {
        bool check = c.kind == Kind::Expect || c.kind == Kind::ExpectShown ||
                     c.kind == Kind::ExpectHidden || c.kind == Kind::RunUntil;
        if (check) ++result.expectations;
        if (!execute(c, sim, origin + ":" + std::to_string(line))) ++result.failures;
    }
    result.failures += static_cast<int>(sim.unanswered() - unanswered);
    if (sim.queued_answers() > 0) {
        ++result.failures;
        sim.report(EntryType::Fail, origin + ": " + std::to_string(sim.queued_answers()) +
                                        " queued answer(s) were never asked for");
        sim.clear_answers();
    }
    return result;
}

}  // namespace hmi::sim
