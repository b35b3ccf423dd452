#include "sim/engine/events.hpp"

#include <iterator>

#include "host/answers.hpp"

namespace hmi::sim {

namespace {
// Each of the simulator's kinds by name, in the order of their numbers.
constexpr const char* kNames[] = {
    "start",      "scenario", "click",  "timer", "open",    "close",   "prop", "set",
    "show",       "hide",     "touch",  "clock", "answer",  "restart", "wait", "print",
    "prop_value", "say",      "expect", "error", "warning", "info",    "note", "summary",
};
static_assert(std::size(kNames) == EventType::Summary - EventType::kFirstOwnKind + 1u);

std::string value_of(const Event& e) {
    const host::Value* v = e.find(key::value);
    return v == nullptr ? "" : v->readable(true);
}

std::string located(const Event& e, const std::string& message) {
    std::string where = e.text(key::file);
    if (e.integer(key::line) > 0) where += ":" + std::to_string(e.integer(key::line));
    return where.empty() ? message : where + ": " + message;
}

std::string handler_line(const Event& e) {
    std::string line = std::string(event_name(e.type)) + " " + e.text(key::window);
    if (e.text(key::widget) != "window") line += " " + e.text(key::widget);
    if (!e.text(key::label).empty()) line += " (" + e.text(key::label) + ")";
    return line;
}

std::string answer_line(const Event& e) {
    if (e.text(key::dialog) != "msgbox") {
        return "answer " + e.text(key::dialog) + " " + e.find(key::answers)->readable();
    }
    std::string line = "answer msgbox";
    for (const host::Value& a : e.find(key::answers)->items())
        line += " " + host::msgbox_answer_text(a.as_integer());
    return line;
}

std::string expect_line(const Event& e) {
    if (!e.text(key::message).empty()) return located(e, e.text(key::message));
    if (e.flag(key::met)) {
        const std::string& actual = e.text(key::actual);
        return located(e, e.text(key::command) + (actual.empty() ? "" : " (" + actual + ")"));
    }
    return located(e, e.text(key::command) + ": expected " + e.text(key::expected) + ", is " +
                          e.text(key::actual));
}
}  // namespace

const char* event_name(host::EventType type) {
    if (type.is_host_call()) return host::type_name(type);
    size_t index = type - EventType::kFirstOwnKind;
    return index < std::size(kNames) ? kNames[index] : "?";
}

bool is_failure(const Event& event) {
    switch (event.type) {
        case EventType::Error:
            return true;
        case EventType::Expect:
            return !event.flag(key::met);
        default:
            return event.type.is_host_call() && host::failed(event);
    }
}

std::string trace_text(const Event& e) {
    switch (e.type) {
        case EventType::Start:
            return "panel starts, clock " + host::clock_text(e.integer(key::clock));
        case EventType::Scenario:
            return "scenario " + e.text(key::file);
        case EventType::Click:
        case EventType::Timer:
        case EventType::Open:
        case EventType::Close:
            return handler_line(e);
        case EventType::Set:
            return "set " + e.text(key::tag) + " = " + value_of(e) +
                   (e.flag(key::touch) ? " (touch)" : "");
        case EventType::Show:
        case EventType::Hide:
            return std::string(event_name(e.type)) + " " + e.text(key::window);
        case EventType::Touch:
            return "touch";
        case EventType::Clock:
            return "clock " + host::clock_text(e.integer(key::clock));
        case EventType::Answer:
            return answer_line(e);
        case EventType::Restart:
            return "restart: the panel is switched off and on, clock " +
                   host::clock_text(e.integer(key::clock));
        case EventType::Wait:
            return located(e, "run until " + e.text(key::condition) + ": holds after " +
                                  e.text(key::after) + " (" + e.text(key::actual) + ")");
        case EventType::Prop:
            return "prop " + e.text(key::window) + " " + e.text(key::widget) + " " +
                   e.text(key::property) + " = " + value_of(e);
        case EventType::Print:
            return e.text(key::tag) + " = " + value_of(e);
        case EventType::PropValue:
            return e.text(key::widget) + " " + e.text(key::property) + " = " + value_of(e);
        case EventType::Expect:
            return expect_line(e);
        case EventType::Error:
        case EventType::Warning:
            return located(e, e.text(key::message));
        case EventType::Say:
        case EventType::Info:
        case EventType::Note:
        case EventType::Summary:
            return e.text(key::text);
        default:
            return host::describe(e);
    }
}

std::string trace_line(const Event& e) {
    if (e.type.is_host_call()) return host::format_line(e);
    if (e.type == EventType::Info || e.type == EventType::Note || e.type == EventType::Summary)
        return trace_text(e);
    std::string line =
        host::format_time(e.ms) + " " + std::string(2 * static_cast<size_t>(e.depth), ' ');
    switch (e.type) {
        case EventType::Say:
            return line + "-- " + trace_text(e);
        case EventType::Expect:
            return line + (e.flag(key::met) ? "ok " : "FAIL ") + trace_text(e);
        case EventType::Error:
            return line + "ERROR " + trace_text(e);
        case EventType::Warning:
            return line + "warning: " + trace_text(e);
        default:
            return line + trace_text(e);
    }
}

std::string json_line(const Event& e) {
    return host::json_object(e, event_name(e.type), is_failure(e), trace_text(e));
}

}  // namespace hmi::sim
