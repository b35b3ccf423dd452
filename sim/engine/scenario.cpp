#include "sim/engine/scenario.hpp"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "host/lines.hpp"

namespace hmi::sim {

bool parse_duration(std::string_view text, uint64_t* ms) {
    constexpr uint64_t kMost = 1000ull * 3600 * 1000;  // a thousand hours
    uint64_t total = 0;
    if (text.empty()) return false;
    while (!text.empty()) {
        uint64_t n = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || n > kMost) return false;
        text.remove_prefix(static_cast<size_t>(end - text.data()));
        uint64_t unit = 0;
        for (auto [name, factor] : {std::pair<std::string_view, uint64_t>{"ms", 1},
                                    {"s", 1000},
                                    {"m", 60000},
                                    {"h", 3600000}}) {
            if (text.substr(0, name.size()) == name) {
                unit = factor;
                text.remove_prefix(name.size());
                break;
            }
        }
        if (unit == 0) return false;
        total += n * unit;
        if (total > kMost) return false;
    }
    *ms = total;
    return true;
}

bool parse_clock(std::string_view text, uint32_t* seconds) {
    struct tm tm {};
    char separator = 0, extra = 0;
    std::string s(text);
    if (std::sscanf(s.c_str(), "%d-%d-%d%c%d:%d:%d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &separator, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &extra) != 7 ||
        (separator != ' ' && separator != 'T')) {
        return false;
    }
    if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour < 0 ||
        tm.tm_hour > 23 || tm.tm_min < 0 || tm.tm_min > 59 || tm.tm_sec < 0 || tm.tm_sec > 59 ||
        tm.tm_year < 1970 || tm.tm_year > 2105) {
        return false;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    struct tm asked = tm;
    time_t t = mktime(&tm);
    if (t < 0) return false;
    uint64_t counted = static_cast<uint64_t>(t);  // a 64-bit time may pass the panel's clock
    if (counted > UINT32_MAX) return false;
    if (tm.tm_mday != asked.tm_mday || tm.tm_mon != asked.tm_mon) return false;  // 30 February
    *seconds = static_cast<uint32_t>(t);
    return true;
}

std::vector<std::pair<int, Command>> check_scenario(std::string_view text,
                                                    const std::string& origin, Simulator& sim,
                                                    int* bad_lines) {
    std::vector<std::pair<int, Command>> commands;
    host::LineErrors errors(origin);
    host::for_each_line(text, errors, [&](int number, std::string_view line) {
        std::string error;
        std::optional<Command> c = parse_command(line, sim, &error);
        if (c) commands.emplace_back(number, std::move(*c));
        return error;
    });
    *bad_lines = errors.count();
    for (const host::LineErrors::Entry& e : errors.listed()) {
        sim.report(EventType::Error, {{"file", Value::text(origin)},
                                      {"line", Value::integer(e.line)},
                                      {"message", Value::text(e.message)}});
    }
    if (errors.unlisted() > 0) {
        sim.report(
            EventType::Error,
            {{"file", Value::text(origin)},
             {"message", Value::text("... and " + std::to_string(errors.unlisted()) + " more")}});
    }
    return commands;
}

ScenarioResult run_scenario(std::string_view text, const std::string& origin, Simulator& sim) {
    ScenarioResult result;
    std::vector<std::pair<int, Command>> commands =
        check_scenario(text, origin, sim, &result.bad_lines);
    if (result.bad_lines > 0) {
        sim.report(EventType::Error,
                   {{"file", Value::text(origin)},
                    {"message", Value::text(std::to_string(result.bad_lines) +
                                            " bad line(s): nothing of the scenario was run")}});
        return result;
    }
    size_t unanswered = sim.unanswered();
    for (const auto& [line, c] : commands) {
        if (c.row->expectation) ++result.expectations;
        if (!execute(c, sim, Where{origin, line})) ++result.failures;
    }
    result.failures += static_cast<int>(sim.unanswered() - unanswered);
    if (sim.queued_answers() > 0) {
        ++result.failures;
        sim.report(EventType::Expect,
                   {{"met", Value::boolean(false)},
                    {"file", Value::text(origin)},
                    {"message", Value::text(std::to_string(sim.queued_answers()) +
                                            " queued answer(s) were never asked for")}});
        sim.clear_answers();
    }
    return result;
}

}  // namespace hmi::sim
