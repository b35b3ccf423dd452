#include "host/event.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace hmi::host {

namespace {

std::string float_text(float f) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, f);
    return std::string(buffer, end);
}

}  // namespace

std::string real_text(double d) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", d);
    return buffer;
}

struct tm clock_fields(int64_t seconds) {
    // From the days since 1970 to the civil date, in 64 bits: the C library's time_t is
    // 32-bit on the panel's target and ends in 2038, the panel's clock in 2106.
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    int64_t in_day = seconds - days * 86400;
    int64_t z = days + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t day_of_era = z - era * 146097;
    int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    int64_t mp = (5 * day_of_year + 2) / 153;
    int64_t month = mp < 10 ? mp + 3 : mp - 9;
    struct tm tm {};
    tm.tm_year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0) - 1900);
    tm.tm_mon = static_cast<int>(month - 1);
    tm.tm_mday = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
    tm.tm_hour = static_cast<int>(in_day / 3600);
    tm.tm_min = static_cast<int>(in_day / 60 % 60);
    tm.tm_sec = static_cast<int>(in_day % 60);
    return tm;
}

std::string clock_text(int64_t seconds) {
    struct tm tm = clock_fields(seconds);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &tm);
    return when;
}

namespace {

// The length of the UTF-8 sequence at text[i], or 0 when it is not one.
size_t utf8_length(std::string_view text, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char c = byte(i);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || (n > 1 && c < 0xC2) || i + n > text.size()) return n == 1 ? 1 : 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    return n;
}
}  // namespace

// ---- values ----

Value Value::boolean(bool b) {
    Value v;
    v.type_ = Type::Bool;
    v.integer_ = b ? 1 : 0;
    return v;
}
Value Value::integer(int64_t n) {
    Value v;
    v.type_ = Type::Integer;
    v.integer_ = n;
    v.real_ = static_cast<double>(n);
    return v;
}
Value Value::float32(float f) {
    Value v;
    v.type_ = Type::Float;
    v.real_ = f;
    return v;
}
Value Value::real(double d) {
    Value v;
    v.type_ = Type::Real;
    v.real_ = d;
    return v;
}
Value Value::colour(uint32_t bgr) {
    Value v;
    v.type_ = Type::Colour;
    v.integer_ = bgr;
    return v;
}
Value Value::text(std::string utf8) {
    Value v;
    v.type_ = Type::Text;
    v.text_ = std::move(utf8);
    return v;
}
Value Value::list(std::vector<Value> items) {
    Value v;
    v.type_ = Type::List;
    v.items_ = std::move(items);
    return v;
}

std::string Value::readable(bool quote_text) const {
    switch (type_) {
        case Type::None:
            return "";
        case Type::Bool:
            return integer_ ? "true" : "false";
        case Type::Integer:
            return std::to_string(integer_);
        case Type::Float:
            return float_text(static_cast<float>(real_));
        case Type::Real:
            return real_text(real_);
        case Type::Colour: {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "0x%06X", static_cast<unsigned>(integer_));
            return buffer;
        }
        case Type::Text:
            return quote_text ? "\"" + text_ + "\"" : text_;
        case Type::List: {
            std::string out;
            for (const Value& item : items_) {
                if (!out.empty()) out += ' ';
                out += item.readable();
            }
            return out;
        }
    }
    return "";
}

void Value::append_json(std::string& out) const {
    switch (type_) {
        case Type::None:
            out += "null";
            return;
        case Type::Bool:
            out += integer_ ? "true" : "false";
            return;
        case Type::Integer:
        case Type::Colour:
            out += std::to_string(integer_);
            return;
        case Type::Float:
        case Type::Real:
            // JSON has no infinities nor NaN.
            out += std::isfinite(real_)
                       ? (type_ == Type::Float ? float_text(static_cast<float>(real_))
                                               : real_text(real_))
                       : "null";
            return;
        case Type::Text:
            append_json_string(out, text_);
            return;
        case Type::List:
            out += '[';
            for (size_t i = 0; i < items_.size(); ++i) {
                if (i > 0) out += ',';
                items_[i].append_json(out);
            }
            out += ']';
            return;
    }
}

