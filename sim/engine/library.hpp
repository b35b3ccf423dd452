// The script library as the panel sees it: loaded with dlopen, its handlers found
// through the exported tables and lookup, grouped by handler window and widget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/event.hpp"
#include "host/loader.hpp"
#include "plugin/hmi_abi.h"

namespace hmi::sim {

using host::prop_kind;
using host::prop_width;
using host::PropKind;

// The value as a person reads it: flags and numbers in decimal, colours 0xBBGGRR as
// written in the scripts, floats shortest, texts quoted in UTF-8.
std::string format_prop(PropKind kind, const unsigned char* value);
// The value with its type: flags and numbers as integers, colours as colours, floats,
// texts in UTF-8.
host::Value typed_prop(PropKind kind, const unsigned char* value);
const char* prop_kind_name(PropKind kind);  // flag, colour, i32, u16, i16, f32, text
// Parses what format_prop prints (texts in UTF-8). Empty on success, else what is wrong.
std::string parse_prop(PropKind kind, std::string_view text, unsigned char* out);

struct EventRow {
    std::string widget, event, key;
    hmi_event_func func = nullptr;
};

struct PropRow {
    std::string widget, property, key;
    PropKind kind = PropKind::Flag;
    hmi_prop_func func = nullptr;
};

// The rows whose keys start with one window name, in table order.
struct HandlerWindow {
    std::string name;
    std::vector<EventRow> events;
    std::vector<PropRow> props;

    const EventRow* event(std::string_view widget, std::string_view event) const;
    const PropRow* prop(std::string_view widget, std::string_view property) const;
    std::vector<std::string> widgets() const;        // with any row, in table order
    bool has_widget(std::string_view widget) const;  // with any row
};

class Library {
  public:
    // Loads the library with dlopen as the panel does. Throws std::runtime_error.
    static std::shared_ptr<const Library> load(const std::string& path);
    // From tables already in the process (for hosts that build their own); the
    // lookup functions, when given, must agree with the tables.
    static std::shared_ptr<const Library> from_tables(
        const hmi_func_row* events, const hmi_func_row* props,
        decltype(&::hmi_widget_get_event_func) event_lookup = nullptr,
        decltype(&::hmi_widget_get_dyn_prop_func) prop_lookup = nullptr);

    const std::string& path() const { return path_; }
    const std::vector<HandlerWindow>& windows() const { return windows_; }
    const HandlerWindow* window(std::string_view name) const;
    // Rows the simulator cannot use, and why.
    const std::vector<std::string>& problems() const { return problems_; }
    size_t event_count() const { return event_count_; }
    size_t prop_count() const { return prop_count_; }

  private:
    HandlerWindow& window_for(const std::string& name);

    std::string path_;
    std::vector<HandlerWindow> windows_;
    std::vector<std::string> problems_;
    size_t event_count_ = 0, prop_count_ = 0;
};

}  // namespace hmi::sim
