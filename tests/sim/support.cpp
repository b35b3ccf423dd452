#include "tests/sim/support.hpp"

#include <cstdlib>
#include <filesystem>

#include "host/loader.hpp"

namespace hmi::sim::test {

const Panel& real_panel() {
    static const Panel panel = Panel::load(host::default_panel_dir());
    return panel;
}

const std::shared_ptr<const Library>& real_library() {
    static const std::shared_ptr<const Library> library = [] {
        return Library::load(host::default_library_path());
    }();
    return library;
}

Panel make_panel(const std::string& tags, const std::string& windows) {
    return Panel::parse(host::Catalogue::parse(tags, "tags"), windows, "windows");
}

}  // namespace hmi::sim::test
