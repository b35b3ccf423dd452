// The valve and pump sequencer: window "12" draws the DP line (valves HV201 to HV222,
// main pumps HM201 and HM202, further pumps HM203 to HM206); the DT line (valves
// HV101 to HV110, pump HM101) has no window of its own but shares the tick and the
// duration dialog. The dialog is shown as "timeinput" and has the handler keys of
// window "15".
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "plugin/hmi_abi.h"

namespace hmi::sequencer {

// ---- valves named at run time ----

// A valve's bare name ("HV205", no group), formatted just before the host call that
// uses it. Each handler that names valves has its own static buffers of this size.
using ValveName = char[10];

// Valves named at run time are not among a handler's copied tags: written at once.
inline void set_valve(ValveName& name, int number, uint8_t value) {
    snprintf(name, sizeof name, "HV%d", number);
    hmidb_set_data_value(name, &value);
}

// Leaves `state` as it was when the host has no such valve.
inline void get_valve(ValveName& name, int number, uint8_t* state) {
    snprintf(name, sizeof name, "HV%d", number);
    rtdb_get_data_value_by_name("dtmain", name, state);
}

// ---- the DP line's tags, in ascending order ----

inline constexpr const char* kDpValves[] = {
    "dtmain.HV201", "dtmain.HV202", "dtmain.HV203", "dtmain.HV204", "dtmain.HV205", "dtmain.HV206",
    "dtmain.HV207", "dtmain.HV208", "dtmain.HV209", "dtmain.HV210", "dtmain.HV211", "dtmain.HV212",
    "dtmain.HV213", "dtmain.HV214", "dtmain.HV215", "dtmain.HV216", "dtmain.HV217", "dtmain.HV218",
    "dtmain.HV219", "dtmain.HV220", "dtmain.HV221", "dtmain.HV222",
};
inline constexpr const char* kFurtherPumps[] = {"dtmain.HM203", "dtmain.HM204", "dtmain.HM205",
                                                "dtmain.HM206"};

// ---- durations ----

// The duration tag that a duration index (`dtmain.num_Flag`) selects; none for 0 and 23.
inline constexpr const char* kDurationTags[] = {
    nullptr,
    "dtmain.HV201_TIME",
    "dtmain.HV202_TIME",
    "dtmain.HV203_TIME",
    "dtmain.HV204_TIME",
    "dtmain.HV205_TIME",
    "dtmain.HV206_TIME",
    "dtmain.HV207_TIME",
    "dtmain.HV208_TIME",
    "dtmain.HV209_TIME",
    "dtmain.HV210_TIME",
    "dtmain.HV211_TIME",
    "dtmain.HV212_TIME",
    "dtmain.HV213_TIME",
    "dtmain.HV214_TIME",
    "dtmain.HV215_TIME",
    "dtmain.HV216_TIME",
    "dtmain.HV217_TIME",
    "dtmain.HV218_TIME",
    "dtmain.HV219_TIME",
    "dtmain.HV220_TIME",
    "dtmain.HV221_TIME",
    "dtmain.HV222_TIME",
    nullptr,
    "dtmain.HM203_TIME",
    "dtmain.HM204_TIME",
    "dtmain.HM205_TIME",
    "dtmain.HM206_TIME",
    "dtmain.HV101_TIME",
    "dtmain.HV102_TIME",
    "dtmain.HV103_TIME",
    "dtmain.HV104_TIME",
    "dtmain.HV105_TIME",
    "dtmain.HV106_TIME",
    "dtmain.HV107_TIME",
    "dtmain.HV108_TIME",
    "dtmain.HV109_TIME",
    "dtmain.HV110_TIME",
};
inline constexpr unsigned kDurationIndices = sizeof kDurationTags / sizeof kDurationTags[0];

// Which of its writes a duration rectangle makes first.
enum class WriteOrder : uint8_t {
    FieldsFirst,  // the three edit fields, then the index
    IndexFirst,   // the index, then the three edit fields
};

// ---- handlers ----

// tick and page
void step_sequences();
void open_page();
void close_page();

// modes, home, shut-down, pumps
void select_automatic();
void select_manual();
void go_home();
void shut_down_line();
void toggle_hm201();
void toggle_hm202();

// duration rectangles and the duration dialog
void load_duration(uint8_t index, WriteOrder order);
template <uint8_t Index, WriteOrder Order>
void edit_duration() {
    static_assert(Index < kDurationIndices && kDurationTags[Index] != nullptr);
    load_duration(Index, Order);
}
void read_selected_valve();
void enter_hours();
void enter_minutes();
void enter_seconds();
void confirm_duration();
void cancel_duration();
void hide_duration_dialog();

// humidity inputs
void enter_humidity_ii203();
void enter_humidity_ii201();

constexpr WriteOrder kFieldsFirst = WriteOrder::FieldsFirst;
constexpr WriteOrder kIndexFirst = WriteOrder::IndexFirst;

}  // namespace hmi::sequencer
