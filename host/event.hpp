// The event model: everything that happens on the panel, as typed events.
//
// The host records each service call as an event (a tag write, a window call, a
// dialog, a parameter operation...); the simulator adds its own (a click, a timer
// tick, a property change, an expectation...) on the same model and stamps each with
// simulated time and depth. Every output is a renderer of this one stream: the
// readable trace (`describe`), the JSON lines (`to_json`), the host's record of calls.
// The fields and their types per event type are listed in README.md ("Events").
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hmi::host {

// A value with its type: what a tag, a property or a field holds.
class Value {
  public:
    enum class Type : uint8_t {
        None,     // absent
        Bool,     // true or false
        Integer,  // a whole number
        Float,    // a 32-bit float, shown in its shortest form
        Real,     // a double, shown with 10 significant digits
        Colour,   // 0xBBGGRR: a number in JSON, hex in the readable trace
        Text,     // UTF-8; quoted in the readable trace where it is a tag's or widget's value
        List,     // values, in order
    };

    Value() = default;
    static Value boolean(bool b);
    static Value integer(int64_t n);
    static Value float32(float f);
    static Value real(double d);
    static Value colour(uint32_t bgr);
    static Value text(std::string utf8);
    static Value list(std::vector<Value> items);

    Type type() const { return type_; }
    int64_t as_integer() const { return integer_; }
    double as_real() const { return real_; }
    const std::string& as_text() const { return text_; }
    const std::vector<Value>& items() const { return items_; }

    // As a person reads it; `quote_text` puts texts in double quotes.
    std::string readable(bool quote_text = false) const;
    // As JSON: numbers as numbers, texts as strings (invalid UTF-8 replaced), lists as arrays.
    void append_json(std::string& out) const;

  private:
    Type type_ = Type::None;
    int64_t integer_ = 0;
    double real_ = 0;
    std::string text_;
    std::vector<Value> items_;
};

enum class EventType : uint8_t {
    // ---- host service calls ----
    Write,   // a handler wrote a tag
    Read,    // an event function read a tag
    Poll,    // a property function read a tag
    Window,  // show, hide, center, show_modal, exit_modal
    MsgBox,  // a message box and its answer
    Input,   // an input dialog and what came of it
    Param,   // parameter memory, the parameter file
    Lookup,  // a parameter looked up by group and name
    Format,  // number formatting, joins, clock conversion, project path
    // ---- the simulated panel ----
    Start,      // the panel starts
    Scenario,   // a scenario file starts
    Click,      // a widget's click handler runs
    Timer,      // a timer's tick handler runs
    Open,       // a window's open handler runs
    Close,      // a window's close handler runs
    Set,        // a scenario or person (or a touch) sets a tag
    Show,       // a scenario or person shows a window
    Hide,       // ... hides one
    Touch,      // ... touches the panel
    Clock,      // ... sets the panel's clock
    Answer,     // ... queues answers for dialogs
    Restart,    // ... switches the panel off and on
    Wait,       // a run until its condition held
    Prop,       // a widget property changed
    Print,      // a tag's value, asked for
    PropValue,  // a property's current value, asked for
    Say,        // narration of a scenario
    Expect,     // an expectation, met or failed
    Error,      // a line or call that could not be carried out
    Warning,
    Info,     // listings and help, not tied to a moment
    Summary,  // the outcome of a scenario, a tour or a check, with counts
};

const char* type_name(EventType type);

// What a host service call was about, for choosing what the host records.
enum class Topic : uint8_t {
    Read = 1,     // tag reads by event functions ("get")
    Poll = 2,     // tag reads by property functions ("poll")
    Write = 4,    // tag writes ("set")
    Window = 8,   // show, hide, center, modal
    Dialog = 16,  // message boxes and input dialogs
    Param = 32,   // parameter memory and lookups by group and name
    Format = 64,  // number formatting, joins, clock conversion, project path
    Panel = 128,  // events of the simulated panel, not host calls
};
constexpr unsigned kAllTopics = 127;
constexpr unsigned kBehaviour =
    static_cast<unsigned>(Topic::Write) | static_cast<unsigned>(Topic::Window) |
    static_cast<unsigned>(Topic::Dialog) | static_cast<unsigned>(Topic::Param);

Topic topic_of(EventType type);

struct Field {
    const char* key;  // a literal: the JSON member name
    Value value;
};

struct Event {
    EventType type = EventType::Info;
    uint64_t ms = 0;  // simulated time since the panel started (the simulator's)
    int depth = 0;    // 0: an event or an action, 1: what it caused
    std::vector<Field> fields;

    Event() = default;
    Event(EventType t, std::vector<Field> f) : type(t), fields(std::move(f)) {}

    const Value* find(std::string_view key) const;
    // The field's text, or "" when it has none.
    const std::string& text(std::string_view key) const;
    int64_t integer(std::string_view key) const;
    bool flag(std::string_view key) const;
};

// How a readable line names what it shows.
enum class Naming : uint8_t {
    AsWritten,  // a tag as the script wrote it: the host's record of calls
    WithTag,    // a name written without its group followed by the tag it means
};

// The answers of a message box as the panel numbers them.
constexpr int kAnswerOk = 1;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// A message box style and answer as a person reads them, with the panel's number:
// "question (style 2)", "yes (6)".
std::string msgbox_style_text(int64_t style);
std::string msgbox_answer_text(int64_t answer);
// "yes", "no" or "OK" for the answers a message box offers; null for any other.
const char* msgbox_answer_word(int64_t answer);

// One line of the readable trace, without the time and the indent.
std::string describe(const Event& event, Naming naming = Naming::WithTag);
// A real number as every output writes it: up to ten significant digits ("13.9", "1e+20").
std::string real_text(double d);
// "hh:mm:ss.mmm" of simulated time.
std::string format_time(uint64_t ms);
// The panel's clock (seconds since 1970, UTC) as date and time fields, right up to the
// clock's end in 2106 on every target.
struct tm clock_fields(int64_t seconds);
// The panel's clock as "YYYY-MM-DD HH:MM:SS".
std::string clock_text(int64_t seconds);
// The whole line: time, indent by depth, text; info lines are the text alone.
std::string format_line(const Event& event);
// One JSON object: time_ms, time, depth, type, trace (the readable line) and every field.
std::string to_json(const Event& event);
// Appends a JSON string: escapes quotes, backslashes and control characters, replaces
// bytes that are not UTF-8 with U+FFFD.
void append_json_string(std::string& out, std::string_view text);

// The receivers of one stream of events; a subscriber (an output, a recorder, a server)
// attaches and detaches at any time between events.
using Sink = std::function<void(const Event&)>;
class EventStream {
  public:
    using Id = uint64_t;
    Id subscribe(Sink sink);
    void unsubscribe(Id id);
    bool empty() const { return sinks_.empty(); }
    void publish(const Event& event) const;

  private:
    std::vector<std::pair<Id, Sink>> sinks_;
    Id next_ = 1;
};

}  // namespace hmi::host
