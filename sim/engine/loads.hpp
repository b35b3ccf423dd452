// What the loads of a scenario come to, checked with its lines before anything of it
// runs: every file it loads, directly or through others, can be read and has only good
// lines; no file loads itself (a cycle); the loads nest at most kMostLoadDepth deep; and
// the lines one run executes through loads are bounded (six lines that each load a file
// of six such lines, eight deep, would otherwise run 6^8 scenarios).
//
// One check goes through every file once: the outermost LoadCheck (that of the scenario
// whose lines are checked first) is shared by the checks of the files it loads.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace hmi::sim {

class Simulator;

constexpr int kMostLoadDepth = 8;             // scenarios that load scenarios
constexpr size_t kMostLoadedLines = 100'000;  // lines one run executes through loads

class LoadCheck {
  public:
    // Joins the check under way, or begins one at the file `origin` ("-" and the like,
    // which name no file, take part by name only).
    explicit LoadCheck(const std::string& origin);
    ~LoadCheck();
    LoadCheck(const LoadCheck&) = delete;
    LoadCheck& operator=(const LoadCheck&) = delete;

    // The file a load line names (found beside its scenario already): read and its lines
    // checked, unless this check has seen it. Empty when it is good, else what is wrong
    // (its own bad lines are reported as those of any scenario). *lines is how many lines
    // it runs, those it loads included.
    std::string load(const std::string& path, Simulator& sim, size_t* lines);

    // The error of a load line that brings the lines run through loads to `total`.
    static std::string too_many_lines(size_t total);

    struct Walk;

  private:
    std::unique_ptr<Walk> own_;  // when this check began the walk
};

}  // namespace hmi::sim
