#include "sim/engine/trace.hpp"

namespace hmi::sim {

namespace {
bool is_handler_call(host::EventType type) {
    return type == EventType::Click || type == EventType::Timer || type == EventType::Open ||
           type == EventType::Close;
}
}  // namespace

void WindowFilter::pass(const Event& event, const std::function<void(const Event&)>& out) {
    bool kept = keep(event);
    if (event.depth == 0) {
        // A window opened or closed by a handler of another window: that handler's call
        // comes first, so that the line says why.
        bool caused = event.type == EventType::Open || event.type == EventType::Close;
        if (kept && caused && dropped_) out(*dropped_);
        dropped_.reset();
        if (!kept && is_handler_call(event.type)) dropped_ = event;
    }
    if (kept) out(event);
}

bool WindowFilter::keep(const Event& event) {
    if (windows_.empty()) return true;
    const Value* window = event.find(key::window);
    bool kept = window == nullptr || windows_.count(window->as_text()) != 0;
    if (event.depth == 0) skipping_ = is_handler_call(event.type) && !kept;
    if (is_failure(event)) return true;
    if (skipping_) return false;
    return event.type != EventType::Prop || kept;
}

}  // namespace hmi::sim
