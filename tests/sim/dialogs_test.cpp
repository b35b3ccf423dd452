// Dialogs and parameters as the simulated panel gives them to the handlers: input
// values outside the limits or not fitting the tag are refused and nothing is stored;
// questions take queued answers; the parameter save goes to the file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "sim/engine/params_file.hpp"
#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

void d_text1_click() {
    data_input_window("t.h", "\xc7\xeb\xca\xe4\xc8\xeb\xd0\xa1\xca\xb1", 0.0, 100.0,
                      0);  // 请输入小时
}
void d_text2_click() {
    data_input_window("f", "current", 0.0, 600.0, 1);  // a bare name: the only tag "f"
}
void d_button1_click() {
    if (msgbox("Warning", "Sure?", 290) == 6) {
        uint8_t one = 1;
        hmidb_set_data_value("t.ok", &one);
    }
}
void d_button2_click() {
    msgbox("Note", "Done.", 0);
}
void d_button3_click() {
    rtdb_param_rtdb_to_mem();
    sys_save_params();
}
void d_button4_click() {
    rtdb_param_mem_to_rtdb();
}

#define ROW(key, f) \
    { key, reinterpret_cast<void*>(&f) }
const hmi_func_row kEvents[] = {
    ROW("d_text1_click", d_text1_click),
    ROW("d_text2_click", d_text2_click),
    ROW("d_button1_click", d_button1_click),
    ROW("d_button2_click", d_button2_click),
    ROW("d_button3_click", d_button3_click),
    ROW("d_button4_click", d_button4_click),
    {nullptr, nullptr},
};
#undef ROW
const hmi_func_row kNoProps[] = {{nullptr, nullptr}};

constexpr char kTags[] = R"(
t.h   u8   7
g.f   f32  1.5
t.ok  u8   0
t.p   u32  10   param
t.s   text "a b" param
t.q   u8   3    param
)";

class Dialogs : public ::testing::Test {
  protected:
    Panel panel = make_panel(kTags, "window d start\n");
    std::shared_ptr<const Library> library = Library::from_tables(kEvents, kNoProps);
    Recorder out;

    // The trace of one scenario on a fresh panel, without the start.
    std::string run(const std::string& lines, Options options = {}) {
        Simulator sim(panel, library, options, out.sink());
        sim.start();
        out.take();
        result = run_scenario(lines, "s.sim", sim);
        h = *sim.host().tags().find("t.h")->value;
        std::memcpy(&f, sim.host().tags().find("g.f")->value, 4);
        std::memcpy(&p, sim.host().tags().find("t.p")->value, 4);
        return out.take();
    }
    ScenarioResult result;
    uint8_t h = 0;
    float f = 0;
    uint32_t p = 0;
};

struct Input {
    const char* answer;
    const char* outcome;  // the end of the dialog's trace line
    int stored;           // -1: nothing stored
};

TEST_F(Dialogs, AnInputIsStoredOnlyWithinItsLimitsAndWhenItFitsTheTag) {
    const Input cases[] = {
        {"5", "-> 5 stored", 5},
        {"0", "-> 0 stored", 0},
        {"100", "-> 100 stored", 100},
        {"100.5", "-> 100.5 refused", -1},
        {"-1", "-> -1 refused", -1},
        {"2.5", "-> 2.5 (2.500000 is not a whole number in range)", -1},
        {"cancel", "-> cancelled", -1},
    };
    for (const Input& c : cases) {
        std::string trace = run(std::string("answer input ") + c.answer + "\nclick d text1");
        std::string line = "input t.h \"请输入小时\" 0..100 option 0 " + std::string(c.outcome);
        EXPECT_NE(trace.find(line), std::string::npos) << c.answer << "\n" << trace;
        EXPECT_EQ(h, c.stored < 0 ? 7 : c.stored) << c.answer;
        EXPECT_TRUE(result.ok()) << c.answer;
    }
    run("answer input 600\nclick d text2");
    EXPECT_EQ(f, 600.0f);
    run("answer input 600.01\nclick d text2");
    EXPECT_EQ(f, 1.5f);
}

TEST_F(Dialogs, QuestionsTakeQueuedAnswersAndNoticesNeedNone) {
    EXPECT_NE(run("answer msgbox yes\nclick d button1\nexpect tag t.ok 1")
                  .find("msgbox \"Warning\" \"Sure?\" style 290 -> 6\n"),
              std::string::npos);
    EXPECT_NE(run("answer msgbox no\nclick d button2\nclick d button1\nexpect tag t.ok 0")
                  .find("msgbox \"Note\" \"Done.\" style 0 -> 1\n"),
              std::string::npos);
    EXPECT_TRUE(result.ok());
    std::string trace = run("click d button1");
    EXPECT_EQ(result.failures, 1);
    EXPECT_NE(trace.find("ERROR the question \"Sure?\" had no answer queued; it was answered 0"),
              std::string::npos)
        << trace;
    run("click d text1");
    EXPECT_EQ(result.failures, 1);  // an input with no value queued is cancelled
    EXPECT_EQ(h, 7);
}

TEST_F(Dialogs, TheParameterSaveGoesToTheFileAndTheNextStartLoadsIt) {
    TempDir dir;
    Options options;
    options.params_path = dir.path + "/params.txt";
    std::string trace = run("set t.p 42\nclick d button3", options);
    EXPECT_NE(trace.find("param save -> " + options.params_path), std::string::npos) << trace;
    trace = run("set t.p 43\nclick d button4", options);  // the start loaded 42 into memory too
    EXPECT_EQ(p, 42u);
    // Without a file the save is kept in memory, and a start takes the catalogue's values.
    EXPECT_NE(run("click d button3").find("param save (kept in memory)"), std::string::npos);
    EXPECT_EQ(p, 10u);
}

TEST_F(Dialogs, ADamagedParameterFileIsReportedNotLoadedAndNeverOverwritten) {
    TempDir dir;
    Options options;
    options.params_path = dir.path + "/params.txt";
    run("set t.p 42\nclick d button3", options);
    std::string text = read_file(options.params_path);
    text[text.find("42")] = '5';
    std::ofstream(options.params_path, std::ios::binary) << text;
    Simulator sim(panel, library, options, out.sink());
    sim.start();
    EXPECT_NE(out.text.find("ERROR the parameter file " + options.params_path +
                            " is damaged: the checksum does not match the entries. It was not "
                            "loaded, and it is never overwritten."),
              std::string::npos)
        << out.text;
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(sim.host().tags().find("t.p")->value), 10u);
    out.take();
    run_scenario("click d button3", "s.sim", sim);
    EXPECT_NE(out.text.find("ERROR param save FAILED: cannot save " + options.params_path +
                            ": it is damaged (the checksum does not match the entries)"),
              std::string::npos)
        << out.text;
    EXPECT_EQ(read_file(options.params_path), text);
}

}  // namespace
}  // namespace hmi::sim::test
