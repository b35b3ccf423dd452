// The two handler tables, one window's rows after another, each closed by its end row.
#define HMI_DEFINING_TABLES
#include "plugin/export.hpp"
#include "plugin/table.hpp"
#include "screens/history/history.hpp"
#include "screens/home/home.hpp"

namespace {
using hmi::join;
namespace history = hmi::history;
namespace home = hmi::home;
}  // namespace

HMI_EXPORT constinit const auto event_funcs = join(  //
    home::main_events, history::window_events,
    // "8", "9", "11", "12", "15", "16", "17", "18", "window", "Equipment", "20", "21", "3"
    home::pic1_events, home::pic2_events, home::pic3_events, home::time_setting_events);

HMI_EXPORT constinit const auto prop_funcs = join(  //
    history::window_properties
    // "8", "9", "11", "12", "15", "16", "17", "18", "window", "21", "3"
);

namespace {
const hmi_func_row* rows(const hmi::Row* first) {
    return reinterpret_cast<const hmi_func_row*>(first);
}
}  // namespace

// Both go through the exported symbol, so a host that interposes it sees every lookup.
HMI_EXPORT void* hmi_widget_get_event_func(const char* window, const char* widget,
                                           const char* event) {
    return hmi_widget_get_func(rows(event_funcs.rows), window, widget, event);
}

HMI_EXPORT void* hmi_widget_get_dyn_prop_func(const char* window, const char* widget,
                                              const char* property) {
    return hmi_widget_get_func(rows(prop_funcs.rows), window, widget, property);
}
