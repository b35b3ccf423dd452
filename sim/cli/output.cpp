#include "sim/cli/output.hpp"

#include <nlohmann/json.hpp>

namespace hmi::sim {

bool Output::wanted(const Entry& entry) {
    if (!filter_.keep(entry)) return false;
    if (options_.quiet) {
        return entry.type == EntryType::Fail || entry.type == EntryType::Error ||
               entry.type == EntryType::Print || entry.type == EntryType::Info;
    }
    return true;
}

void Output::operator()(const Entry& entry) {
    if (!wanted(entry)) return;
    if (options_.json) {
        nlohmann::json j;
        j["time_ms"] = entry.ms;
        j["time"] = format_time(entry.ms);
        j["depth"] = entry.depth;
        j["type"] = type_name(entry.type);
        j["text"] = entry.text;
        for (const auto& [key, value] : entry.fields) j[key] = value;
        std::string text = j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        std::fprintf(out_, "%s\n", text.c_str());
    } else {
        std::fprintf(out_, "%s\n", format_entry(entry).c_str());
    }
    std::fflush(out_);
}

void Output::line(const std::string& text) {
    if (options_.json) {
        nlohmann::json j;
        j["type"] = "summary";
        j["text"] = text;
        std::fprintf(out_, "%s\n",
                     j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
        std::fprintf(out_, "%s\n", text.c_str());
    }
    std::fflush(out_);
}

}  // namespace hmi::sim
