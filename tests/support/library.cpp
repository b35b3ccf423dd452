#include "tests/support/library.hpp"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace hmi::test {

std::string Library::path() {
    const char* env = std::getenv("HMISCRIPT");
    return env != nullptr && *env != '\0' ? env : HMISCRIPT_PATH;
}

void* Library::symbol(const char* name) const {
    return dlsym(handle, name);
}

const Library& Library::get() {
    static const Library library = [] {
        Library lib;
        lib.handle = dlopen(path().c_str(), RTLD_NOW);
        if (lib.handle == nullptr) {
            std::fprintf(stderr, "cannot load the script library: %s\n", dlerror());
            std::abort();
        }
        lib.event_funcs = static_cast<const hmi_func_row*>(lib.symbol("event_funcs"));
        lib.prop_funcs = static_cast<const hmi_func_row*>(lib.symbol("prop_funcs"));
        lib.get_func = reinterpret_cast<decltype(lib.get_func)>(lib.symbol("hmi_widget_get_func"));
        lib.get_event_func =
            reinterpret_cast<decltype(lib.get_event_func)>(lib.symbol("hmi_widget_get_event_func"));
        lib.get_prop_func = reinterpret_cast<decltype(lib.get_prop_func)>(
            lib.symbol("hmi_widget_get_dyn_prop_func"));
        if (!lib.event_funcs || !lib.prop_funcs || !lib.get_func || !lib.get_event_func ||
            !lib.get_prop_func) {
            std::fputs("the script library lacks an export of the lookup\n", stderr);
            std::abort();
        }
        return lib;
    }();
    return library;
}

Key Key::parse(const std::string& key) {
    size_t first = key.find('_');
    size_t last = key.rfind('_');
    if (first == std::string::npos || first == last) {
        throw std::invalid_argument("not a handler key: " + key);
    }
    return Key{key.substr(0, first), key.substr(first + 1, last - first - 1), key.substr(last + 1)};
}

}  // namespace hmi::test
