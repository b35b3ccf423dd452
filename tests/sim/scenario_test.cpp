// Scenario lines: every kind of bad line is named with its file and line and changes
// nothing; a scenario with a bad line runs nothing; failed checks say what was
// expected next to what is.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sim/support.hpp"
#include "tests/support/golden.hpp"

namespace hmi::sim::test {
namespace {
using namespace std::string_literals;

// Everything a command could change.
struct Snapshot {
    std::vector<std::vector<unsigned char>> tags;
    std::vector<bool> shown;
    uint64_t now;
    size_t answers;

    explicit Snapshot(Simulator& sim) : now(sim.now()), answers(sim.queued_answers()) {
        for (const host::Tag& t : sim.host().tags().all()) {
            tags.emplace_back(t.value, t.value + host::width(t.def->kind));
        }
        for (size_t i = 0; i < sim.panel().windows.size(); ++i) {
            shown.push_back(sim.shown(static_cast<int>(i)));
        }
    }
    bool operator==(const Snapshot& o) const {
        return tags == o.tags && shown == o.shown && now == o.now && answers == o.answers;
    }
};

class Scenario : public ::testing::Test {
  protected:
    Scenario() {
        sim.start();
        out.take();
    }
    Recorder out;
    Simulator sim{real_panel(), real_library(), Options{}, out.sink()};
};

struct BadLine {
    const char* line;
    const char* message;  // the start of what is reported
};

const BadLine kBadLines[] = {
    {"clik main picture3", "unknown command 'clik'; did you mean 'click'? (commands: set, show, "},
    {"show nowindow", "unknown window 'nowindow'"},
    {"hide", "expected: hide WINDOW"},
    {"click main picture99",
     "unknown widget 'picture99' in main; did you mean 'picture9', 'picture3' or 'picture13'?"},
    // A window that borrows the handlers of another is named as the panel knows it.
    {"click timeinput nosuch", "unknown widget 'nosuch' in timeinput (widgets: \"cancel\" ("},
    {"click 15_nosuch_click", "unknown widget 'nosuch' in timeinput (widgets: \"cancel\" ("},
    {"click main timer1", "main timer1 has no click handler (its events: timer)"},
    {"click main", "expected: click WINDOW WIDGET | click KEY"},
    {"click main picture3 now", "expected: click WINDOW WIDGET | click KEY"},
    {"click water picture1", "the library has no handlers for window water (yet)"},
    {"click 15 button8",
     "window 15 has no handlers of its own (the keys of \"15\" belong to timeinput)"},
    {"click main_picture3_timer", "'main_picture3_timer' is not a click handler"},
    {"click nowhere_picture1_click", "no window of the panel has the handlers of 'nowhere'"},
    {"click picture3", "unknown window 'picture3', nor is it a handler key"},
    {"fire main timer1 0", "'0' is not a count from 1 to 1000000"},
    {"fire main timer1 many", "'many' is not a count from 1 to 1000000"},
    {"fire main picture3", "main picture3 has no timer handler (its events: click)"},
    {"set main.cont 1", "unknown tag 'main.cont'; did you mean 'main.count', "},
    {"set main.count 256", "main.count (u8): 256 does not fit (0 to 255)"},
    {"set main.count -1", "main.count (u8): -1 does not fit (0 to 255)"},
    {"set main.screenProtectTime 1.5", "main.screenProtectTime (u16): '1.5' is not a whole number"},
    {"set main.count", "expected: set TAG [=] VALUE"},
    {"set kelvor.x_Real fast", "kelvor.x_Real (f32): 'fast' is not a number"},
    {"set dish.put7 \"\xf0\x9f\x98\x80\"", "dish.put7: the text has a character the panel lacks"},
    {"say \"not closed", "a quoted text is not closed"},
    {"run 10x", "'10x' is not a duration (500ms, 10s, 2m, 1h, 1m30s)"},
    {"run", "expected: run DURATION"},
    {"clock 2025-02-30 00:00:00",
     "'2025-02-30 00:00:00' is not a time YYYY-MM-DD HH:MM:SS from 1970-01-01 00:00:00 to "
     "2106-02-07 06:28:15"},
    {"clock +2025-+1-+1 +0:+0:+0", "'+2025-+1-+1 +0:+0:+0' is not a time YYYY-MM-DD HH:MM:SS"},
    {"clock 2025-01-01", "expected: clock YYYY-MM-DD HH:MM:SS"},
    {"answer msgbox maybe", "'maybe' is not an answer: yes (6), no (7), ok (1) or a number"},
    {"answer input lots", "'lots' is not a number (or cancel)"},
    {"answer input nan", "'nan' is not a number (or cancel)"},
    {"answer popup 1", "expected: answer msgbox yes|no|N ... | answer input NUMBER|cancel ..."},
    {"expect", "expected: expect CONDITION"},
    {"expect colour main 1", "expect what? tag, shown, hidden, prop or a tag's name, not 'colour'"},
    {"expect tag main.count", "expected: expect tag TAG [OP] VALUE"},
    {"expect tag main.count 1000", "main.count (u8): 1000 does not fit (0 to 255)"},
    {"expect shown main nowindow", "unknown window 'nowindow'"},
    {"expect prop main picture3 visible 1",
     "main picture3 has no property 'visible' (its properties: none)"},
    {"print nomatch*", "no tag matches 'nomatch*'"},
    {"widgets water", "the library has no handlers for window water (yet)"},
    {"record r.sim", "record writes what is typed at the prompt: a scenario cannot record"},
    {"record stop", "record writes what is typed at the prompt: a scenario cannot record"},
    {"load /nonexistent/b.sim", "/nonexistent/b.sim: cannot be read (No such file or directory)"},
};

class EveryBadLine : public Scenario, public ::testing::WithParamInterface<BadLine> {};

TEST_P(EveryBadLine, IsNamedWithItsLineAndChangesNothing) {
    const BadLine& bad = GetParam();
    Snapshot before(sim);
    std::string text = std::string("set main.count 5\nclick main picture3\n# a comment\n\n") +
                       bad.line + "\nanswer msgbox yes\n";
    ScenarioResult result = run_scenario(text, "s.sim", sim);
    EXPECT_EQ(result.bad_lines, 1);
    EXPECT_TRUE(Snapshot(sim) == before) << "something of the scenario was done";
    std::string expected = std::string("00:00:00.000 ERROR s.sim:5: ") + bad.message;
    EXPECT_EQ(out.text.substr(0, expected.size()), expected);
    EXPECT_NE(out.text.find("ERROR s.sim: 1 bad line(s): nothing of the scenario was run\n"),
              std::string::npos)
        << out.text;
}

// gtest would otherwise name each case by its raw bytes.
void PrintTo(const BadLine& bad, std::ostream* out) {
    *out << bad.line;
}

INSTANTIATE_TEST_SUITE_P(Scenario, EveryBadLine, ::testing::ValuesIn(kBadLines),
                         [](const ::testing::TestParamInfo<BadLine>& info) {
                             return hmi::test::test_name(std::to_string(info.index) + "_" +
                                                         info.param.line);
                         });

TEST_F(Scenario, TheSummaryCountsExpectationsApartFromOtherFailures) {
    struct Case {
        const char* lines;
        const char* summary;
    };
    const Case kCases[] = {
        {"run 1s", "no expectations"},
        {"expect shown main", "1 expectation, all met"},
        {"expect shown main\nrun until tag main.count = 200 max 1s\nexpect hidden main\n"
         "expect hidden main\nexpect hidden main\nexpect hidden main",
         "5 expectations: 1 met, 4 failed; 1 other failure"},
        {"expect shown main\nexpect shown main\nanswer msgbox yes",  // never asked for
         "2 expectations, all met; 1 other failure"},
    };
    for (const Case& c : kCases) {
        Simulator fresh(real_panel(), real_library(), Options{}, out.sink());
        fresh.start();
        ScenarioResult result = run_scenario(c.lines, "s.sim", fresh);
        EXPECT_EQ(outcome_text(result), c.summary) << c.lines << "\n" << out.take();
    }
}

TEST_F(Scenario, ACommandThatThePanelsStateDoesNotAllowChangesNothing) {
    Snapshot before(sim);
    ScenarioResult result =
        run_scenario("click pic1 picture1\nfire TimeSetting_rectangle1_click", "s.sim", sim);
    EXPECT_EQ(result.bad_lines, 1);  // a click handler is not a timer
    result = run_scenario("click pic1 picture1\nclick TimeSetting_rectangle1_click", "s.sim", sim);
    EXPECT_EQ(result.failures, 2);
    EXPECT_TRUE(Snapshot(sim) == before);
    out.take();
    result = run_scenario("click TimeSetting rectangle1", "s.sim", sim);
    EXPECT_EQ(out.take(), "00:00:00.000 ERROR s.sim:1: window TimeSetting is not shown\n");
}

TEST_F(Scenario, AFailedExpectationShowsWhatWasExpectedNextToWhatIs) {
    ScenarioResult result = run_scenario(
        "expect tag main.count 3\n"
        "expect tag main.count 0\n"
        "expect shown main TimeSetting\n"
        "expect hidden main\n"
        "expect tag dish.iuput0 \"AC\"\n",
        "s.sim", sim);
    EXPECT_EQ(result.expectations, 5);
    EXPECT_EQ(result.failures, 4);
    EXPECT_EQ(out.take(),
              "00:00:00.000 FAIL s.sim:1: expect tag main.count 3: expected main.count = 3, is "
              "main.count = 0\n"
              "00:00:00.000 ok s.sim:2: expect tag main.count 0 (main.count = 0)\n"
              "00:00:00.000 FAIL s.sim:3: expect shown main TimeSetting: expected shown: "
              "TimeSetting, is shown windows: main\n"
              "00:00:00.000 FAIL s.sim:4: expect hidden main: expected hidden: main, is shown "
              "windows: main\n"
              "00:00:00.000 FAIL s.sim:5: expect tag dish.iuput0 \"AC\": expected dish.iuput0 = "
              "\"AC\", is dish.iuput0 = \"AB\"\n");
}

// Watching a window keeps the click of another window that opened it, so that the
// window's own lines say why they came.
TEST_F(Scenario, AWatchedWindowShowsTheClickThatOpenedIt) {
    out.filter = WindowFilter({"12"});
    run_scenario("click main sequencer\n", "s.sim", sim);
    EXPECT_EQ(out.take(),
              "00:00:00.000 click main bmptext20 (sequencer)\n"
              "00:00:00.000 open 12\n"
              "00:00:00.000   set main.can3 = 1\n"
              "00:00:00.000   set dtmain.dp_web_flag = 1\n"
              "00:00:00.000   prop 12 timer11 enable = 1\n");
}

TEST_F(Scenario, AnswersThatNoDialogTookFailTheRun) {
    ScenarioResult result =
        run_scenario("answer msgbox yes 2\nanswer input 5 cancel\n", "s.sim", sim);
    EXPECT_EQ(result.failures, 1);
    EXPECT_EQ(sim.queued_answers(), 0u);
    EXPECT_NE(out.take().find("FAIL s.sim: 4 queued answer(s) were never asked for"),
              std::string::npos);
}

TEST_F(Scenario, TagsAndTextsAreSetAndPrintedAsThePanelHoldsThem) {
    ScenarioResult result = run_scenario(
        "set dish.iuput1 \"  lead \"\n"
        "set dish.iuput0 = \"提示 x\"\n"
        "expect tag dish.iuput0 \"提示 x\"\n"
        "set main.screenProtectTime 0x14\n"
        "print dish.iuput? main.screenP*\n",
        "s.sim", sim);
    EXPECT_TRUE(result.ok());
    // A quoted text keeps its blanks.
    EXPECT_STREQ(reinterpret_cast<char*>(sim.host().tags().find("dish.iuput1")->value), "  lead ");
    // The tag holds the panel's GBK bytes; the trace reads UTF-8.
    EXPECT_STREQ(reinterpret_cast<char*>(sim.host().tags().find("dish.iuput0")->value),
                 "\xcc\xe1\xca\xbe x");
    EXPECT_EQ(
        out.take(),
        "00:00:00.000 set dish.iuput1 = \"  lead \"\n"
        "00:00:00.000 set dish.iuput0 = \"提示 x\"\n"
        "00:00:00.000 ok s.sim:3: expect tag dish.iuput0 \"提示 x\" (dish.iuput0 = \"提示 x\")\n"
        "00:00:00.000 set main.screenProtectTime = 20\n"
        "00:00:00.000 main.screenProtectTime = 20\n"
        "00:00:00.000 dish.iuput0 = \"提示 x\"\n"
        "00:00:00.000 dish.iuput1 = \"  lead \"\n");
}

TEST_F(Scenario, ANulInAQuotedTextIsRefused) {
    std::string error;
    EXPECT_FALSE(parse_command("say \"A\0B\""s, sim, &error));
    EXPECT_EQ(error, "a NUL byte (\\x00) is in a quoted text: the panel's texts end at it");
    EXPECT_FALSE(parse_command("set dish.iuput0 \"A\0B\""s, sim, &error));
    // Nor is one taken in a comment, where the rest of the line would go unread.
    EXPECT_FALSE(parse_command("run 1s # A\0B"s, sim, &error));
    EXPECT_EQ(error, "a NUL byte (\\x00) is in a comment: a line has none");
}

// The clock's last second is 2106-02-07 06:28:15: a run past it stops there and fails.
TEST_F(Scenario, TheClockNeverWrapsAndNanIsNan) {
    ScenarioResult result = run_scenario(
        "clock 2106-02-07 06:28:10\n"
        "run 1m\n"
        "print system.CurDateTime\n"
        "run 1s\n"
        "set kelvor.x_Real nan\n"
        "expect tag kelvor.x_Real nan\n",
        "s.sim", sim);
    EXPECT_EQ(result.failures, 2);
    EXPECT_EQ(result.expectations, 1);
    EXPECT_EQ(out.take(),
              "00:00:00.000 clock 2106-02-07 06:28:10\n"
              "00:00:01.000 timer main timer1\n"
              "00:00:01.000   set main.count = 1\n"
              "00:00:02.000 timer main timer1\n"
              "00:00:02.000   set main.count = 2\n"
              "00:00:03.000 timer main timer1\n"
              "00:00:03.000   set main.count = 3\n"
              "00:00:04.000 timer main timer1\n"
              "00:00:04.000   set main.count = 4\n"
              "00:00:05.000 timer main timer1\n"
              "00:00:05.000   set main.count = 5\n"
              "00:00:05.999 ERROR the panel's clock ends at 2106-02-07 06:28:15: the run stopped "
              "there\n"
              "00:00:05.999 system.CurDateTime = 4294967295\n"
              "00:00:05.999 ERROR the panel's clock ends at 2106-02-07 06:28:15: the run stopped "
              "there\n"
              "00:00:05.999 set kelvor.x_Real = nan\n"
              "00:00:05.999 ok s.sim:6: expect tag kelvor.x_Real nan (kelvor.x_Real = nan)\n");
}

TEST(Duration, IsACountWithAUnitOrSeveral) {
    const std::pair<const char*, uint64_t> good[] = {
        {"500ms", 500},   {"10s", 10000},         {"2m", 120000}, {"1h", 3600000},
        {"1m30s", 90000}, {"1h1m1s1ms", 3661001}, {"0s", 0},      {"1000h", 3600000000}};
    for (auto [text, ms] : good) {
        uint64_t got = 1;
        EXPECT_TRUE(parse_duration(text, &got)) << text;
        EXPECT_EQ(got, ms) << text;
    }
    for (const char* bad : {"", "10", "s", "1.5s", "-1s", "10sec", "1001h", "1h 2m", "ms5"}) {
        uint64_t got = 0;
        EXPECT_FALSE(parse_duration(bad, &got)) << bad;
    }
}

}  // namespace
}  // namespace hmi::sim::test
