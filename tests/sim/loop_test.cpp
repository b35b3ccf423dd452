// hmisim test and hmisim diff as a maintainer runs them: many scenarios in worker
// processes (a crashing handler is one failed scenario), JUnit and TAP for CI, shards,
// coverage, and the differences between two setups. Each case runs the built program in
// a temporary folder of its own, with scenarios written for it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "tests/sim/support.hpp"
#include "tests/support/golden.hpp"

namespace hmi::sim::test {
namespace {

using hmi::test::file_text;
using nlohmann::json;

// The scenarios the cases use: on the real panel, with either library.
const std::pair<const char*, const char*> kScenarios[] = {
    {"pass.sim", "run 2s\nexpect main.count 2\n"},
    {"fail.sim", "run 2s\nexpect main.count 3\nexpect main.count 2\n"},
    {"crash.sim", "run 1s\nclick main button1\nexpect main.count 1\n"},
    {"bad.sim", "run 1s\nclik main\n"},
    {"slideshow.sim", "run 12s\n"},
    // Last in name order, so that the folder's shards stay as they are.
    {"tag-set.sim", "set main.count 7\nexpect main.count 7\n"},
};

struct Outcome {
    int status = -1;
    std::string out, err;
};

struct Folder {
    TempDir dir;
    Folder() {
        for (const auto& [name, text] : kScenarios) std::ofstream(dir.path + "/" + name) << text;
    }
    std::string path(const std::string& name) const { return dir.path + "/" + name; }
    Outcome hmisim(const std::string& args, const std::string& env = "") const {
        // The CI's own shard variables are not the test's.
        std::string command = "cd '" + dir.path +
                              "' && unset CI_NODE_INDEX CI_NODE_TOTAL GTEST_SHARD_INDEX "
                              "GTEST_TOTAL_SHARDS && " +
                              env + " '" HMISIM_PATH "' " + args + " > out.txt 2> err.txt";
        int status = std::system(command.c_str());
        Outcome r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = file_text(path("out.txt"));
        r.err = file_text(path("err.txt"));
        return r;
    }
};

const std::string kAborting = "--library '" HMI_ABORTING_LIBRARY "'";

// ---- what a run says and its status ----

struct Case {
    const char* name;
    std::string args;
    int status;
    std::vector<std::string> out_has;  // in this order
    std::string err_has;
    std::string out_lacks;
    std::string env = "";
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

const Case kCases[] = {
    {"all pass",
     "test -j 2 pass.sim slideshow.sim",
     0,
     {"passed  pass.sim: 1 expectations: 1 met, 0 failed; 00:00:02.000 of panel time",
      "passed  slideshow.sim", "2 scenario(s): 2 passed, 0 failed"},
     "",
     "FAILED"},
    {"a failed expectation with its line",
     "test pass.sim fail.sim",
     1,
     {"passed  pass.sim", "FAILED  fail.sim: 2 expectations: 1 met, 1 failed",
      "fail.sim:2: expect main.count 3", "2 scenario(s): 1 passed, 1 failed"},
     "",
     ""},
    {"a crash is one scenario and the run goes on",
     "test -j 1 " + kAborting + " crash.sim pass.sim",
     1,
     {"CRASHED crash.sim: 0 expectations: 0 met, 0 failed; crashed: SIGABRT", "passed  pass.sim",
      "2 scenario(s): 1 passed, 1 failed (1 crashed)"},
     "",
     ""},
    {"one process per scenario on request",
     "test -j 1 --isolate " + kAborting + " crash.sim pass.sim crash.sim",
     1,
     {"CRASHED crash.sim", "passed  pass.sim", "CRASHED crash.sim",
      "3 scenario(s): 1 passed, 2 failed (2 crashed)"},
     "",
     ""},
    {"lines the runner checked run on each worker's own panel",
     "test -j 2 tag-set.sim pass.sim tag-set.sim",
     0,
     {"passed  tag-set.sim", "passed  pass.sim", "passed  tag-set.sim"},
     "",
     "FAILED"},
    {"setup options before the subcommand",
     kAborting + " test -j 2 crash.sim pass.sim",
     1,
     {"CRASHED crash.sim", "passed  pass.sim"},
     "",
     ""},
    {"a bad line anywhere runs nothing",
     "test pass.sim bad.sim fail.sim",
     2,
     {},
     "bad.sim:2: unknown command 'clik'",
     "passed"},
    {"a missing scenario runs nothing",
     "test pass.sim nothing.sim",
     2,
     {},
     "'nothing.sim': no such scenario file",
     "passed"},
    {"a bad shard", "test --shard 3/2 pass.sim", 2, {}, "--shard '3/2'", "passed"},
    {"bad shard variables",
     "test pass.sim",
     2,
     {},
     "CI_NODE_INDEX=0",
     "passed",
     "CI_NODE_INDEX=0 CI_NODE_TOTAL=2"},
    {"shard variables",
     "test pass.sim slideshow.sim fail.sim",
     0,
     {"passed  pass.sim", "1 scenario(s) (shard 2 of 2)"},
     "",
     "slideshow.sim",
     "GTEST_SHARD_INDEX=1 GTEST_TOTAL_SHARDS=2"},
    {"a folder's scenarios in name order",
     "test -j 2 --shard 2/3 " + kAborting + " .",
     1,
     {"CRASHED ./crash.sim", "passed  ./slideshow.sim", "2 scenario(s) (shard 2 of 3)"},
     "",
     "pass.sim"},
    {"TAP",
     "test --tap pass.sim fail.sim",
     1,
     {"TAP version 13\n1..2\nok 1 - pass.sim\nnot ok 2 - fail.sim\n  ---\n  message: \"1 of 2 "
      "expectation(s) failed\"\n  failures:\n    - \"fail.sim:2: expect main.count 3"},
     "",
     "passed"},
    {"-i does not go with test", "test -i pass.sim", 2, {}, "-i does not go with test", ""},
};

class LoopRun : public ::testing::TestWithParam<Case> {};

TEST_P(LoopRun, SaysWhatHappened) {
    const Case& c = GetParam();
    Folder f;
    Outcome r = f.hmisim(c.args, c.env);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    size_t at = 0;
    for (const std::string& piece : c.out_has) {
        size_t found = r.out.find(piece, at);
        EXPECT_NE(found, std::string::npos) << "'" << piece << "' in\n" << r.out << r.err;
        if (found != std::string::npos) at = found + piece.size();
    }
    EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
    if (!c.out_lacks.empty()) {
        EXPECT_EQ(r.out.find(c.out_lacks), std::string::npos) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Hmisim, LoopRun, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return hmi::test::test_name(info.param.name);
                         });

// ---- JUnit as CI systems read it ----

// An XML element with its attributes, text and children: enough of XML for the files
// that hmisim writes, to look at them as CI systems do.
struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::vector<Element> children;

