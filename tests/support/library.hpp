// The script library as a host loads it: dlopen, then bind the exports by name.
#pragma once

#include <string>

#include "plugin/hmi_abi.h"

namespace hmi::test {

struct Library {
    void* handle = nullptr;
    const hmi_func_row* event_funcs = nullptr;
    const hmi_func_row* prop_funcs = nullptr;
    decltype(&::hmi_widget_get_func) get_func = nullptr;
    decltype(&::hmi_widget_get_event_func) get_event_func = nullptr;
    decltype(&::hmi_widget_get_dyn_prop_func) get_prop_func = nullptr;

    // Any other export by name, or nullptr.
    void* symbol(const char* name) const;

    // Loaded once per process, from HMISCRIPT (the environment) or the build's own path.
    static const Library& get();
    static std::string path();
};

// Splits "window_widget_name" at its two separators.
struct Key {
    std::string window, widget, name;
    static Key parse(const std::string& key);
};

}  // namespace hmi::test
