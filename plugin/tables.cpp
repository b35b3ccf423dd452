// The two handler tables, one window's rows after another, each closed by its end row.
#define HMI_DEFINING_TABLES
#include "plugin/export.hpp"
#include "plugin/table.hpp"
#include "screens/home/home.hpp"
#include "screens/process/electrical.hpp"
#include "screens/process/instruments.hpp"
#include "screens/process/water.hpp"

namespace {
using hmi::join;
namespace home = hmi::home;
namespace instruments = hmi::instruments;
namespace electrical = hmi::electrical;
namespace water = hmi::water;
}  // namespace

HMI_EXPORT constinit const auto event_funcs = join(  //
    home::main_events,
    // "6", "8", "9", "11", "12", "15"
    instruments::window16_events, electrical::window17_events,
    // "18", "window"
    water::equipment_events, water::window20_events, water::window21_events,
    water::window3_events,  //
    home::pic1_events, home::pic2_events, home::pic3_events, home::time_setting_events);

HMI_EXPORT constinit const auto prop_funcs = join(
    // "6", "8", "9", "11", "12", "15"
    instruments::window16_props, electrical::window17_props,
    // "18", "window"
    water::window21_props, water::window3_props);

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
