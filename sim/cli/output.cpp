#include "sim/cli/output.hpp"

namespace hmi::sim {

bool Output::wanted(const Event& event) const {
    if (options_.quiet) {
        // A run that a break stopped did something else than it says: that shows too.
        bool at_break = event.type == EventType::Warning && event.text(key::stopped) == "break";
        return is_failure(event) || at_break || event.type == EventType::Print ||
               event.type == EventType::PropValue || event.type == EventType::Info ||
               event.type == EventType::Summary;
    }
    return true;
}

void Output::operator()(const Event& event) {
    filter_.pass(event, [this](const Event& e) {
        if (!wanted(e)) return;
        std::string line = options_.json ? sim::json_line(e) : sim::trace_line(e);
        line += '\n';
        if (options_.buffered) {
            std::fwrite(line.data(), 1, line.size(), out_);
            return;
        }
        // Failures go to standard error in the readable trace; JSON stays one stream.
        FILE* to = !options_.json && is_failure(e) && out_ == stdout ? stderr : out_;
        std::fflush(out_);
        std::fwrite(line.data(), 1, line.size(), to);
        std::fflush(to);
    });
}

void Output::summary(std::string text, std::vector<Field> counts, uint64_t panel_ms) {
    counts.insert(counts.begin(), Field{key::text, Value::text(std::move(text))});
    Event e(EventType::Summary, std::move(counts));
    e.ms = panel_ms;
    (*this)(e);
}

void Output::info(std::string text) {
    (*this)(Event(EventType::Info, {{key::text, Value::text(std::move(text))}}));
}

void Output::note(std::string text) {
    (*this)(Event(EventType::Note, {{key::text, Value::text(std::move(text))}}));
}

void Output::warning(std::string message) {
    (*this)(Event(EventType::Warning, {{key::message, Value::text(std::move(message))}}));
}

void Output::error(std::string message) {
    (*this)(Event(EventType::Error, {{key::message, Value::text(std::move(message))}}));
}

}  // namespace hmi::sim
