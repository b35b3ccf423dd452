#include "sim/engine/scenario.hpp"

#include <fnmatch.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "host/gbk.hpp"

namespace hmi::sim {

namespace {
using Kind = Command::Kind;

struct Syntax {
    const char* name;
    const char* usage;
    const char* help;
};
constexpr Syntax kSyntax[] = {
    {"set", "set TAG [=] VALUE", "give a tag a value (as the panel's own data would)"},
    {"show", "show WINDOW", "show a window (runs its open handler)"},
    {"hide", "hide WINDOW", "hide a window (runs its close handler)"},
    {"touch", "touch", "touch the panel where no widget has a handler"},
    {"click", "click WINDOW WIDGET | click KEY", "touch and click a widget"},
    {"fire", "fire WINDOW WIDGET [N] | fire KEY [N]",
     "tick a timer N times now, without moving the clock"},
    {"run", "run DURATION", "let simulated time pass: 500ms, 10s, 2m, 1h, 1m30s"},
    {"clock", "clock YYYY-MM-DD HH:MM:SS", "set the panel's clock (UTC)"},
    {"answer", "answer msgbox yes|no|N ... | answer input NUMBER|cancel ...",
     "queue answers for the next questions or input dialogs"},
    {"expect",
     "expect tag TAG VALUE | shown WINDOW... | hidden WINDOW... | prop WINDOW WIDGET PROPERTY "
     "VALUE | prop KEY VALUE",
     "check the panel; a failed check fails the run"},
    {"print", "print GLOB...", "show the tags whose names match"},
    {"say", "say TEXT", "write a line of narration into the trace"},
    {"windows", "windows", "list the panel's windows"},
    {"widgets", "widgets WINDOW", "list a window's widgets with their events and properties"},
    {"props", "props WINDOW", "list a window's properties with their current values"},
    {"tags", "tags [GLOB...]", "list tags (all, or those that match)"},
    {"help", "help", "this list"},
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

    bool widget_row(int index, const std::string& widget, const std::string& name, bool property,
                    const EventRow** event, const PropRow** prop) {
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

    bool parse(Command* c) {
        const std::string& verb = args[0];
        if (verb == "set") {
            c->kind = Kind::Set;
            if (args.size() == 4 && args[2] == "=") args.erase(args.begin() + 2);
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
                    } else if (a == "no") {
                        n = 7;
                    } else if (ec != std::errc() || end != a.data() + a.size()) {
                        return fail("'" + a + "' is not an answer: yes (6), no (7) or a number");
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
            if (what == "tag") {
                c->kind = Kind::ExpectTag;
                if (args.size() != 4) return fail("expected: expect tag TAG VALUE");
                return tag(args[2], &c->tag) && tag_value(*c->tag, args[3], &c->value);
            }
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
            if (what == "prop") {
                c->kind = Kind::ExpectProp;
                size_t used = 0;
                if (!target(2, "", true, c, &used)) return false;
                if (args.size() != 3 + used) {
                    return fail(
                        "expected: expect prop WINDOW WIDGET PROPERTY VALUE | "
                        "expect prop KEY VALUE");
                }
                c->value.assign(HMI_TEXT_VALUE_SIZE, 0);
                std::string e = parse_prop(c->prop->kind, args.back(), c->value.data());
                if (!e.empty()) return fail(c->prop->key + ": " + e);
                return true;
            }
            return fail("expect what? tag, shown, hidden or prop");
        }
        if (verb == "print" || verb == "tags") {
            c->kind = Kind::Print;
            if (verb == "print" && !expect_count(2, 1000)) return false;
            c->words.assign(args.begin() + 1, args.end());
            if (c->words.empty()) c->words.push_back("*");
            for (const std::string& pattern : c->words) {
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
        if (verb == "say") {
            c->kind = Kind::Say;
            std::string text;
            for (size_t i = 1; i < args.size(); ++i) text += (i > 1 ? " " : "") + unquoted(args[i]);
            c->words.push_back(text);
            return true;
        }
        if (verb == "windows" || verb == "help") {
            c->kind = verb == "windows" ? Kind::Windows : Kind::Help;
            return expect_count(1, 1);
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
    return out;
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
                text += " " + std::to_string(a);
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
        case Kind::ExpectTag: {
            if (same_tag_value(*c.tag, c.value)) return true;
            std::vector<unsigned char> copy = c.value;
            std::string expected =
                host::gbk_to_utf8(host::format_value(c.tag->def->kind, copy.data()));
            return failed(c.tag->def->name + " = " + expected,
                          c.tag->def->name + " = " + tag_text(*c.tag));
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
        case Kind::ExpectProp: {
            const unsigned char* value = sim.prop_value(c.window, c.prop);
            if (same_prop_value(c.prop->kind, value, c.value.data())) return true;
            const std::string& w = panel.windows[c.window].name;
            std::string name = w + " " + c.prop->widget + " " + c.prop->property;
            return failed(name + " = " + format_prop(c.prop->kind, c.value.data()),
                          name + " = " + format_prop(c.prop->kind, value) +
                              (sim.shown(c.window) ? "" : " (window not shown)"));
        }
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
        case Kind::Windows:
            for (size_t i = 0; i < panel.windows.size(); ++i) {
                const PanelWindow& w = panel.windows[i];
                const HandlerWindow* h = sim.handlers(static_cast<int>(i));
                std::string text =
                    w.name + (sim.shown(static_cast<int>(i)) ? "  shown" : "  hidden");
                if (sim.modal_window() == static_cast<int>(i)) text += " modal";
                if (h != nullptr) {
                    text += "  " + std::to_string(h->events.size()) + " events, " +
                            std::to_string(h->props.size()) + " properties";
                    if (h->name != w.name) text += " (keys \"" + h->name + "_...\")";
                } else {
                    text += "  no handlers";
                }
                for (const PanelTimer& t : panel.timers) {
                    if (t.window != w.name) continue;
                    text += "  " + t.widget + " every " + std::to_string(t.period_ms) + " ms";
                    if (h == nullptr || h->event(t.widget, "timer") == nullptr)
                        text += " (no handler)";
                }
                sim.report(EntryType::Info, text, {{"window", w.name}});
            }
            return true;
        case Kind::Widgets: {
            const HandlerWindow& h = *sim.handlers(c.window);
            for (const std::string& widget : h.widgets()) {
                std::string text = widget + ":";
                for (const EventRow& r : h.events) {
                    if (r.widget == widget) text += " " + r.event;
                }
                for (const PropRow& r : h.props) {
                    if (r.widget == widget) text += " ." + r.property;
                }
                sim.report(EntryType::Info, text, {{"widget", widget}});
            }
            return true;
        }
        case Kind::Props: {
            const HandlerWindow& h = *sim.handlers(c.window);
            for (const PropRow& r : h.props) {
                std::string value = format_prop(r.kind, sim.prop_value(c.window, &r));
                sim.report(EntryType::Print, r.widget + " " + r.property + " = " + value,
                           {{"widget", r.widget}, {"property", r.property}, {"value", value}});
            }
            return true;
        }
        case Kind::Help: {
            std::string help = command_help();
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
        bool check = c.kind == Kind::ExpectTag || c.kind == Kind::ExpectShown ||
                     c.kind == Kind::ExpectHidden || c.kind == Kind::ExpectProp;
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
