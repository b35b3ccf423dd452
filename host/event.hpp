// The event model: what happens on the panel, as typed events.
//
// The host records each service call as an event (a tag write, a window call, a
// dialog, a parameter operation...) and defines those kinds here; the simulator
// defines its own (a click, a timer tick, a property change, an expectation...) in
// sim/engine/events.hpp, on the same model, and stamps each with simulated time and
// depth. Every output is a renderer of this one stream: the readable trace, the JSON
// lines, the host's record of calls. The fields and their types per event type are
// listed in README.md ("Events").
#pragma once

#include <cstdint>
#include <cstring>
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

// The kind of an event. The host defines the kinds of the service calls it records;
// a layer that puts events of its own on the same stream (the simulator: clicks, timer
// ticks, expectations...) defines its kinds beside these, numbered from kFirstOwnKind,
// with their names, readable lines and which of them are failures.
class EventType {
  public:
    constexpr explicit EventType(uint8_t id) : id_(id) {}
    constexpr operator uint8_t() const { return id_; }  // kinds are switched over
    static constexpr uint8_t kFirstOwnKind = 16;
    bool is_host_call() const { return id_ < kFirstOwnKind; }

    static const EventType Write;   // a handler wrote a tag
    static const EventType Read;    // an event function read a tag
    static const EventType Poll;    // a property function read a tag
    static const EventType Window;  // show, hide, center, show_modal, exit_modal
    static const EventType MsgBox;  // a message box and its answer
    static const EventType Input;   // an input dialog and what came of it
    static const EventType Param;   // parameter memory, the parameter file
    static const EventType Lookup;  // a parameter looked up by group and name
    static const EventType Format;  // number formatting, joins, clock conversion, project path

  private:
    uint8_t id_;
};
inline constexpr EventType EventType::Write{0};
inline constexpr EventType EventType::Read{1};
inline constexpr EventType EventType::Poll{2};
inline constexpr EventType EventType::Window{3};
inline constexpr EventType EventType::MsgBox{4};
inline constexpr EventType EventType::Input{5};
inline constexpr EventType EventType::Param{6};
inline constexpr EventType EventType::Lookup{7};
inline constexpr EventType EventType::Format{8};

// The name of a host call's kind in the JSON lines; null for a kind of another layer.
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
    Panel = 128,  // events of another layer, not host calls
};
constexpr unsigned kAllTopics = 127;
constexpr unsigned kBehaviour =
    static_cast<unsigned>(Topic::Write) | static_cast<unsigned>(Topic::Window) |
    static_cast<unsigned>(Topic::Dialog) | static_cast<unsigned>(Topic::Param);

Topic topic_of(EventType type);

// What came of an input dialog (its "outcome" field).
enum class InputOutcome : uint8_t { Stored, Refused, Cancelled, Failed };
// What came of a parameter operation (its "outcome" field): a load (loaded, missing,
// damaged, unusable), a save (saved, kept in memory, failed); None when it has none.
enum class ParamOutcome : uint8_t { None, Loaded, Missing, Damaged, Unusable, Saved, Kept, Failed };

// The name of an event's field, its member name in the JSON lines. Fields are named by
// the constants of `key` (and of a layer's own, beside them), never by a bare literal,
// so that a misspelt name does not compile.
class FieldKey {
  public:
    constexpr explicit FieldKey(const char* name) : name_(name) {}
    constexpr const char* name() const { return name_; }
    // A constant is mostly one pointer in every file that names it; the text decides
    // where it is not.
    friend bool operator==(FieldKey a, FieldKey b) {
        return a.name_ == b.name_ || std::strcmp(a.name_, b.name_) == 0;
    }

  private:
    const char* name_;
};

// The fields of the host's calls (README.md, "Events").
namespace key {
inline constexpr FieldKey already{"already"};
inline constexpr FieldKey answer{"answer"};
inline constexpr FieldKey call{"call"};
inline constexpr FieldKey count{"count"};
inline constexpr FieldKey datetime{"datetime"};
inline constexpr FieldKey error{"error"};
inline constexpr FieldKey file{"file"};
inline constexpr FieldKey in_panel{"in_panel"};
inline constexpr FieldKey kind{"kind"};
inline constexpr FieldKey known{"known"};
inline constexpr FieldKey maximum{"maximum"};
inline constexpr FieldKey minimum{"minimum"};
inline constexpr FieldKey name{"name"};
inline constexpr FieldKey operation{"operation"};
inline constexpr FieldKey option{"option"};
inline constexpr FieldKey outcome{"outcome"};
inline constexpr FieldKey prompt{"prompt"};
inline constexpr FieldKey result{"result"};
inline constexpr FieldKey style{"style"};
inline constexpr FieldKey tag{"tag"};
inline constexpr FieldKey text{"text"};
inline constexpr FieldKey title{"title"};
inline constexpr FieldKey value{"value"};
inline constexpr FieldKey window{"window"};
}  // namespace key

struct Field {
    FieldKey key;
    Value value;
};

struct Event {
    EventType type = EventType::Write;
    uint64_t ms = 0;  // simulated time since the panel started (the simulator's)
    int depth = 0;    // 0: an event or an action, 1: what it caused
    std::vector<Field> fields;

    Event() = default;
    Event(EventType t, std::vector<Field> f) : type(t), fields(std::move(f)) {}

    const Value* find(FieldKey key) const;
    // The field's text, or "" when it has none.
    const std::string& text(FieldKey key) const;
    int64_t integer(FieldKey key) const;
    bool flag(FieldKey key) const;

    InputOutcome input_outcome() const;
    ParamOutcome param_outcome() const;
};

// An outcome as its event's field carries it.
Field outcome_field(InputOutcome outcome);
Field outcome_field(ParamOutcome outcome);

// How a readable line names what it shows.
enum class Naming : uint8_t {
    AsWritten,  // a tag as the script wrote it: the host's record of calls
    WithTag,    // a name written without its group followed by the tag it means
};

// One line of the readable trace of a host call, without the time and the indent.
std::string describe(const Event& event, Naming naming = Naming::WithTag);
// Whether a host call failed: a parameter operation that failed or found its file
// damaged or unusable.
bool failed(const Event& event);
// A real number as every output writes it: up to ten significant digits ("13.9", "1e+20").
std::string real_text(double d);
// "hh:mm:ss.mmm" of simulated time.
std::string format_time(uint64_t ms);
// The panel's clock (seconds since 1970, UTC) as date and time fields, right up to the
// clock's end in 2106 on every target.
struct tm clock_fields(int64_t seconds);
// The panel's clock as "YYYY-MM-DD HH:MM:SS".
std::string clock_text(int64_t seconds);
// A line of the readable trace: time, indent by depth, then the mark of a failure
// ("ERROR ") and the text.
std::string format_line(const Event& event);
// One JSON object of an event of any layer: time_ms, time, depth, type, failed, trace
// (the readable line) and every field.
std::string json_object(const Event& event, const char* type, bool failed,
                        const std::string& trace);
// A host call's JSON object.
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
