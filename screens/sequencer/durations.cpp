// Valve durations: a duration rectangle of window "12" loads its valve's duration into
// the three edit fields of the duration dialog ("timeinput", handler keys of window
// "15"), selects the valve by its duration index, saves the parameters and opens the
// dialog; the dialog enters hours, minutes and seconds, then stores the duration
// (confirm) or puts the saved parameters back (cancel).
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "screens/sequencer/sequencer.hpp"

namespace hmi::sequencer {
namespace {

constexpr char kDialog[] = "timeinput";

// Valve number of a duration index on each line's page: index 1 is HV201, index 28 HV101.
constexpr int kDpValveOffset = 200;
constexpr int kDtValveOffset = 73;

// The longest duration the byte-wide fields can show: 255:59:59.
constexpr uint32_t kLongestShown = 255 * 3600 + 59 * 60 + 59;

constexpr char kEnterHours[] = "\xc7\xeb\xca\xe4\xc8\xeb\xd0\xa1\xca\xb1";  // 请输入小时
constexpr char kEnterMinutes[] = "\xc7\xeb\xca\xe4\xc8\xeb\xb7\xd6";        // 请输入分
constexpr char kEnterSeconds[] = "\xc7\xeb\xca\xe4\xc8\xeb\xc3\xeb";        // 请输入秒

void close_dialog() {
    hmi_window_exit_modal(kDialog);
    hmi_window_hide(kDialog);
}

}  // namespace

void load_duration(uint8_t index, WriteOrder order) {
    Script s;
    auto& selected = s.u8("dtmain.num_Flag");
    auto& hours = s.u8("dtmain.TimeHour");
    const uint32_t duration = s.u32(kDurationTags[index]);  // only read
    auto& minutes = s.u8("dtmain.TimeMinute");
    auto& seconds = s.u8("dtmain.TimeSecond");

    if (order == WriteOrder::IndexFirst) {
        selected = index;
        s.write_back();
    }
    // A duration beyond what the fields hold shows as their largest value, not as
    // the low byte of its hours.
    const uint32_t shown = duration < kLongestShown ? duration : kLongestShown;
    hours = shown / 3600;
    minutes = shown % 3600 / 60;
    seconds = shown % 3600 % 60;
    selected = index;
    s.write_back();  // the parameters copied below still hold the durations before the edit
    rtdb_param_rtdb_to_mem();
    sys_save_params();
    hmi_window_show_modal(kDialog);
}

void read_selected_valve() {
    Script s;
    auto& dt_page = s.u8("dtmain.dt_web_flag");
    auto& valve_number = s.u16("dtmain.cur_num");
    auto& selected = s.u8("dtmain.num_Flag");
    auto& valve_state = s.u8("dtmain.cur");
    auto& dp_page = s.u8("dtmain.dp_web_flag");
    static ValveName name;
    uint8_t state = 0;  // kept when the host finds no such valve

    if (dp_page == 1) {
        valve_number = selected + kDpValveOffset;
        get_valve(name, valve_number, &state);
        valve_state = state;
    }
    if (dt_page == 1) {
        valve_number = selected + kDtValveOffset;
        get_valve(name, valve_number, &state);
        valve_state = state;
    }
    s.write_back();
}

void enter_hours() {
    data_input_window("dtmain.TimeHour", kEnterHours, 0.0, 100.0, 0);
}

void enter_minutes() {
    data_input_window("dtmain.TimeMinute", kEnterMinutes, 0.0, 59.0, 0);
}

void enter_seconds() {
    data_input_window("dtmain.TimeSecond", kEnterSeconds, 0.0, 59.0, 0);
}

void confirm_duration() {
    Script s;
    auto& selected = s.u8("dtmain.num_Flag");
    uint32_t* durations[kDurationIndices] = {};
    durations[1] = &s.u32(kDurationTags[1]);
    auto& hours = s.u8("dtmain.TimeHour");
    auto& minutes = s.u8("dtmain.TimeMinute");
    auto& seconds = s.u8("dtmain.TimeSecond");
    for (unsigned i = 2; i < kDurationIndices; ++i) {
        if (kDurationTags[i] != nullptr) durations[i] = &s.u32(kDurationTags[i]);
    }
    auto& dt_page = s.u8("dtmain.dt_web_flag");
    auto& dp_pump = s.u8("dtmain.HM201");
    auto& valve_number = s.u16("dtmain.cur_num");
    auto& valve_state = s.u8("dtmain.cur");
    auto& dp_page = s.u8("dtmain.dp_web_flag");
    auto& dt_pump = s.u8("dtmain.HM101");
    static ValveName dp_name;
    static ValveName dt_name;

    if (selected < kDurationIndices && durations[selected] != nullptr) {
        *durations[selected] = hours * 3600u + minutes * 60u + seconds;
    }
    s.write_back();  // the new duration is among the parameters saved now, not only later
    rtdb_param_rtdb_to_mem();
    sys_save_params();
    hours = 0;
    minutes = 0;
    seconds = 0;
    // The valve gets back the state it had when the dialog opened, and its pump runs.
    if (dp_page == 1) {
        valve_number = selected + kDpValveOffset;
        dp_pump = 1;
        set_valve(dp_name, valve_number, valve_state);
    }
    if (dt_page == 1) {
        valve_number = selected + kDtValveOffset;
        dt_pump = 1;
        set_valve(dt_name, valve_number, valve_state);
    }
    close_dialog();
    s.write_back();
}

void cancel_duration() {
    Script s;
    auto& hours = s.u8("dtmain.TimeHour");
    auto& minutes = s.u8("dtmain.TimeMinute");
    auto& seconds = s.u8("dtmain.TimeSecond");
    rtdb_param_mem_to_rtdb();
    close_dialog();
    hours = 0;
    minutes = 0;
    seconds = 0;
    s.write_back();  // compared with the fields as they were at entry, not after the restore
}

void hide_duration_dialog() {
    hmi_window_hide(kDialog);
}

}  // namespace hmi::sequencer
