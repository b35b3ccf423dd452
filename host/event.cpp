#include "host/event.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "host/answers.hpp"

namespace hmi::host {

namespace {

std::string float_text(float f) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, f);
    return std::string(buffer, end);
}

}  // namespace

std::string real_text(double d) {
    char buffer[32];  // as printf's "%.10g" writes it
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 10);
    return std::string(buffer, end);
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
// Each host call kind's name in the JSON lines, and what it is about; in id order.
struct TypeRow {
    const char* name;
    Topic topic;
};
constexpr TypeRow kTypes[] = {
    {"write", Topic::Write},   {"read", Topic::Read},     {"poll", Topic::Poll},
    {"window", Topic::Window}, {"msgbox", Topic::Dialog}, {"input", Topic::Dialog},
    {"param", Topic::Param},   {"lookup", Topic::Param},  {"format", Topic::Format},
};
constexpr size_t kHostKinds = sizeof kTypes / sizeof kTypes[0];
static_assert(kHostKinds == EventType::Format + 1u && kHostKinds <= EventType::kFirstOwnKind);

// The outcomes' names in the events' "outcome" fields, in the order of the enums.
constexpr const char* kInputOutcomes[] = {"stored", "refused", "cancelled", "failed"};
constexpr const char* kParamOutcomes[] = {"",         "loaded", "missing", "damaged",
                                          "unusable", "saved",  "kept",    "failed"};
}  // namespace

const char* type_name(EventType type) {
    return type < kHostKinds ? kTypes[type].name : nullptr;
}

Topic topic_of(EventType type) {
    return type < kHostKinds ? kTypes[type].topic : Topic::Panel;
}

Field outcome_field(InputOutcome outcome) {
    return {key::outcome, Value::text(kInputOutcomes[static_cast<size_t>(outcome)])};
}
Field outcome_field(ParamOutcome outcome) {
    return {key::outcome, Value::text(kParamOutcomes[static_cast<size_t>(outcome)])};
}

InputOutcome Event::input_outcome() const {
    const std::string& name = text(key::outcome);
    for (size_t i = 0; i < std::size(kInputOutcomes); ++i) {
        if (name == kInputOutcomes[i]) return static_cast<InputOutcome>(i);
    }
    return InputOutcome::Failed;
}

ParamOutcome Event::param_outcome() const {
    const std::string& name = text(key::outcome);
    for (size_t i = 1; i < std::size(kParamOutcomes); ++i) {
        if (name == kParamOutcomes[i]) return static_cast<ParamOutcome>(i);
    }
    return ParamOutcome::None;
}

const Value* Event::find(FieldKey key) const {
    for (const Field& f : fields) {
        if (key == f.key) return &f.value;
    }
    return nullptr;
}

const std::string& Event::text(FieldKey key) const {
    static const std::string kNone;
    const Value* v = find(key);
    return v != nullptr && v->type() == Value::Type::Text ? v->as_text() : kNone;
}

int64_t Event::integer(FieldKey key) const {
    const Value* v = find(key);
    return v == nullptr ? 0 : v->as_integer();
}

bool Event::flag(FieldKey key) const {
    const Value* v = find(key);
    return v != nullptr && v->as_integer() != 0;
}

namespace {
std::string value_of(const Event& e) {
    const Value* v = e.find(key::value);
    return v == nullptr ? "" : v->readable(true);
}

std::string quoted(const Event& e, FieldKey key) {
    return "\"" + e.text(key) + "\"";
}

std::string write_line(const Event& e, Naming naming) {
    std::string line = "set " + e.text(key::name);
    if (!e.flag(key::known)) return line + " = " + value_of(e) + " (no such tag)";
    if (naming == Naming::WithTag && e.text(key::tag) != e.text(key::name)) {
        line += " (" + e.text(key::tag) + ")";
    }
    return line + " = " + value_of(e);
}

std::string input_line(const Event& e) {
    std::string line = "input " + e.text(key::tag) + " " + quoted(e, key::prompt) + " " +
                       e.find(key::minimum)->readable() + ".." + e.find(key::maximum)->readable() +
                       " option " + std::to_string(e.integer(key::option)) + " -> ";
    InputOutcome outcome = e.input_outcome();
    if (outcome == InputOutcome::Cancelled) return line + "cancelled";
    line += e.find(key::answer)->readable();
    if (outcome == InputOutcome::Stored) return line + " stored";
    if (outcome == InputOutcome::Refused) return line + " refused";
    return line + " (" + e.text(key::error) + ")";
}

std::string param_line(const Event& e) {
    const std::string& op = e.text(key::operation);
    ParamOutcome outcome = e.param_outcome();
    const std::string& file = e.text(key::file);
    if (op == "load") {
        if (outcome == ParamOutcome::Missing) return "no saved parameters yet in " + file;
        if (outcome == ParamOutcome::Damaged || outcome == ParamOutcome::Unusable)
            return e.text(key::error);
        if (file.empty()) {
            return "loaded " + std::to_string(e.integer(key::count)) +
                   " saved parameters from the panel's memory";
        }
        return "loaded " + std::to_string(e.integer(key::count)) + " saved parameters from " + file;
    }
    std::string line = "param " + op;
    if (outcome == ParamOutcome::Kept) return line + " (kept in memory)";
    if (outcome == ParamOutcome::Saved) return line + " -> " + file;
    if (outcome == ParamOutcome::Failed) return line + " FAILED: " + e.text(key::error);
    return line;
}

}  // namespace

