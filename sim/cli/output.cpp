#include "sim/cli/output.hpp"

#include <nlohmann/json.hpp>

namespace hmi::sim {

namespace {
const std::string* field(const Entry& entry, const char* name) {
    for (const auto& [key, value] : entry.fields) {
        if (key == name) return &value;
    }
    return nullptr;
}
}  // namespace

bool Output::wanted(const Entry& entry) {
    if (!options_.watch.empty()) {
        const std::string* window = field(entry, "window");
        bool watched = window == nullptr || options_.watch.count(*window) != 0;
        if (entry.depth == 0) skipping_ = entry.type == EntryType::Event && !watched;
        if (entry.type != EntryType::Fail && entry.type != EntryType::Error) {
            if (skipping_) return false;
            if (entry.type == EntryType::Prop && !watched) return false;
        }
    }
    if (options_.quiet) {
        return entry.type == EntryType::Fail || entry.type == EntryType::Error ||
               entry.type == EntryType::Print;
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
