#include "sim/engine/scenario.hpp"

#include <charconv>
#include <ctime>

#include "host/lines.hpp"
#include "sim/engine/loads.hpp"
#include "sim/engine/session.hpp"

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

std::string duration_text(uint64_t ms) {
    if (ms == 0) return "0ms";
    std::string out;
    for (auto [unit, size] : {std::pair{"h", 3600000ull}, std::pair{"m", 60000ull},
                              std::pair{"s", 1000ull}, std::pair{"ms", 1ull}}) {
        if (ms >= size) {
            out += std::to_string(ms / size) + unit;
            ms %= size;
        }
    }
    return out;
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
    auto [year, month, day, hour, minute, second] = fields;
    if (month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59 || year < 1970 ||
        year > 2106) {
        return false;
    }
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int month_days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day < 1 || day > month_days[month - 1]) return false;  // 30 February
    // Counted in 64 bits from the civil date, not through the C library's time_t, which
    // is 32-bit on the panel's target and ends in 2038 while the panel's clock goes on.
    int64_t y = month <= 2 ? year - 1 : year;
    int64_t era = y / 400;
    int64_t year_of_era = y - era * 400;
    int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    int64_t days = era * 146097 + day_of_era - 719468;
    int64_t t = days * 86400 + hour * 3600 + minute * 60 + second;
    if (t < 0 || t > int64_t{UINT32_MAX}) return false;
    *seconds = static_cast<uint32_t>(t);
    return true;
}

std::vector<ScenarioLine> check_scenario(std::string_view text, const std::string& origin,
                                         Simulator& sim, int* bad_lines, size_t* lines_run) {
    std::vector<ScenarioLine> lines;
    LoadCheck loads(origin);
    size_t through_loads = 0;
    host::LineErrors errors(origin);
    size_t slash = origin.rfind('/');
    // Files a scenario names are found beside it.
    auto beside = [&](std::string* path) {
        if (!path->empty() && path->front() != '/' && slash != std::string::npos) {
            *path = origin.substr(0, slash + 1) + *path;
        }
    };
    host::for_each_line(text, errors, [&](int number, std::string_view line) {
        std::string error;
        std::optional<Action> a = parse_command(line, sim, &error);
        if (a && (std::holds_alternative<Record>(*a) || std::holds_alternative<RecordStop>(*a))) {
            return std::string(
                "record writes what is typed at the prompt: a scenario cannot record");
        }
        if (a) {
            if (auto* plot = std::get_if<Plot>(&*a)) beside(&plot->path);
            if (auto* load = std::get_if<Load>(&*a)) {
                beside(&load->path);
                size_t loaded = 0;
                error = loads.load(load->path, sim, &loaded);
                if (error.empty() && (through_loads += loaded) > kMostLoadedLines) {
                    error = LoadCheck::too_many_lines(through_loads);
                }
                if (!error.empty()) return error;
            }
            lines.push_back({number, std::move(*a), written_text(line)});
        }
        return error;
    });
    *bad_lines = errors.count();
    if (lines_run != nullptr) *lines_run = lines.size() + through_loads;
    for (const host::LineErrors::Entry& e : errors.listed()) {
        sim.report(EventType::Error, {{key::file, Value::text(origin)},
                                      {key::line, Value::integer(e.line)},
                                      {key::message, Value::text(e.message)}});
    }
    if (errors.unlisted() > 0) {
        sim.report(EventType::Error,
                   {{key::file, Value::text(origin)},
                    {key::message,
                     Value::text("... and " + std::to_string(errors.unlisted()) + " more")}});
    }
    return lines;
}

ScenarioResult run_scenario(std::string_view text, const std::string& origin, Simulator& sim) {
    ScenarioResult result;
    std::vector<ScenarioLine> lines = check_scenario(text, origin, sim, &result.bad_lines);
    if (result.bad_lines > 0) {
        sim.report(EventType::Error,
                   {{key::file, Value::text(origin)},
                    {key::message, Value::text(std::to_string(result.bad_lines) +
                                               " bad line(s): nothing of the scenario was run")}});
        return result;
    }
    return run_scenario(lines, origin, sim);
}

ScenarioResult run_scenario(const std::vector<ScenarioLine>& lines, const std::string& origin,
                            Simulator& sim) {
    ScenarioResult result;
    size_t unanswered = sim.unanswered();
    size_t failed_saves = sim.failed_saves();
    for (const ScenarioLine& line : lines) {
        if (sim.session().quitting) break;  // the person quit at a dialog of a line before
        bool done = execute(line.action, sim, Where{origin, line.number, line.text});
        if (row_of(line.action).expectation) {
            ++result.expectations;
            if (done) ++result.met;
        }
        if (!done) ++result.failures;
    }
    result.failures += static_cast<int>(sim.unanswered() - unanswered);
    result.failures += static_cast<int>(sim.failed_saves() - failed_saves);
    if (sim.queued_answers() > 0) {
        ++result.failures;
        sim.report(EventType::Expect,
                   {{key::met, Value::boolean(false)},
                    {key::file, Value::text(origin)},
                    {key::message, Value::text(std::to_string(sim.queued_answers()) +
                                               " queued answer(s) were never asked for")}});
        sim.clear_answers();
    }
    return result;
}

namespace {
std::string counted(int n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}
}  // namespace

std::string outcome_text(const ScenarioResult& r) {
    int failed = r.expectations - r.met;
    std::string text = r.expectations == 0 ? "no expectations"
                       : failed == 0
                           ? counted(r.expectations, "expectation") + ", all met"
                           : counted(r.expectations, "expectation") + ": " + std::to_string(r.met) +
                                 " met, " + std::to_string(failed) + " failed";
    if (r.other_failures() > 0) text += "; " + counted(r.other_failures(), "other failure");
    return text;
}

}  // namespace hmi::sim