std::string describe(const Event& e, Naming naming) {
    switch (e.type) {
        case EventType::Write:
            return write_line(e, naming);
        case EventType::Read:
        case EventType::Poll:
            return std::string(e.type == EventType::Read ? "get " : "poll ") + e.text(key::name) +
                   (e.flag(key::known) ? "" : " (no such tag)");
        case EventType::Window:
            return e.text(key::call) + " " + e.text(key::window) +
                   (e.find(key::in_panel) != nullptr && !e.flag(key::in_panel)
                        ? " (no such window in the panel)"
                        : "") +
                   (e.text(key::already).empty() ? "" : " (already " + e.text(key::already) + ")");
        case EventType::MsgBox:
            // The host's record of calls keeps the numbers alone; the trace names them.
            if (naming == Naming::AsWritten) {
                return "msgbox " + quoted(e, key::title) + " " + quoted(e, key::text) + " style " +
                       std::to_string(e.integer(key::style)) + " -> " +
                       std::to_string(e.integer(key::answer));
            }
            return "msgbox " + quoted(e, key::title) + " " + quoted(e, key::text) + " " +
                   msgbox_style_text(e.integer(key::style)) + " -> " +
                   msgbox_answer_text(e.integer(key::answer));
        case EventType::Input:
            return input_line(e);
        case EventType::Param:
            return param_line(e);
        case EventType::Lookup:
            return "lookup " + e.text(key::name) +
                   (e.flag(key::known) ? " -> " + value_of(e) : " (no such tag)");
        case EventType::Format:
            if (e.find(key::datetime) != nullptr) {
                return "gettimeinfo " + std::to_string(e.integer(key::datetime)) + " -> " +
                       e.text(key::result);
            }
            return e.text(key::call) + " -> " + quoted(e, key::result);
        default:
            return "";
    }
}

bool failed(const Event& e) {
    if (e.type != EventType::Param) return false;
    ParamOutcome outcome = e.param_outcome();
    return outcome == ParamOutcome::Failed || outcome == ParamOutcome::Damaged ||
           outcome == ParamOutcome::Unusable;
}

std::string format_time(uint64_t ms) {
    // Every line of the trace begins with one: written digit by digit, not by printf.
    uint64_t hours = ms / 3600000;
    std::string text = hours < 10 ? "0" + std::to_string(hours) : std::to_string(hours);
    auto digit = [](uint64_t n) { return static_cast<char>('0' + n); };
    uint64_t minutes = ms / 60000 % 60, seconds = ms / 1000 % 60, milli = ms % 1000;
    const char rest[] = {':',
                         digit(minutes / 10),
                         digit(minutes % 10),
                         ':',
                         digit(seconds / 10),
                         digit(seconds % 10),
                         '.',
                         digit(milli / 100),
                         digit(milli / 10 % 10),
                         digit(milli % 10)};
    return text.append(rest, sizeof rest);
}

std::string format_line(const Event& e) {
    return format_time(e.ms) + " " + std::string(2 * static_cast<size_t>(e.depth), ' ') +
           (failed(e) ? "ERROR " : "") + describe(e);
}

std::string json_object(const Event& e, const char* type, bool failed, const std::string& trace) {
    std::string out = "{\"time_ms\":" + std::to_string(e.ms) + ",\"time\":\"" + format_time(e.ms) +
                      "\",\"depth\":" + std::to_string(e.depth) + ",\"type\":\"" + type +
                      "\",\"failed\":" + (failed ? "true" : "false") + ",\"trace\":";
    append_json_string(out, trace);
    for (const Field& f : e.fields) {
        out += ',';
        append_json_string(out, f.key.name());
        out += ':';
        f.value.append_json(out);
    }
    out += '}';
    return out;
}

std::string to_json(const Event& e) {
    return json_object(e, type_name(e.type), failed(e), describe(e));
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
