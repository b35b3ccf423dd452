// How every host of this project (the simulator, the tests, the benchmarks) finds and
// opens the script library and the panel project, and reads a handler key.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "plugin/hmi_abi.h"

namespace hmi::host {

#ifdef HMISCRIPT_PATH
// HMISCRIPT from the environment, else the library this build made.
inline std::string default_library_path() {
    const char* env = std::getenv("HMISCRIPT");
    return env != nullptr && *env != '\0' ? env : HMISCRIPT_PATH;
}
#endif

#ifdef HMI_PANEL_DIR
// The demonstration panel project: tags.txt and windows.txt.
inline std::string default_panel_dir() {
    return HMI_PANEL_DIR;
}
#endif

// The storage a widget gives a property, by the property's name.
enum class PropKind : uint8_t { Flag, Colour, Int32, U16, I16, Float, Text };

// False for a property name that no widget of the panel has.
inline bool prop_kind(std::string_view property, PropKind* kind) {
    struct PropName {
        std::string_view name;
        PropKind kind;
    };
    static constexpr PropName kPropNames[] = {
        {"visible", PropKind::Flag},      {"flash", PropKind::Flag},
        {"enable", PropKind::Flag},       {"fillcolor", PropKind::Colour},
        {"fillcolor1", PropKind::Colour}, {"startcolor", PropKind::Colour},
        {"endcolor", PropKind::Colour},   {"color", PropKind::Colour},
        {"opencolor", PropKind::Colour},  {"bodyendcolor", PropKind::Colour},
        {"datacolor1", PropKind::Colour}, {"datacolor2", PropKind::Colour},
        {"datacolor3", PropKind::Colour}, {"datacolor4", PropKind::Colour},
        {"flowstate", PropKind::Int32},   {"direction", PropKind::Int32},
        {"startyear", PropKind::U16},     {"startmonth", PropKind::U16},
        {"startday", PropKind::U16},      {"starthour", PropKind::U16},
        {"startmin", PropKind::U16},      {"startsec", PropKind::U16},
        {"endyear", PropKind::U16},       {"endmonth", PropKind::U16},
        {"endday", PropKind::U16},        {"endhour", PropKind::U16},
        {"endmin", PropKind::U16},        {"endsec", PropKind::U16},
        {"xoffset", PropKind::I16},       {"top", PropKind::I16},
        {"bottom", PropKind::I16},        {"value", PropKind::Float},
        {"text", PropKind::Text},
    };
    for (const PropName& p : kPropNames) {
        if (p.name == property) {
            *kind = p.kind;
            return true;
        }
    }
    return false;
}

// Bytes of the value storage; a text value is 16.
inline size_t prop_width(PropKind kind) {
    switch (kind) {
        case PropKind::Flag:
            return 1;
        case PropKind::U16:
        case PropKind::I16:
            return 2;
        case PropKind::Colour:
        case PropKind::Int32:
        case PropKind::Float:
            return 4;
        case PropKind::Text:
            return HMI_TEXT_VALUE_SIZE;
    }
    return 0;
}

// A handler key "window_widget_name": exactly two separators, no part empty.
struct Key {
    std::string window, widget, name;
};
inline std::optional<Key> split_key(std::string_view key) {
    size_t first = key.find('_');
    if (first == std::string_view::npos) return std::nullopt;
    size_t second = key.find('_', first + 1);
    if (second == std::string_view::npos || key.find('_', second + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    Key k{std::string(key.substr(0, first)), std::string(key.substr(first + 1, second - first - 1)),
          std::string(key.substr(second + 1))};
    if (k.window.empty() || k.widget.empty() || k.name.empty()) return std::nullopt;
    return k;
}

// The pointer types of hmi_abi.h are those of the functions they point to.
static_assert(std::is_same_v<hmi_get_func_fn, decltype(&::hmi_widget_get_func)>);
static_assert(std::is_same_v<hmi_get_event_func_fn, decltype(&::hmi_widget_get_event_func)>);
static_assert(std::is_same_v<hmi_get_dyn_prop_func_fn, decltype(&::hmi_widget_get_dyn_prop_func)>);

// The library's exports as a host binds them after dlopen.
struct Exports {
    void* handle = nullptr;  // never closed: handlers and their texts live as long as the process
    const hmi_func_row* event_funcs = nullptr;
    const hmi_func_row* prop_funcs = nullptr;
    hmi_get_func_fn get_func = nullptr;
    hmi_get_event_func_fn get_event_func = nullptr;
    hmi_get_dyn_prop_func_fn get_prop_func = nullptr;

    void* symbol(const char* name) const { return dlsym(handle, name); }
};

// Opens the library as the panel does (RTLD_NOW) and binds the tables and lookups;
// throws std::runtime_error naming the file when it cannot be loaded or lacks one.
inline Exports load_exports(const std::string& path) {
    Exports e;
    e.handle = dlopen(path.c_str(), RTLD_NOW);
    if (e.handle == nullptr) {
        throw std::runtime_error("cannot load the script library " + path + ": " + dlerror());
    }
    e.event_funcs = static_cast<const hmi_func_row*>(e.symbol("event_funcs"));
    e.prop_funcs = static_cast<const hmi_func_row*>(e.symbol("prop_funcs"));
    e.get_func = reinterpret_cast<decltype(e.get_func)>(e.symbol("hmi_widget_get_func"));
    e.get_event_func =
        reinterpret_cast<decltype(e.get_event_func)>(e.symbol("hmi_widget_get_event_func"));
    e.get_prop_func =
        reinterpret_cast<decltype(e.get_prop_func)>(e.symbol("hmi_widget_get_dyn_prop_func"));
    if (!e.event_funcs || !e.prop_funcs || !e.get_func || !e.get_event_func || !e.get_prop_func) {
        throw std::runtime_error(path + " lacks event_funcs, prop_funcs or the lookup functions");
    }
    return e;
}

}  // namespace hmi::host
