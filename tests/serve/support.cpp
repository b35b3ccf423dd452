#include "tests/serve/support.hpp"

#include <cstdlib>
#include <filesystem>

namespace hmi::sim::serve::test {

const Panel& real_panel() {
    static const Panel panel = Panel::load(HMI_PANEL_DIR);
    return panel;
}

const std::shared_ptr<const Library>& real_library() {
    static const std::shared_ptr<const Library> library = [] {
        const char* env = std::getenv("HMISCRIPT");
        return Library::load(env != nullptr && *env != '\0' ? env : HMISCRIPT_PATH);
    }();
    return library;
}

Sink TraceText::sink() {
    return [this](const Event& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        text_ += sim::trace_line(e) + "\n";
    };
}

std::string TraceText::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    out.swap(text_);
    return out;
}

}  // namespace hmi::sim::serve::test
