#include "tests/support/library.hpp"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "host/loader.hpp"

namespace hmi::test {

std::string Library::path() {
    return host::default_library_path();
}

const Library& Library::get() {
    static const Library library = [] {
        try {
            return Library{host::load_exports(path())};
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            std::abort();
        }
    }();
    return library;
}

Key Key::parse(const std::string& key) {
    std::optional<host::Key> k = host::split_key(key);
    if (!k) throw std::invalid_argument("not a handler key: " + key);
    return Key{k->window, k->widget, k->name};
}

}  // namespace hmi::test
