#include "sim/cli/coverage.hpp"

namespace hmi::sim {

using nlohmann::json;

void Coverage::attach(Simulator& sim) {
    sim.on_handler = [this](int, const EventRow& row) { ++runs_[row.key]; };
    sim.on_poll = [this](int, const PropRow& row, const unsigned char* value) {
        Prop& p = props_[row.key];
        ++p.polls;
        if (p.values.size() < kMostValues) {
            p.values.insert(format_prop(row.kind, value));
        } else if (!p.more && p.values.count(format_prop(row.kind, value)) == 0) {
            p.more = true;
        }
    };
}

json Coverage::to_json() const {
    json props = json::object();
    for (const auto& [key, p] : props_) {
        props[key] = {{"polls", p.polls}, {"values", p.values}, {"more", p.more}};
    }
    return {{"runs", runs_}, {"props", props}};
}

void Coverage::add(const json& counted) {
    for (const auto& [key, n] : counted.at("runs").items()) runs_[key] += n.get<uint64_t>();
    for (const auto& [key, p] : counted.at("props").items()) {
        Prop& mine = props_[key];
        mine.polls += p.at("polls").get<uint64_t>();
        mine.more = mine.more || p.at("more").get<bool>();
        for (const auto& v : p.at("values")) {
            if (mine.values.size() < kMostValues) {
                mine.values.insert(v.get<std::string>());
            } else if (mine.values.count(v.get<std::string>()) == 0) {
                mine.more = true;
            }
        }
    }
}

json Coverage::report(const Library& library, size_t scenarios) const {
    json windows = json::array();
    size_t handlers = 0, run = 0, props = 0, polled = 0, single = 0;
    for (const HandlerWindow& w : library.windows()) {
        json events = json::array(), properties = json::array();
        size_t w_run = 0, w_polled = 0, w_single = 0;
        for (const EventRow& row : w.events) {
            auto it = runs_.find(row.key);
            uint64_t n = it == runs_.end() ? 0 : it->second;
            w_run += n > 0;
            events.push_back(
                {{"key", row.key}, {"widget", row.widget}, {"event", row.event}, {"runs", n}});
        }
        for (const PropRow& row : w.props) {
            auto it = props_.find(row.key);
            Prop p = it == props_.end() ? Prop{} : it->second;
            w_polled += p.polls > 0;
            w_single += p.polls > 0 && p.values.size() == 1 && !p.more;
            properties.push_back({{"key", row.key},
                                  {"widget", row.widget},
                                  {"property", row.property},
                                  {"polls", p.polls},
                                  {"values", p.values},
                                  {"more_values", p.more}});
        }
        handlers += w.events.size(), run += w_run;
        props += w.props.size(), polled += w_polled, single += w_single;
        windows.push_back({{"window", w.name},
                           {"handlers", w.events.size()},
                           {"handlers_run", w_run},
                           {"properties", w.props.size()},
                           {"properties_polled", w_polled},
                           {"one_value_only", w_single},
                           {"events", events},
                           {"props", properties}});
    }
    return {{"library", library.path()},
            {"scenarios", scenarios},
            {"total",
             {{"handlers", handlers},
              {"handlers_run", run},
              {"properties", props},
              {"properties_polled", polled},
              {"one_value_only", single}}},
            {"windows", windows}};
}

namespace {

std::string counts_text(const json& c) {
    return "handlers run: " + std::to_string(c["handlers_run"].get<size_t>()) + " of " +
           std::to_string(c["handlers"].get<size_t>()) +
           ", properties polled: " + std::to_string(c["properties_polled"].get<size_t>()) + " of " +
           std::to_string(c["properties"].get<size_t>()) + ", " +
           std::to_string(c["one_value_only"].get<size_t>()) + " with one value only";
}

}  // namespace

std::vector<std::string> Coverage::summary(const json& report) {
    constexpr size_t kNamed = 6;  // handlers named per window that never ran
    std::vector<std::string> lines;
    for (const json& w : report["windows"]) {
        std::string line =
            "coverage of window " + w["window"].get<std::string>() + ": " + counts_text(w);
        std::vector<std::string> idle;
        for (const json& e : w["events"]) {
            if (e["runs"].get<uint64_t>() == 0) idle.push_back(e["key"].get<std::string>());
        }
        if (!idle.empty()) {
            line += "; not run: ";
            for (size_t i = 0; i < idle.size() && i < kNamed; ++i) {
                line += (i ? ", " : "") + idle[i];
            }
            if (idle.size() > kNamed)
                line += " and " + std::to_string(idle.size() - kNamed) + " more";
        }
        lines.push_back(line);
    }
    lines.push_back("coverage in all: " + counts_text(report["total"]));
    return lines;
}

}  // namespace hmi::sim