void append_json_string(std::string& out, std::string_view text) {
    out += '"';
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t n = utf8_length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n' || c == '\t' || c == '\r') {
            out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    out += '"';
}

// ---- events ----

namespace {
// Each event type's name in the JSON lines, and what it is about; in the order of EventType.
struct TypeRow {
    const char* name;
    Topic topic;
};
constexpr TypeRow kTypes[] = {
    {"write", Topic::Write},   {"read", Topic::Read},        {"poll", Topic::Poll},
    {"window", Topic::Window}, {"msgbox", Topic::Dialog},    {"input", Topic::Dialog},
    {"param", Topic::Param},   {"lookup", Topic::Param},     {"format", Topic::Format},
    {"start", Topic::Panel},   {"scenario", Topic::Panel},   {"click", Topic::Panel},
    {"timer", Topic::Panel},   {"open", Topic::Panel},       {"close", Topic::Panel},
    {"set", Topic::Panel},     {"show", Topic::Panel},       {"hide", Topic::Panel},
    {"touch", Topic::Panel},   {"clock", Topic::Panel},      {"answer", Topic::Panel},
    {"restart", Topic::Panel}, {"wait", Topic::Panel},       {"prop", Topic::Panel},
    {"print", Topic::Panel},   {"prop_value", Topic::Panel}, {"say", Topic::Panel},
    {"expect", Topic::Panel},  {"error", Topic::Panel},      {"warning", Topic::Panel},
    {"info", Topic::Panel},    {"summary", Topic::Panel},
};
static_assert(sizeof kTypes / sizeof kTypes[0] == static_cast<size_t>(EventType::Summary) + 1);
}  // namespace

const char* type_name(EventType type) {
    return kTypes[static_cast<size_t>(type)].name;
}

Topic topic_of(EventType type) {
    return kTypes[static_cast<size_t>(type)].topic;
}

const Value* Event::find(std::string_view key) const {
    for (const Field& f : fields) {
        if (key == f.key) return &f.value;
    }
    return nullptr;
}

const std::string& Event::text(std::string_view key) const {
    static const std::string kNone;
    const Value* v = find(key);
    return v != nullptr && v->type() == Value::Type::Text ? v->as_text() : kNone;
}

int64_t Event::integer(std::string_view key) const {
    const Value* v = find(key);
    return v == nullptr ? 0 : v->as_integer();
}

bool Event::flag(std::string_view key) const {
    const Value* v = find(key);
    return v != nullptr && v->as_integer() != 0;
}

namespace {
std::string value_of(const Event& e) {
    const Value* v = e.find("value");
    return v == nullptr ? "" : v->readable(true);
}

std::string quoted(const Event& e, const char* key) {
    return "\"" + e.text(key) + "\"";
}

std::string write_line(const Event& e, Naming naming) {
    std::string line = "set " + e.text("name");
    if (!e.flag("known")) return line + " = " + value_of(e) + " (no such tag)";
    if (naming == Naming::WithTag && e.text("tag") != e.text("name")) {
        line += " (" + e.text("tag") + ")";
    }
    return line + " = " + value_of(e);
}

std::string input_line(const Event& e) {
    std::string line = "input " + e.text("tag") + " " + quoted(e, "prompt") + " " +
                       e.find("minimum")->readable() + ".." + e.find("maximum")->readable() +
                       " option " + std::to_string(e.integer("option")) + " -> ";
    const std::string& outcome = e.text("outcome");
    if (outcome == "cancelled") return line + "cancelled";
    line += e.find("answer")->readable();
    if (outcome == "stored") return line + " stored";
    if (outcome == "refused") return line + " refused";
    return line + " (" + e.text("error") + ")";
}

std::string param_line(const Event& e) {
    const std::string& op = e.text("operation");
    const std::string& outcome = e.text("outcome");
    const std::string& file = e.text("file");
    if (op == "load") {
        if (outcome == "missing") return "no saved parameters yet in " + file;
        if (outcome == "damaged" || outcome == "unusable") return e.text("error");
        if (file.empty()) {
            return "loaded " + std::to_string(e.integer("count")) +
                   " saved parameters from the panel's memory";
        }
        return "loaded " + std::to_string(e.integer("count")) + " saved parameters from " + file;
    }
    std::string line = "param " + op;
    if (outcome == "kept") return line + " (kept in memory)";
    if (outcome == "saved") return line + " -> " + file;
    if (outcome == "failed") return line + " FAILED: " + e.text("error");
    return line;
}

std::string handler_line(const Event& e) {
    std::string line = std::string(type_name(e.type)) + " " + e.text("window");
    if (e.text("widget") != "window") line += " " + e.text("widget");
    if (!e.text("label").empty()) line += " (" + e.text("label") + ")";
    return line;
}

// Message box styles and answers by name, with the panel's number beside.
std::string named(const char* name, const char* what, int64_t number) {
    std::string n = std::string(what) + std::to_string(number);
    return name == nullptr ? n : std::string(name) + " (" + n + ")";
}
}  // namespace

