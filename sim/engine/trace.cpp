#include "sim/engine/trace.hpp"

namespace hmi::sim {

namespace {
bool is_handler_call(EventType type) {
    return type == EventType::Click || type == EventType::Timer || type == EventType::Open ||
           type == EventType::Close;
}
}  // namespace

bool is_failure(const Event& event) {
    switch (event.type) {
        case EventType::Error:
            return true;
        case EventType::Expect:
            return !event.flag("met");
        case EventType::Param:
            return event.text("outcome") == "failed" || event.text("outcome") == "damaged" ||
                   event.text("outcome") == "unusable";
        default:
            return false;
    }
}

bool in_readable_trace(const Event& event) {
    return event.type != EventType::Expect || !event.flag("met");
}

bool WindowFilter::keep(const Event& event) {
    if (windows_.empty()) return true;
    const Value* window = event.find("window");
    bool kept = window == nullptr || windows_.count(window->as_text()) != 0;
    if (event.depth == 0) skipping_ = is_handler_call(event.type) && !kept;
    if (is_failure(event)) return true;
    if (skipping_) return false;
    return event.type != EventType::Prop || kept;
}

}  // namespace hmi::sim
