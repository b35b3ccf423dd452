// The two handler tables, one window's rows after another, each closed by its end row.
#define HMI_DEFINING_TABLES
#include "plugin/export.hpp"
#include "plugin/table.hpp"
#include "screens/history/history.hpp"
#include "screens/home/home.hpp"
#include "screens/motion/motion.hpp"
#include "screens/process/animation.hpp"
#include "screens/process/dish.hpp"
#include "screens/process/electrical.hpp"
#include "screens/process/instruments.hpp"
#include "screens/process/relays.hpp"
#include "screens/process/water.hpp"
#include "screens/sequencer/bindings.hpp"
#include "screens/sequencer/sequencer.hpp"

namespace {
using hmi::join;
namespace home = hmi::home;
namespace history = hmi::history;
namespace dish = hmi::dish;
namespace animation = hmi::animation;
namespace relays = hmi::relays;
namespace sequencer = hmi::sequencer;
namespace instruments = hmi::instruments;
namespace electrical = hmi::electrical;
namespace motion = hmi::motion;
namespace water = hmi::water;
}  // namespace

// clang-format off
HMI_EXPORT constinit const auto event_funcs = join(
    home::main_events,                 // "main"
    history::window_events,            // "6"
    dish::events,                      // "8"
    animation::events,                 // "9"
    relays::events,                    // "11"
    sequencer::window12_events,        // "12"
    sequencer::window15_events,        // "15", shown as "timeinput"
    instruments::window16_events,      // "16"
    electrical::window17_events,       // "17"
    motion::screen_events,             // "18"
    motion::axis_window_events,        // "window"
    water::equipment_events,           // "Equipment"
    water::window20_events,            // "20"
    water::window21_events,            // "21"
    water::window3_events,             // "3"
    home::pic1_events,                 // "pic1"
    home::pic2_events,                 // "pic2"
    home::pic3_events,                 // "pic3"
    home::time_setting_events);        // "TimeSetting"

HMI_EXPORT constinit const auto prop_funcs = join(
    history::window_properties,        // "6"
    dish::props,                       // "8"
    animation::props,                  // "9"
    relays::props,                     // "11"
    sequencer::window12_props,         // "12"
    sequencer::window15_props,         // "15"
    instruments::window16_props,       // "16"
    electrical::window17_props,        // "17"
    motion::screen_properties,         // "18"
    motion::axis_window_properties,    // "window"
    water::window21_props,             // "21"
    water::window3_props);             // "3"
// clang-format on

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