std::string msgbox_style_text(int64_t style) {
    return named(style == 0                     ? "notice"
                 : (style == 2 || style == 290) ? "question"
                                                : nullptr,
                 "style ", style);
}
const char* msgbox_answer_word(int64_t answer) {
    return answer == kAnswerYes  ? "yes"
           : answer == kAnswerNo ? "no"
           : answer == kAnswerOk ? "OK"
                                 : nullptr;
}
std::string msgbox_answer_text(int64_t answer) {
    return named(msgbox_answer_word(answer), "", answer);
}

namespace {

std::string located(const Event& e, const std::string& message) {
    std::string where = e.text("file");
    if (e.integer("line") > 0) {
        where += ':';
        where += std::to_string(e.integer("line"));
    }
    return where.empty() ? message : where + ": " + message;
}

std::string expect_line(const Event& e) {
    if (!e.text("message").empty()) return located(e, e.text("message"));
    if (e.flag("met")) {
        const std::string& actual = e.text("actual");
        return located(e, e.text("command") + (actual.empty() ? "" : " (" + actual + ")"));
    }
    return located(
        e, e.text("command") + ": expected " + e.text("expected") + ", is " + e.text("actual"));
}

std::string host_call_line(const Event& e, Naming naming) {
    switch (e.type) {
        case EventType::Write:
            return write_line(e, naming);
        case EventType::Read:
        case EventType::Poll:
            return std::string(e.type == EventType::Read ? "get " : "poll ") + e.text("name") +
                   (e.flag("known") ? "" : " (no such tag)");
        case EventType::Window:
            return e.text("call") + " " + e.text("window") +
                   (e.find("in_panel") != nullptr && !e.flag("in_panel")
                        ? " (no such window in the panel)"
                        : "") +
                   (e.text("already").empty() ? "" : " (already " + e.text("already") + ")");
        case EventType::MsgBox:
            // The host's record of calls keeps the numbers alone; the trace names them.
            if (naming == Naming::AsWritten) {
                return "msgbox " + quoted(e, "title") + " " + quoted(e, "text") + " style " +
                       std::to_string(e.integer("style")) + " -> " +
                       std::to_string(e.integer("answer"));
            }
            return "msgbox " + quoted(e, "title") + " " + quoted(e, "text") + " " +
                   msgbox_style_text(e.integer("style")) + " -> " +
                   msgbox_answer_text(e.integer("answer"));
        case EventType::Input:
            return input_line(e);
        case EventType::Param:
            return param_line(e);
        case EventType::Lookup:
            return "lookup " + e.text("name") +
                   (e.flag("known") ? " -> " + value_of(e) : " (no such tag)");
        case EventType::Format:
            if (e.find("datetime") != nullptr) {
                return "gettimeinfo " + std::to_string(e.integer("datetime")) + " -> " +
                       e.text("result");
            }
            return e.text("call") + " -> " + quoted(e, "result");
        default:
            return "";
    }
}
}  // namespace

