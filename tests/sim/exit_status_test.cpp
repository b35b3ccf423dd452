// The program's exit status as a user sees it: 0 only when every line ran and every
// expectation held, 1 when an expectation or a save failed, 2 for bad input or usage.
// Each case runs the built hmisim in a temporary folder of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/sim/support.hpp"
#include "tests/support/golden.hpp"

namespace hmi::sim::test {
namespace {

struct Invocation {
    const char* name;
    const char* scenario;  // written as s.sim when not empty ("\\n" breaks lines)
    const char* params;    // written as p.txt when not empty
    const char* args;      // after hmisim, in the folder
    const char* input;     // standard input
    int status;
    const char* stderr_has;  // a piece of what standard error must show ("" for nothing)
};

// gtest would otherwise print an invocation as its raw bytes, padding included.
void PrintTo(const Invocation& i, std::ostream* out) {
    *out << i.name;
}

// Window 12 in automatic mode asks before it goes to manual mode (text5).
#define AUTO "click main bmptext20\\nclick 12 text2\\nrun 1s\\n"
// The duration dialog of a valve saves the parameters when it closes.
#define SAVE "click main bmptext20\\nclick 12 rectangle135\\nclick timeinput button8\\n"

const Invocation kRuns[] = {
    {"help", "", "", "--help", "", 0, ""},
    {"version", "", "", "--version", "", 0, ""},
    {"unknown option", "", "", "--bogus", "", 2, "--bogus"},
    {"option without its value", "", "", "--seed", "", 2, "--seed"},
    {"option with a bad value", "", "", "--seed x", "", 2, "seed"},
    {"good scenario", "run 1s\\nexpect shown main", "", "-q s.sim", "", 0, ""},
    {"failed expectation", "expect hidden main", "", "-q s.sim", "", 1, "FAIL s.sim:1"},
    {"bad line", "clik", "", "-q s.sim", "", 2, "s.sim:1: unknown command 'clik'"},
    {"folder as scenario", "", "", "-q .", "", 2, "is a folder"},
    {"folder to check", "", "", "--check .", "", 2, "is a folder"},
    {"missing scenario", "", "", "-q nothing.sim", "", 2, "nothing.sim"},
    {"device as scenario", "", "", "-q /dev/zero", "", 2, "not a regular file"},
    {"standard input", "", "", "-q -", "run 1s\\nexpect hidden main\\n", 1, "FAIL"},
    {"unknown watch window", "run 1s", "", "-q --watch main,nosuch s.sim", "", 2,
     "--watch: no window 'nosuch'"},
    {"start before 1970", "run 1s", "", "-q --start '1969-12-31 23:59:59' s.sim", "", 2, "--start"},
    {"start at the epoch", "expect tag system.CurDateTime 0", "",
     "-q --start '1970-01-01 00:00:00' s.sim", "", 0, ""},
    {"run past the clock end", "clock 2106-02-07 06:00:00\\nrun 1000h", "", "-q s.sim", "", 1,
     "the panel's clock ends"},
    {"damaged parameter file", "run 1s", "hmisim-params 1\\nend 0 crc32 0x0",
     "-q --params p.txt s.sim", "", 2, "the parameter file p.txt is damaged"},
    {"damaged parameter file moved aside", "run 1s", "garbage",
     "-q --params p.txt --params-move-damaged s.sim", "", 0, "moved the damaged parameter file"},
    {"folder as parameter file", "run 1s", "", "-q --params . s.sim", "", 2, "is a folder"},
    {"failed save", SAVE, "", "-q --params nofolder/p.txt s.sim", "", 1, "param save FAILED"},
    {"answer the box cannot give", AUTO "answer msgbox 99\\nclick 12 text5", "", "-q s.sim", "", 1,
     "which answers 6 (yes) or 7 (no)"},
    {"piped prompt runs every line", "", "", "-q --params none",
     AUTO "click 12 text5\\nexpect tag dtmain.DP_AUTO 0\\nquit\\n", 1, "had no answer queued"},
    {"piped prompt with typed answers", "", "", "-q --params none",
     AUTO "answer msgbox no\\nclick 12 text5\\nexpect tag dtmain.DP_AUTO 1\\n", 0, ""},
    {"piped prompt failed expectation", "", "", "-q --params none", "expect hidden main\\n", 1,
     "FAIL"},
    {"piped prompt bad line", "", "", "-q --params none", "clik\\nrun 1s\\n", 2, "unknown command"},
};

[[maybe_unused]] std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// "\\n" in the table is a line break.
[[maybe_unused]] std::string lines(std::string text) {
    for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
    return text;
}

class ExitStatus : public ::testing::TestWithParam<Invocation> {};

TEST_P(ExitStatus, SaysWhatHappened) {
#ifndef HMISIM_PATH
    GTEST_SKIP() << "no hmisim in this build";
#else
    const Invocation& run = GetParam();
    TempDir dir;
    if (*run.scenario) std::ofstream(dir.path + "/s.sim") << lines(run.scenario) << "\n";
    if (*run.params) std::ofstream(dir.path + "/p.txt") << lines(run.params) << "\n";
    std::ofstream(dir.path + "/in.txt") << lines(run.input);
    std::string command =
        "cd '" + dir.path + "' && '" HMISIM_PATH "' " + run.args + " < in.txt > out.txt 2> err.txt";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    std::string err = read(dir.path + "/err.txt");
    EXPECT_EQ(WEXITSTATUS(status), run.status) << run.name << "\n" << err;
    EXPECT_NE(err.find(run.stderr_has), std::string::npos) << run.name << "\n" << err;
#endif
}

INSTANTIATE_TEST_SUITE_P(Hmisim, ExitStatus, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<Invocation>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c) {
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return name;
                         });

// What standard output shows: -q only failures, errors and what was asked for; no
// banner for piped input; summaries that count expectations apart and carry the time.
struct Shown {
    const char* name;
    const char* scenario;  // written as s.sim when not empty
    const char* args;
    const char* input;
    const char* has;    // a piece of standard output
    const char* lacks;  // what it must not show ("" for nothing)
};

const Shown kShown[] = {
    {"quiet leaves out what a setting says", "watch main.*\nprint main.count", "-q s.sim", "",
     "main.count = 0", "watching"},
    {"piped prompt without a banner", "", "--params none", "print main.count\n", "main.count = 0",
     "the panel runs"},
    {"summary counts expectations apart",
     "expect shown main\nrun until tag main.count = 200 max 1s\nexpect hidden main\n"
     "expect hidden main\nexpect hidden main\nexpect hidden main",
     "s.sim", "", "s.sim: 5 expectations: 1 met, 4 failed; 1 other failure, 00:00:01.000", ""},
    {"json summary at the panel time", "run 2s", "--json s.sim", "",
     "{\"time_ms\":2000,\"time\":\"00:00:02.000\",\"depth\":0,\"type\":\"summary\"", ""},
    {"json marks a failure", "expect hidden main", "--json s.sim", "",
     "\"type\":\"expect\",\"failed\":true,", ""},
};

void PrintTo(const Shown& s, std::ostream* out) {
    *out << s.name;
}

class StandardOutput : public ::testing::TestWithParam<Shown> {};

TEST_P(StandardOutput, ShowsWhatItShould) {
#ifndef HMISIM_PATH
    GTEST_SKIP() << "no hmisim in this build";
#else
    const Shown& run = GetParam();
    TempDir dir;
    if (*run.scenario) std::ofstream(dir.path + "/s.sim") << lines(run.scenario) << "\n";
    std::ofstream(dir.path + "/in.txt") << lines(run.input);
    std::string command = "cd '" + dir.path + "' && '" HMISIM_PATH "' " + run.args +
                          " < in.txt > out.txt 2> /dev/null";
    ASSERT_NE(std::system(command.c_str()), -1) << command;
    std::string out = read(dir.path + "/out.txt");
    EXPECT_NE(out.find(run.has), std::string::npos) << run.name << "\n" << out;
    if (*run.lacks) {
        EXPECT_EQ(out.find(run.lacks), std::string::npos) << run.name << "\n" << out;
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Hmisim, StandardOutput, ::testing::ValuesIn(kShown),
                         [](const ::testing::TestParamInfo<Shown>& info) {
                             return hmi::test::test_name(info.param.name);
                         });

}  // namespace
}  // namespace hmi::sim::test
