// The script library as a host loads it: dlopen, then bind the exports by name.
#pragma once

#include <string>

#include "host/loader.hpp"

namespace hmi::test {

// The library's exports, bound once per process, from HMISCRIPT (the environment) or the
// build's own path.
struct Library : host::Exports {
    static const Library& get();
    static std::string path();
};

// "window_widget_name" split at its two separators.
struct Key {
    std::string window, widget, name;
    static Key parse(const std::string& key);
};

}  // namespace hmi::test