std::string describe(const Event& e, Naming naming) {
    switch (e.type) {
        case EventType::Start:
            return "panel starts, clock " + clock_text(e.integer("clock"));
        case EventType::Scenario:
            return "scenario " + e.text("file");
        case EventType::Click:
        case EventType::Timer:
        case EventType::Open:
        case EventType::Close:
            return handler_line(e);
        case EventType::Set:
            return "set " + e.text("tag") + " = " + value_of(e) +
                   (e.flag("touch") ? " (touch)" : "");
        case EventType::Show:
        case EventType::Hide:
            return std::string(type_name(e.type)) + " " + e.text("window");
        case EventType::Touch:
            return "touch";
        case EventType::Clock:
            return "clock " + clock_text(e.integer("clock"));
        case EventType::Answer: {
            if (e.text("dialog") != "msgbox") {
                std::string line = "answer ";
                line += e.text("dialog");
                line += ' ';
                line += e.find("answers")->readable();
                return line;
            }
            std::string line = "answer msgbox";
            for (const Value& a : e.find("answers")->items()) {
                line += ' ';
                line += msgbox_answer_text(a.as_integer());
            }
            return line;
        }
        case EventType::Restart:
            return "restart: the panel is switched off and on, clock " +
                   clock_text(e.integer("clock"));
        case EventType::Wait:
            return located(e, "run until " + e.text("condition") + ": holds after " +
                                  e.text("after") + " (" + e.text("actual") + ")");
        case EventType::Prop:
            return "prop " + e.text("window") + " " + e.text("widget") + " " + e.text("property") +
                   " = " + value_of(e);
        case EventType::Print:
            return e.text("tag") + " = " + value_of(e);
        case EventType::PropValue:
            return e.text("widget") + " " + e.text("property") + " = " + value_of(e);
        case EventType::Expect:
            return expect_line(e);
        case EventType::Error:
        case EventType::Warning:
            return located(e, e.text("message"));
        case EventType::Say:
        case EventType::Info:
        case EventType::Summary:
            return e.text("text");
        default:
            return host_call_line(e, naming);
    }
}

std::string format_time(uint64_t ms) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02llu:%02llu:%02llu.%03llu",
                  static_cast<unsigned long long>(ms / 3600000),
                  static_cast<unsigned long long>(ms / 60000 % 60),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
    return buffer;
}

std::string format_line(const Event& e) {
    if (e.type == EventType::Info || e.type == EventType::Summary) return describe(e);
    std::string line = format_time(e.ms) + " " + std::string(2 * static_cast<size_t>(e.depth), ' ');
    switch (e.type) {
        case EventType::Say:
            return line + "-- " + describe(e);
        case EventType::Expect:
            return line + (e.flag("met") ? "ok " : "FAIL ") + describe(e);
        case EventType::Error:
            return line + "ERROR " + describe(e);
        case EventType::Warning:
            return line + "warning: " + describe(e);
        case EventType::Param: {
            const std::string& outcome = e.text("outcome");
            bool error = outcome == "failed" || outcome == "damaged" || outcome == "unusable";
            return line + (error ? "ERROR " : "") + describe(e);
        }
        default:
            return line + describe(e);
    }
}

std::string to_json(const Event& e) {
    std::string out = "{\"time_ms\":" + std::to_string(e.ms) + ",\"time\":\"" + format_time(e.ms) +
                      "\",\"depth\":" + std::to_string(e.depth) + ",\"type\":\"" +
                      type_name(e.type) + "\",\"trace\":";
    append_json_string(out, describe(e));
    for (const Field& f : e.fields) {
        out += ',';
        append_json_string(out, f.key);
        out += ':';
        f.value.append_json(out);
    }
    out += '}';
    return out;
}

EventStream::Id EventStream::subscribe(Sink sink) {
    sinks_.emplace_back(next_, std::move(sink));
    return next_++;
}

void EventStream::unsubscribe(Id id) {
    for (size_t i = 0; i < sinks_.size(); ++i) {
        if (sinks_[i].first == id) {
            sinks_.erase(sinks_.begin() + static_cast<long>(i));
            return;
        }
    }
}

void EventStream::publish(const Event& event) const {
    for (const auto& entry : sinks_) entry.second(event);
}

}  // namespace hmi::host
