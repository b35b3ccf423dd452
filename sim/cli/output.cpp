#include "sim/cli/output.hpp"

namespace hmi::sim {

bool Output::wanted(const Event& event) {
    if (!filter_.keep(event)) return false;
    if (!options_.json && !in_readable_trace(event)) return false;
    if (options_.quiet) {
        return is_failure(event) || event.type == EventType::Print ||
               event.type == EventType::PropValue || event.type == EventType::Info ||
               event.type == EventType::Summary;
    }
    return true;
}

void Output::operator()(const Event& event) {
    if (!wanted(event)) return;
    std::string line = options_.json ? host::to_json(event) : host::format_line(event);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void Output::summary(std::string text, std::vector<Field> counts) {
    counts.insert(counts.begin(), Field{"text", Value::text(std::move(text))});
    (*this)(Event(EventType::Summary, std::move(counts)));
}

void Output::info(std::string text) {
    (*this)(Event(EventType::Info, {{"text", Value::text(std::move(text))}}));
}

void Output::warning(std::string message) {
    (*this)(Event(EventType::Warning, {{"message", Value::text(std::move(message))}}));
}

void Output::error(std::string message) {
    (*this)(Event(EventType::Error, {{"message", Value::text(std::move(message))}}));
}

}  // namespace hmi::sim
