#include "sim/engine/scenario.hpp"

#include <charconv>
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
    // Digits and the separators only: no signs, no blanks inside a number.
    int fields[6] = {};
    const char separators[] = {'-', '-', ' ', ':', ':'};
    size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            char want = separators[i - 1];
            if (at >= text.size() || (text[at] != want && !(want == ' ' && text[at] == 'T'))) {
                return false;
            }
            ++at;
        }
        size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            fields[i] = fields[i] * 10 + (text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || (i > 0 && digits > 2)) return false;
    }
    if (at != text.size()) return false;
    struct tm tm {};
    tm.tm_year = fields[0];
    tm.tm_mon = fields[1];
    tm.tm_mday = fields[2];
    tm.tm_hour = fields[3];
    tm.tm_min = fields[4];
    tm.tm_sec = fields[5];
    if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 59 || tm.tm_year < 1970 || tm.tm_year > 2106) {
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
        if (c) {
            // Files a scenario names are found beside it.
            const std::string& verb = c->row->name;
            bool names_file = verb == std::string("load") || verb == std::string("plot") ||
                              (verb == std::string("record") && c->path != "stop");
            size_t slash = origin.rfind('/');
            if (names_file && !c->path.empty() && c->path.front() != '/' &&
                slash != std::string::npos) {
                c->path = origin.substr(0, slash + 1) + c->path;
            }
            commands.emplace_back(number, std::move(*c));
        }
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
    size_t failed_saves = sim.failed_saves();
    for (const auto& [line, c] : commands) {
        if (c.row->expectation) ++result.expectations;
        if (!execute(c, sim, Where{origin, line})) ++result.failures;
    }
    result.failures += static_cast<int>(sim.unanswered() - unanswered);
    result.failures += static_cast<int>(sim.failed_saves() - failed_saves);
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
