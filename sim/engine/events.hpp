// The simulator's own events, on the same stream as the host's calls (host/event.hpp):
// what the panel does around the library (starts, clicks, timer ticks, property
// changes), what a scenario or a person does to it, and what they are told (expectations,
// errors, listings, summaries). Here too is what every output shares: each kind's name,
// its readable line and the one answer to whether an event is a failure.
#pragma once

#include <string>

#include "host/event.hpp"

namespace hmi::sim {

using host::Event;
using host::FieldKey;

// The fields of the simulator's events, beside the host's (README.md, "Events"): here
// `key::file` names either.
namespace key {
using namespace host::key;
// ---- the panel and what is done to it ----
inline constexpr FieldKey answers{"answers"};
inline constexpr FieldKey clock{"clock"};
inline constexpr FieldKey dialog{"dialog"};
inline constexpr FieldKey key{"key"};
inline constexpr FieldKey label{"label"};
inline constexpr FieldKey library{"library"};
inline constexpr FieldKey property{"property"};
inline constexpr FieldKey touch{"touch"};
inline constexpr FieldKey widget{"widget"};
inline constexpr FieldKey width{"width"};
// ---- what is told: runs, expectations, errors ----
inline constexpr FieldKey actual{"actual"};
inline constexpr FieldKey after{"after"};
inline constexpr FieldKey after_ms{"after_ms"};
inline constexpr FieldKey command{"command"};
inline constexpr FieldKey condition{"condition"};
inline constexpr FieldKey expected{"expected"};
inline constexpr FieldKey line{"line"};
inline constexpr FieldKey message{"message"};
inline constexpr FieldKey met{"met"};
inline constexpr FieldKey stopped{"stopped"};
// ---- summaries' counts ----
inline constexpr FieldKey bad{"bad"};
inline constexpr FieldKey bad_lines{"bad_lines"};
inline constexpr FieldKey checked{"checked"};
inline constexpr FieldKey expectations{"expectations"};
inline constexpr FieldKey failed{"failed"};
inline constexpr FieldKey failures{"failures"};
inline constexpr FieldKey good{"good"};
inline constexpr FieldKey other_failures{"other_failures"};
inline constexpr FieldKey panel_ms{"panel_ms"};
inline constexpr FieldKey passed{"passed"};
inline constexpr FieldKey run{"run"};
}  // namespace key

// Every kind of the simulator's stream: the host's calls (EventType::Write...) and these.
struct EventType : host::EventType {
    using host::EventType::EventType;
    constexpr EventType(host::EventType type) : host::EventType(type) {}  // NOLINT

    // ---- the simulated panel ----
    static const host::EventType Start;     // the panel starts
    static const host::EventType Scenario;  // a scenario file starts
    static const host::EventType Click;     // a widget's click handler runs
    static const host::EventType Timer;     // a timer's tick handler runs
    static const host::EventType Open;      // a window's open handler runs
    static const host::EventType Close;     // a window's close handler runs
    static const host::EventType Prop;      // a widget property changed
    // ---- what a scenario or a person does ----
    static const host::EventType Set;      // sets a tag (or a touch does)
    static const host::EventType Show;     // shows a window
    static const host::EventType Hide;     // hides one
    static const host::EventType Touch;    // touches the panel
    static const host::EventType Clock;    // sets the panel's clock
    static const host::EventType Answer;   // queues answers for dialogs
    static const host::EventType Restart;  // switches the panel off and on
    // ---- what they are told ----
    static const host::EventType Wait;       // a run until its condition held
    static const host::EventType Print;      // a tag's value, asked for
    static const host::EventType PropValue;  // a property's current value, asked for
    static const host::EventType Say;        // narration of a scenario
    static const host::EventType Expect;     // an expectation, met or failed
    static const host::EventType Error;      // a line or call that could not be carried out
    static const host::EventType Warning;
    static const host::EventType Info;     // listings and help, asked for
    static const host::EventType Note;     // a setting taken (watch, trace, record...)
    static const host::EventType Summary;  // the outcome of a scenario, a tour or a check
};
inline constexpr host::EventType EventType::Start{host::EventType::kFirstOwnKind};
inline constexpr host::EventType EventType::Scenario{host::EventType::kFirstOwnKind + 1};
inline constexpr host::EventType EventType::Click{host::EventType::kFirstOwnKind + 2};
inline constexpr host::EventType EventType::Timer{host::EventType::kFirstOwnKind + 3};
inline constexpr host::EventType EventType::Open{host::EventType::kFirstOwnKind + 4};
inline constexpr host::EventType EventType::Close{host::EventType::kFirstOwnKind + 5};
inline constexpr host::EventType EventType::Prop{host::EventType::kFirstOwnKind + 6};
inline constexpr host::EventType EventType::Set{host::EventType::kFirstOwnKind + 7};
inline constexpr host::EventType EventType::Show{host::EventType::kFirstOwnKind + 8};
inline constexpr host::EventType EventType::Hide{host::EventType::kFirstOwnKind + 9};
inline constexpr host::EventType EventType::Touch{host::EventType::kFirstOwnKind + 10};
inline constexpr host::EventType EventType::Clock{host::EventType::kFirstOwnKind + 11};
inline constexpr host::EventType EventType::Answer{host::EventType::kFirstOwnKind + 12};
inline constexpr host::EventType EventType::Restart{host::EventType::kFirstOwnKind + 13};
inline constexpr host::EventType EventType::Wait{host::EventType::kFirstOwnKind + 14};
inline constexpr host::EventType EventType::Print{host::EventType::kFirstOwnKind + 15};
inline constexpr host::EventType EventType::PropValue{host::EventType::kFirstOwnKind + 16};
inline constexpr host::EventType EventType::Say{host::EventType::kFirstOwnKind + 17};
inline constexpr host::EventType EventType::Expect{host::EventType::kFirstOwnKind + 18};
inline constexpr host::EventType EventType::Error{host::EventType::kFirstOwnKind + 19};
inline constexpr host::EventType EventType::Warning{host::EventType::kFirstOwnKind + 20};
inline constexpr host::EventType EventType::Info{host::EventType::kFirstOwnKind + 21};
inline constexpr host::EventType EventType::Note{host::EventType::kFirstOwnKind + 22};
inline constexpr host::EventType EventType::Summary{host::EventType::kFirstOwnKind + 23};

// The kind's name in the JSON lines: "click", "expect", "write"...
const char* event_name(host::EventType type);

// Whether an event is a failure: an error, a failed expectation, a failed parameter
// operation. The readable trace (which sends failures to standard error), the JSON lines
// (their "failed" member), the inspector's page and the quiet output all ask this.
bool is_failure(const Event& event);

// One line of the readable trace, without the time and the indent.
std::string trace_text(const Event& event);
// The whole line: time, indent by depth, the mark of what it is ("ok ", "FAIL ",
// "ERROR ", "-- "...) and the text; listings, notes and summaries are the text alone.
std::string trace_line(const Event& event);
// One JSON object: time_ms, time, depth, type, failed, trace (the readable line) and
// every field.
std::string json_line(const Event& event);

}  // namespace hmi::sim
