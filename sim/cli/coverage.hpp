// Coverage of the library by scenarios: which event handlers ran and how often, which
// property functions were polled, and the distinct values each property took.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "sim/engine/simulator.hpp"

namespace hmi::sim {

class Coverage {
  public:
    // Distinct values kept per property; beyond them a property only notes that it took more.
    static constexpr size_t kMostValues = 16;

    // Counts what one panel runs from now on.
    void attach(Simulator& sim);

    // What was counted, as the children hand it to the parent, and the sum of such.
    nlohmann::json to_json() const;
    void add(const nlohmann::json& counted);

    // For every handler window of the library: its handlers and properties with their counts.
    nlohmann::json report(const Library& library, size_t scenarios) const;
    // A line per window and the total ("handlers run: 301 of 377").
    static std::vector<std::string> summary(const nlohmann::json& report);

  private:
    struct Prop {
        uint64_t polls = 0;
        std::set<std::string> values;
        bool more = false;  // took more distinct values than are kept
    };
    std::map<std::string, uint64_t> runs_;  // by handler key
    std::map<std::string, Prop> props_;     // by property key
};

}  // namespace hmi::sim
