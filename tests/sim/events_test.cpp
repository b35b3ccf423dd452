// The event model: what the host records is typed, both renderers show it without
// re-reading any text, and a subscriber sees the same stream as the trace.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>
#include <type_traits>

#include "host/host.hpp"
#include "sim/engine/tour.hpp"
#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

using host::Value;

TEST(EventModel, ValuesKeepTheirTypeInJsonAndInTheReadableTrace) {
    struct Case {
        const char* what;
        Value value;
        const char* json;
        const char* readable;  // with texts quoted
    };
    const Case cases[] = {
        {"integer", Value::integer(-7), "-7", "-7"},
        {"float in its shortest form", Value::float32(1.0000001f), "1.0000001", "1.0000001"},
        {"double", Value::real(2.5), "2.5", "2.5"},
        {"colour", Value::colour(0x0000FF), "255", "0x0000FF"},
        {"flag", Value::boolean(true), "true", "true"},
        {"text with quote and newline", Value::text("a\"b\n"), R"("a\"b\n")", "\"a\"b\n\""},
        {"bytes that are not UTF-8", Value::text("x\xFFy"), "\"x\xEF\xBF\xBDy\"", "\"x\xFFy\""},
        {"no number", Value::real(std::numeric_limits<double>::quiet_NaN()), "null", "nan"},
        {"list", Value::list({Value::integer(6), Value::text("cancel")}), R"([6,"cancel"])",
         "6 cancel"},
    };
    for (const Case& c : cases) {
        std::string json;
        c.value.append_json(json);
        EXPECT_EQ(json, c.json) << c.what;
        EXPECT_EQ(c.value.readable(true), c.readable) << c.what;
    }
}

// Every trace line begins with a time, and every real number goes through real_text: both
// are written by hand, and must read as printf would write them.
TEST(EventModel, TimesAndRealsReadAsPrintfWritesThem) {
    const std::pair<uint64_t, const char*> times[] = {
        {0, "00:00:00.000"},
        {59999, "00:00:59.999"},
        {3600000 - 1, "00:59:59.999"},
        {9 * 3600000 + 7, "09:00:00.007"},
        {1000ull * 3600000 + 61001, "1000:01:01.001"},
        {4294967295ull * 1000 + 999, "1193046:28:15.999"},
    };
    for (const auto& [ms, text] : times) EXPECT_EQ(host::format_time(ms), text) << ms;
    for (double d : {0.0, -0.0, 0.1, 13.9, -2.5, 1.0 / 3, 1e20, 123456789012.0, 1e-7, 6.02214076e23,
                     std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::denorm_min()}) {
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.10g", d);
        EXPECT_EQ(host::real_text(d), printed);
    }
}

TEST(EventModel, TheHostRecordsAWriteWithTheTagItMeant) {
    host::Host h(host::Catalogue::parse("dtmain.HV201 u8 0\ndish.put7 text \"\"\n", "tags"));
    {
        host::HostGuard use(h);
        unsigned char one = 1;
        h.set_value("HV201", &one);
        h.set_value("dish.put7", "\xC4\xE3");  // GBK
        h.set_value("HV78", &one);
    }
    ASSERT_EQ(h.events().size(), 3u);
    const host::Event& bare = h.events()[0];
    EXPECT_EQ(bare.text(key::name), "HV201");
    EXPECT_EQ(bare.text(key::tag), "dtmain.HV201");
    EXPECT_EQ(bare.text(key::kind), "u8");
    EXPECT_EQ(bare.find(key::value)->type(), Value::Type::Integer);
    EXPECT_EQ(host::describe(bare, host::Naming::WithTag), "set HV201 (dtmain.HV201) = 1");
    EXPECT_EQ(host::to_json(h.events()[1]).find("\"value\":\"\xE4\xBD\xA0\"") != std::string::npos,
              true)
        << host::to_json(h.events()[1]);
    // The host's own record names the tag as the script wrote it.
    EXPECT_EQ(h.trace(),
              "set HV201 = 1\nset dish.put7 = \"\xE4\xBD\xA0\"\nset HV78 = 1 (no such tag)\n");
}

TEST(EventModel, UnknownNamesAreCountedNotListedAgain) {
    host::Host h(host::Catalogue::parse("a.b u8 0\n", "tags"));
    h.set_recorded_topics(0);
    {
        host::HostGuard use(h);
        unsigned char one = 1;
        for (int i = 0; i < 10000; ++i) h.set_value("HV78", &one);
        h.get_value("nothing.here");
    }
    EXPECT_EQ(h.unknown_uses(), 10001u);
    ASSERT_EQ(h.unknown_names().size(), 2u);
    EXPECT_EQ(h.unknown_names().at("set HV78"), 10000u);
    EXPECT_EQ(h.unknown_names().at("get nothing.here"), 1u);
}

TEST(EventModel, ASubscriberSeesTheStreamUntilItLeaves) {
    Recorder trace;
    Simulator sim(real_panel(), real_library(), Options{}, trace.sink());
    int seen = 0;
    EventStream::Id id = sim.events().subscribe([&seen](const Event&) { ++seen; });
    sim.start();
    int at_start = seen;
    EXPECT_EQ(static_cast<size_t>(at_start), trace.events.size());
    sim.events().unsubscribe(id);
    sim.run(5000);
    EXPECT_EQ(seen, at_start);
    EXPECT_GT(trace.events.size(), static_cast<size_t>(at_start));
}

