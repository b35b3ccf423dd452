#include "sim/engine/trace.hpp"

#include <cstdio>

namespace hmi::sim {

const char* type_name(EntryType type) {
    switch (type) {
        case EntryType::Start:
            return "start";
        case EntryType::Event:
            return "event";
        case EntryType::Action:
            return "action";
        case EntryType::Write:
            return "set";
        case EntryType::Window:
            return "window";
        case EntryType::Dialog:
            return "dialog";
        case EntryType::Param:
            return "param";
        case EntryType::Prop:
            return "prop";
        case EntryType::Print:
            return "print";
        case EntryType::Say:
            return "say";
        case EntryType::Fail:
            return "fail";
        case EntryType::Error:
            return "error";
        case EntryType::Warning:
            return "warning";
        case EntryType::Info:
            return "info";
    }
    return "?";
}

const std::string* find_field(const Entry& entry, const char* name) {
    for (const auto& [key, value] : entry.fields) {
        if (key == name) return &value;
    }
    return nullptr;
}

bool WindowFilter::keep(const Entry& entry) {
    if (windows_.empty()) return true;
    const std::string* window = find_field(entry, "window");
    bool kept = window == nullptr || windows_.count(*window) != 0;
    if (entry.depth == 0) skipping_ = entry.type == EntryType::Event && !kept;
    if (entry.type == EntryType::Fail || entry.type == EntryType::Error) return true;
    if (skipping_) return false;
    return entry.type != EntryType::Prop || kept;
}

std::string format_time(uint64_t ms) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02llu:%02llu:%02llu.%03llu",
                  static_cast<unsigned long long>(ms / 3600000),
                  static_cast<unsigned long long>(ms / 60000 % 60),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
    return buffer;
}

std::string format_entry(const Entry& entry) {
    if (entry.type == EntryType::Info) return entry.text;
    std::string line = format_time(entry.ms) + " " + std::string(2 * entry.depth, ' ');
    switch (entry.type) {
        case EntryType::Say:
            return line + "-- " + entry.text;
        case EntryType::Fail:
            return line + "FAIL " + entry.text;
        case EntryType::Error:
            return line + "ERROR " + entry.text;
        case EntryType::Warning:
            return line + "warning: " + entry.text;
        default:
            return line + entry.text;
    }
}

}  // namespace hmi::sim
