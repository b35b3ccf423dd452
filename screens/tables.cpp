// The two handler tables, one window's rows after another, each closed by its end row.
//
// The registry stands beside the screens, above them: it is the one file that sees
// every screen's rows, so that each table is joined at compile time into one
// constant array that nothing has to build at load; plugin/ below knows no screen.
#define HMI_DEFINING_TABLES
#include "plugin/export.hpp"
#include "plugin/table.hpp"
#include "screens/history/history_rows.hpp"
#include "screens/home/home_rows.hpp"
#include "screens/motion/motion_rows.hpp"
#include "screens/process/animation_rows.hpp"
#include "screens/process/dish_rows.hpp"
#include "screens/process/electrical_rows.hpp"
#include "screens/process/instruments_rows.hpp"
#include "screens/process/relays_rows.hpp"
#include "screens/process/water_rows.hpp"
#include "screens/sequencer/sequencer_rows.hpp"

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
    home::window_main_events,
    history::window_6_events,
    dish::window_8_events,
    animation::window_9_events,
    relays::window_11_events,
    sequencer::window_12_events,
    sequencer::window_15_events,  // the duration dialog, shown as "timeinput"
    instruments::window_16_events,
    electrical::window_17_events,
    motion::window_18_events,
    motion::window_window_events,
    water::window_Equipment_events,
    water::window_20_events,
    water::window_21_events,
    water::window_3_events,
    home::window_pic1_events,
    home::window_pic2_events,
    home::window_pic3_events,
    home::window_TimeSetting_events);

HMI_EXPORT constinit const auto prop_funcs = join(
    history::window_6_properties,
    dish::window_8_properties,
    animation::window_9_properties,
    relays::window_11_properties,
    sequencer::window_12_properties,
    sequencer::window_15_properties,
    instruments::window_16_properties,
    electrical::window_17_properties,
    motion::window_18_properties,
    motion::window_window_properties,
    water::window_21_properties,
    water::window_3_properties);
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