// Every value of a scenario's events is typed by what it is the value of, and so is it
// in the JSON lines: numbers as numbers, texts as strings.
TEST(EventModel, JsonLinesOfATourScenarioCarryTypedValues) {
    Recorder out;
    ScenarioRun run = run_scenario_file(std::string(HMI_SCENARIO_DIR) + "/30-sequencer-auto.sim",
                                        real_panel(), real_library(), Options{}, out.sink());
    ASSERT_TRUE(run.result.ok());
    int numbers = 0;
    for (const Event& e : out.events) {
        std::string json = sim::json_line(e);
        EXPECT_EQ(json.find("\"time_ms\":" + std::to_string(e.ms) + ","), 1u) << json;
        if (e.find(key::line) != nullptr) {
            EXPECT_EQ(e.find(key::line)->type(), Value::Type::Integer);
        }
        const Value* value = e.find(key::value);
        if (value == nullptr || e.find(key::kind) == nullptr) continue;
        bool text = e.text(key::kind) == "text";
        EXPECT_EQ(value->type() == Value::Type::Text, text) << json;
        size_t at = json.find("\"value\":");
        ASSERT_NE(at, std::string::npos) << json;
        EXPECT_EQ(json[at + 8] == '"', text) << json;
        numbers += !text;
    }
    EXPECT_GT(numbers, 100);
}

// One predicate says what failed; the readable line, the JSON line and the quiet output
// all follow it.
TEST(EventModel, EveryRendererAsksTheOnePredicateWhetherAnEventFailed) {
    struct Case {
        Event event;
        bool failed;
        const char* line;  // the readable line
    };
    auto param = [](host::ParamOutcome outcome, const char* op) {
        return Event(EventType::Param, {{key::operation, Value::text(op)},
                                        host::outcome_field(outcome),
                                        {key::file, Value::text("p.txt")},
                                        {key::error, Value::text("the disk is full")}});
    };
    const Case kCases[] = {
        {Event(EventType::Error, {{key::message, Value::text("no")}}), true,
         "00:00:00.000 ERROR no"},
        {Event(EventType::Expect, {{key::met, Value::boolean(false)},
                                   {key::command, Value::text("expect shown main")},
                                   {key::expected, Value::text("shown")},
                                   {key::actual, Value::text("hidden")}}),
         true, "00:00:00.000 FAIL expect shown main: expected shown, is hidden"},
        {Event(EventType::Expect, {{key::met, Value::boolean(true)},
                                   {key::command, Value::text("expect shown main")}}),
         false, "00:00:00.000 ok expect shown main"},
        {param(host::ParamOutcome::Failed, "save"), true,
         "00:00:00.000 ERROR param save FAILED: the disk is full"},
        {param(host::ParamOutcome::Damaged, "load"), true, "00:00:00.000 ERROR the disk is full"},
        {param(host::ParamOutcome::Saved, "save"), false, "00:00:00.000 param save -> p.txt"},
        {Event(EventType::Warning, {{key::message, Value::text("odd")}}), false,
         "00:00:00.000 warning: odd"},
        {Event(EventType::Note, {{key::text, Value::text("watching every tag")}}), false,
         "watching every tag"},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(is_failure(c.event), c.failed) << c.line;
        EXPECT_EQ(trace_line(c.event), c.line);
        std::string json = json_line(c.event);
        std::string member = std::string("\"failed\":") + (c.failed ? "true" : "false") + ",";
        EXPECT_NE(json.find(member), std::string::npos) << json;
    }
    EXPECT_STREQ(event_name(EventType::Write), "write");
    EXPECT_STREQ(event_name(EventType::Note), "note");
    EXPECT_STREQ(event_name(EventType::Summary), "summary");
}

// A field is named by a constant, never by a bare literal.
static_assert(!std::is_convertible_v<const char*, FieldKey>);

// A name finds its field by its text, also where it is another constant of the same
// text (another layer's, another file's copy), and finds nothing by a name it begins.
TEST(EventModel, AFieldIsFoundByItsWholeName) {
    static const char kLine[] = "line";  // the same text at another address
    const Event e(EventType::Error,
                  {{key::line, Value::integer(3)}, {key::message, Value::text("no")}});
    const struct {
        FieldKey name;
        const Value* found;
    } kCases[] = {
        {key::line, &e.fields[0].value},    {FieldKey{kLine}, &e.fields[0].value},
        {key::message, &e.fields[1].value}, {FieldKey{"lin"}, nullptr},
        {FieldKey{"lines"}, nullptr},       {key::file, nullptr},
    };
    for (const auto& c : kCases) EXPECT_EQ(e.find(c.name), c.found) << c.name.name();
}

// The library's calls reach the host of the innermost guard of their own thread.
TEST(HostGuard, GuardsNestAndEachThreadReachesOnlyItsOwnHost) {
    const host::Catalogue catalogue = host::Catalogue::parse("a.b u8 0\n", "tags");
    host::Host outer(catalogue), inner(catalogue);
    ASSERT_EQ(host::installed(), nullptr);
    {
        host::HostGuard use_outer(outer);
        {
            host::HostGuard use_inner(inner);
            EXPECT_EQ(host::installed(), &inner);
            host::Host* seen = &inner;
            std::thread([&] { seen = host::installed(); }).join();
            EXPECT_EQ(seen, nullptr) << "another thread reached this thread's host";
        }
        EXPECT_EQ(host::installed(), &outer) << "the inner guard did not give the outer back";
    }
    EXPECT_EQ(host::installed(), nullptr);
}

}  // namespace
}  // namespace hmi::sim::test