    std::vector<const Element*> all(const std::string& child) const {
        std::vector<const Element*> found;
        for (const Element& e : children) {
            if (e.name == child) found.push_back(&e);
        }
        return found;
    }
};

Element parse_xml(const std::string& xml) {
    static const std::regex kTag("<(/?)([A-Za-z_][-\\w]*)((?:\\s+[-\\w]+=\"[^\"]*\")*)\\s*(/?)>");
    static const std::regex kAttribute("([-\\w]+)=\"([^\"]*)\"");
    Element root;
    std::vector<Element*> open{&root};
    size_t last = 0;
    for (std::sregex_iterator it(xml.begin(), xml.end(), kTag), end; it != end; ++it) {
        const std::smatch& m = *it;
        open.back()->text += xml.substr(last, static_cast<size_t>(m.position()) - last);
        last = static_cast<size_t>(m.position() + m.length());
        if (m[1] == "/") {
            EXPECT_EQ(open.back()->name, m[2].str()) << "unbalanced XML";
            if (open.size() > 1) open.pop_back();
            continue;
        }
        Element e;
        e.name = m[2];
        std::string attributes = m[3];
        for (std::sregex_iterator a(attributes.begin(), attributes.end(), kAttribute); a != end;
             ++a)
            e.attributes[(*a)[1]] = (*a)[2];
        open.back()->children.push_back(e);
        if (m[4] != "/") open.push_back(&open.back()->children.back());
    }
    EXPECT_EQ(open.size(), 1u) << "unclosed XML elements";
    return root;
}

TEST(HmisimTestJunit, HasATestcasePerScenarioWithFailuresAndTraces) {
    Folder f;
    Outcome r = f.hmisim("test -j 2 " + kAborting + " --junit j.xml pass.sim fail.sim crash.sim");
    ASSERT_EQ(r.status, 1) << r.err;
    Element root = parse_xml(file_text(f.path("j.xml")));
    ASSERT_EQ(root.all("testsuites").size(), 1u);
    const Element& suites = *root.all("testsuites")[0];
    ASSERT_EQ(suites.all("testsuite").size(), 1u);
    const Element& suite = *suites.all("testsuite")[0];
    EXPECT_EQ(suite.attributes.at("tests"), "3");
    EXPECT_EQ(suite.attributes.at("failures"), "1");
    EXPECT_EQ(suite.attributes.at("errors"), "1");
    std::vector<const Element*> cases = suite.all("testcase");
    ASSERT_EQ(cases.size(), 3u);
    std::vector<std::string> names;
    for (const Element* c : cases) names.push_back(c->attributes.at("name"));
    EXPECT_EQ(names, (std::vector<std::string>{"pass.sim", "fail.sim", "crash.sim"}));
    EXPECT_TRUE(cases[0]->children.empty());
    ASSERT_EQ(cases[1]->all("failure").size(), 1u);
    const Element& failure = *cases[1]->all("failure")[0];
    EXPECT_EQ(failure.attributes.at("message"), "1 of 2 expectation(s) failed");
    EXPECT_NE(failure.text.find("fail.sim:2: expect main.count 3"), std::string::npos)
        << failure.text;
    ASSERT_EQ(cases[1]->all("system-out").size(), 1u);
    EXPECT_NE(cases[1]->all("system-out")[0]->text.find("timer main timer1"), std::string::npos);
    ASSERT_EQ(cases[2]->all("error").size(), 1u);
    EXPECT_EQ(cases[2]->all("error")[0]->attributes.at("message"), "crashed: SIGABRT");
    // What the crashed worker had buffered of its trace is kept.
    ASSERT_EQ(cases[2]->all("system-out").size(), 1u);
    EXPECT_NE(cases[2]->all("system-out")[0]->text.find("click main button1"), std::string::npos)
        << cases[2]->all("system-out")[0]->text;
}

TEST(HmisimTestJunit, ShardsTakeEveryScenarioOnceAndTheirFilesMerge) {
    Folder f;
    std::set<std::string> seen;
    for (std::string shard : {"1/2", "2/2"}) {
        f.hmisim("test --junit " + std::string(shard == "1/2" ? "a" : "b") + ".xml --shard " +
                 shard + " pass.sim slideshow.sim fail.sim");
    }
    Outcome merged = f.hmisim("test --junit all.xml --merge a.xml b.xml");
    ASSERT_EQ(merged.status, 0) << merged.err;
    Element root = parse_xml(file_text(f.path("all.xml")));
    const Element& suites = *root.all("testsuites").at(0);
    EXPECT_EQ(suites.attributes.at("tests"), "3");
    EXPECT_EQ(suites.attributes.at("failures"), "1");
    ASSERT_EQ(suites.all("testsuite").size(), 2u);
    for (const Element* suite : suites.all("testsuite")) {
        for (const Element* c : suite->all("testcase")) {
            EXPECT_TRUE(seen.insert(c->attributes.at("name")).second) << c->attributes.at("name");
        }
    }
    EXPECT_EQ(seen, (std::set<std::string>{"pass.sim", "slideshow.sim", "fail.sim"}));
    EXPECT_EQ(f.hmisim("test --junit all.xml --merge pass.sim").status, 2);
}

// ---- saved parameters are each scenario's own ----

TEST(HmisimTest, EachScenarioSavesIntoAFreshCopyOfTheParameterFile) {
    Folder f;
    // The duration dialog saves the parameters as it closes.
    std::ofstream(f.path("save.sim"))
        << "click main sequencer\nclick 12 \"HV203 duration\"\n"
           "answer input 3\nclick timeinput hours\n"
           "click timeinput confirm\nexpect dtmain.HV203_TIME 10820\n";
    std::ofstream(f.path("fresh.sim")) << "expect dtmain.HV203_TIME != 10820\n";
    Outcome r = f.hmisim("test -j 1 --params p.txt save.sim fresh.sim");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(std::filesystem::exists(f.path("p.txt")));
}

// ---- coverage ----

TEST(HmisimTest, CoverageCountsHandlersAndPropertyValues) {
    Folder f;
    Outcome r = f.hmisim("test " + kAborting + " --coverage c.json pass.sim slideshow.sim");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("coverage of window main: handlers run: 1 of 2, properties polled: 0 of "
                         "0, 0 with one value only; not run: main_button1_click"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("coverage in all: handlers run: 1 of 2"), std::string::npos) << r.out;
    json report = json::parse(file_text(f.path("c.json")));
    EXPECT_EQ(report["scenarios"], 2);
    const json& events = report["windows"][0]["events"];
    EXPECT_EQ(events[0]["key"], "main_timer1_timer");
    EXPECT_EQ(events[0]["runs"], 14);  // 2 s and 12 s
    EXPECT_EQ(events[1]["runs"], 0);

    // The instruments' flicker: values drawn at random at every poll.
    std::ofstream(f.path("instruments.sim")) << "show 16\nrun 3s\n";
    Outcome real = f.hmisim("test --coverage r.json instruments.sim");
    ASSERT_EQ(real.status, 0) << real.err;
    json instruments;
    json report_real = json::parse(file_text(f.path("r.json")));
    for (const json& w : report_real["windows"]) {
        if (w["window"] == "16") instruments = w;
    }
    ASSERT_TRUE(instruments.is_object());
    size_t several = 0;
    for (const json& p : instruments["props"]) several += p["values"].size() > 1;
    EXPECT_EQ(instruments["properties_polled"], instruments["properties"]);
    EXPECT_GT(several, 0u);
}

// ---- diff ----

// A copy of the panel project with one initial value changed: the slideshow starts
// after 5 idle seconds instead of 10.
std::string changed_panel(const Folder& f) {
    std::string dir = f.path("panel");
    std::filesystem::create_directory(dir);
    for (const char* name : {"tags.txt", "windows.txt", "widgets.txt"}) {
        std::string text = file_text(std::string(HMI_PANEL_DIR) + "/" + name);
        if (std::string(name) == "tags.txt") {
            size_t at = text.find("main.screenProtectTime     u16    10");
            EXPECT_NE(at, std::string::npos);
            text.replace(at, 36, "main.screenProtectTime     u16    5 ");
        }
        std::ofstream(dir + "/" + name) << text;
    }
    return dir;
}

TEST(HmisimDiff, ShowsTheFirstDifferingEventOfTwoPanels) {
    Folder f;
    std::string panel = changed_panel(f);
    Outcome same = f.hmisim("diff --panel '" HMI_PANEL_DIR "' --panel '" HMI_PANEL_DIR
                            "' slideshow.sim pass.sim");
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_NE(same.out.find("diff: 2 scenario(s): 2 identical, 0 differ"), std::string::npos)
        << same.out;

    Outcome changed =
        f.hmisim("diff --panel '" HMI_PANEL_DIR "' --panel panel slideshow.sim pass.sim");
    EXPECT_EQ(changed.status, 1) << changed.err;
    EXPECT_NE(changed.out.find("identical: pass.sim"), std::string::npos) << changed.out;
    EXPECT_NE(changed.out.find("DIFFERS:   slideshow.sim at event"), std::string::npos)
        << changed.out;
    EXPECT_NE(changed.out.find("    - 00:00:06.000"), std::string::npos) << changed.out;
    EXPECT_NE(changed.out.find("    + 00:00:05.000"), std::string::npos) << changed.out;

    Outcome json_run =
        f.hmisim("diff --json --panel '" HMI_PANEL_DIR "' --panel panel slideshow.sim");
    EXPECT_EQ(json_run.status, 1);
    std::istringstream lines(json_run.out);
    std::string line;
    std::getline(lines, line);
    json first = json::parse(line);
    EXPECT_EQ(first["identical"], false);
    EXPECT_GT(first["first"].get<int>(), 1);
    EXPECT_EQ(first["before"].size(), 3u);
    EXPECT_GT(first["after"].get<int>(), 0);
    std::getline(lines, line);
    EXPECT_EQ(json::parse(line)["summary"]["differ"], 1);
}

TEST(HmisimDiff, ComparesLibrariesAndStoredTraces) {
    Folder f;
    Outcome libraries =
        f.hmisim("--library '" HMI_ABORTING_LIBRARY "' diff " + kAborting + " crash.sim");
    EXPECT_EQ(libraries.status, 0) << libraries.out << libraries.err;
    Outcome two = f.hmisim("diff --library '" HMI_REAL_LIBRARY "' " + kAborting + " slideshow.sim");
    EXPECT_EQ(two.status, 1) << two.out << two.err;

    std::string tour = std::string(HMI_SCENARIO_DIR) + "/10-home.sim";
    Outcome stored = f.hmisim("diff --against '" HMI_EXPECTED_DIR "' '" + tour + "'");
    EXPECT_EQ(stored.status, 0) << stored.out << stored.err;
    EXPECT_EQ(f.hmisim("diff --against . '" + tour + "'").status, 2);
    EXPECT_EQ(f.hmisim("diff pass.sim").status, 2);
}

}  // namespace
}  // namespace hmi::sim::test
