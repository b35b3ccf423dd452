// The command table: help, completion and the checking of a line all come from a
// command's row.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/engine/recorder.hpp"
#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

bool has(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

TEST(Commands, HelpListsEveryRowAndTellsMoreAboutOne) {
    std::string all = command_help();
    for (const std::string& name : command_names()) {
        const CommandRow* row = find_command(name);
        ASSERT_NE(row, nullptr) << name;
        EXPECT_EQ(std::string(row->usage).rfind(name, 0), 0u) << name << ": usage names another";
        EXPECT_NE(all.find(row->usage), std::string::npos) << name;
        EXPECT_EQ(command_help(name).rfind(std::string(row->usage) + "\n    " + row->help, 0), 0u);
    }
    EXPECT_NE(command_help("answer").find("yes is 6, no is 7"), std::string::npos);
    EXPECT_EQ(command_help("nothing"), "");
}

TEST(Commands, ExitIsQuitAndRecordLeavesOutWhatIsAboutThePrompt) {
    EXPECT_EQ(find_command("exit"), find_command("quit"));
    EXPECT_EQ(command_help("exit"), command_help("quit"));
    const std::pair<const char*, bool> kPromptOnly[] = {
        {"set", false},    {"click", false}, {"run", false},    {"answer", false},
        {"expect", false}, {"load", false},  {"help", true},    {"quit", true},
        {"exit", true},    {"record", true}, {"windows", true}, {"widgets", true},
        {"props", true},   {"tags", true},   {"break", false},  {"nosuch", false},
    };
    for (const auto& [verb, prompt_only] : kPromptOnly) {
        EXPECT_EQ(is_prompt_only(verb), prompt_only) << verb;
    }
}

TEST(Commands, TabCompletesWhatTheRowExpectsNext) {
    Simulator sim(real_panel(), real_library(), Options{}, nullptr);
    struct Case {
        std::vector<std::string> words;
        const char* offered;
        const char* not_offered;
    };
    const Case cases[] = {
        {{}, "click", "main"},
        {{"click"}, "main", "click"},
        {{"click", "main"}, "picture3", "timer1"},              // widgets with a click handler only
        {{"click", "12"}, "automatic", "\"sequencer timer\""},  // labels, of clickable ones
        {{"click", "12"}, "\"HV203 duration\"", "HV203 duration"},  // quoted with a space
        {{"expect", "prop", "11"}, "\"KA19 relay\"", "KA19 relay"},
        {{"click", "12"}, "text5", "\"HV218 pipe 1\""},
        {{"fire", "main"}, "timer1", "picture3"},
        {{"set"}, "main.count", "main"},
        {{"set", "main.count"}, nullptr, "main.count"},
        {{"answer"}, "msgbox", "yes"},
        {{"answer", "msgbox"}, "yes", "cancel"},
        {{"expect"}, "prop", "main"},
        {{"expect", "prop", "main"}, "picture3", "main"},
        {{"help"}, "expect", "main"},
        {{"run"}, "until", "main"},
        {{"run", "until"}, "shown", "main"},
        {{"trace"}, "quiet", "main"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> offered = completions(sim, c.words);
        std::string line = c.words.empty() ? "(nothing)" : c.words[0];
        if (c.offered != nullptr) {
            EXPECT_TRUE(has(offered, c.offered)) << line << " " << c.offered;
        }
        EXPECT_FALSE(has(offered, c.not_offered)) << line << " " << c.not_offered;
    }
}

TEST(Commands, OnlyExpectationsCountAsChecks) {
    Recorder out;
    Simulator sim(real_panel(), real_library(), Options{}, out.sink());
    sim.start();
    ScenarioResult r = run_scenario(
        "expect shown main\nexpect tag main.count 0\nprint main.count\nwindows\n", "s.sim", sim);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.expectations, 2);
    // Met expectations say so in the trace, with what was found.
    size_t met = std::count_if(out.events.begin(), out.events.end(),
                               [](const Event& e) { return e.type == EventType::Expect; });
    EXPECT_EQ(met, 2u);
    EXPECT_NE(out.text.find("ok s.sim:1: expect shown main\n"), std::string::npos) << out.text;
    EXPECT_NE(out.text.find("ok s.sim:2: expect tag main.count 0 (main.count = 0)\n"),
              std::string::npos)
        << out.text;
}

}  // namespace
}  // namespace hmi::sim::test
