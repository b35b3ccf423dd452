// The outcomes of a suite of scenarios as CI systems read them: JUnit XML and TAP.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace hmi::sim {

struct ScenarioOutcome {
    std::string path;
    bool ran = false;        // false: it never reached its end (crashed, or ended early)
    std::string crash;       // the signal that ended it ("SIGABRT"), or what else went wrong
    int expectations = 0;    // checked
    int failed = 0;          // of them not met
    int other_failures = 0;  // refused commands, unanswered dialogs, failed saves
    uint64_t panel_ms = 0;
    double wall_seconds = 0;
    std::vector<std::string> failures;  // each "FILE:LINE: what failed"
    std::string trace;                  // of a scenario that did not pass

    bool passed() const { return ran && crash.empty() && failed == 0 && other_failures == 0; }
};

// One testsuite of one testcase per scenario; a failed one has a failure with its failed
// expectations, a crashed one an error; both have their trace in system-out.
void write_junit(std::ostream& out, const std::string& suite,
                 const std::vector<ScenarioOutcome>& outcomes, double wall_seconds);

// The testsuites of several JUnit files in one, their counts added up, as CI systems
// merge the files of a suite's shards. Empty on success, else what is wrong with which file.
std::string merge_junit(const std::vector<std::string>& files, std::ostream& out);

// TAP version 13: a line per scenario, the failures of one that failed as YAML below it.
void write_tap(std::ostream& out, const std::vector<ScenarioOutcome>& outcomes);

// Text made safe inside XML: markup escaped, control bytes other than tab and newline
// (which XML 1.0 cannot hold) and invalid UTF-8 replaced.
std::string xml_escape(const std::string& text);

}  // namespace hmi::sim
