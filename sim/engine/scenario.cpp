#include "sim/engine/scenario.hpp"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace hmi::sim {

bool split_words(std::string_view line, std::vector<std::string>* words, std::string* error) {
    words->clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c == '#') break;
        size_t start = i;
        if (c == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string_view::npos) {
                *error = "a quoted text is not closed";
                return false;
            }
            i = end + 1;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '\n') {
                ++i;
            }
        }
        words->push_back(std::string(line.substr(start, i - start)));
    }
    return true;
}

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
    if (t < 0 || t > 0xFFFFFFFFLL) return false;
    if (tm.tm_mday != asked.tm_mday || tm.tm_mon != asked.tm_mon) return false;  // 30 February
    *seconds = static_cast<uint32_t>(t);
    return true;
}

std::vector<std::pair<int, Command>> check_scenario(std::string_view text,
                                                    const std::string& origin, Simulator& sim,
                                                    int* bad_lines) {
    std::vector<std::pair<int, Command>> commands;
    *bad_lines = 0;
    int number = 0;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        ++number;
        std::string error;
        std::optional<Command> c = parse_command(line, sim, &error);
        if (c) {
            commands.emplace_back(number, std::move(*c));
        } else if (!error.empty()) {
            ++*bad_lines;
            sim.report(EventType::Error, {{"file", Value::text(origin)},
                                          {"line", Value::integer(number)},
                                          {"message", Value::text(error)}});
        }
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
