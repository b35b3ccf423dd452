// The relay panel: the automatic level sequence, its mode button, the window's
// opening and its two picture buttons.
#include "screens/process/relays.hpp"

#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"

namespace hmi::relays {

// One step of the level sequence: the left level rises and the right one falls by a
// fixed step (in double precision, kept as single); each switches its relays at 60
// and 80, and once the right level would reach 0 both start over.
void level_tick() {
    Script s;
    auto& auto_mode = s.u8("chief.chief_auto");
    auto& left = s.f32("chief.wy_left");
    auto& right = s.f32("chief.wy_right");
    auto& ka17 = s.u8("chief.KA17");
    auto& ka16 = s.u8("chief.KA16");
    auto& ka18 = s.u8("chief.KA18");
    auto& ka19 = s.u8("chief.KA19");

    if (auto_mode != 1) return;  // stopped: nothing changes

    float new_left = static_cast<float>(static_cast<double>(left) + 1.3);
    float new_right = static_cast<float>(static_cast<double>(right) - 2.1);
    left = new_left;

    if (new_left <= 60.0f) {
        ka17 = 1;
    } else if (new_left >= 80.0f) {
        ka17 = 0;
        ka16 = 1;
    }
    if (new_right >= 80.0f) {
        ka18 = 1;
    } else if (new_right <= 60.0f) {
        ka18 = 0;
        ka19 = 1;
    }

    if (new_right > 0.0f) {
        right = new_right;
    } else {
        left = 10.0f;
        right = 80.0f;
        ka16 = 0;
        ka19 = 0;
    }
    s.write_back();
}

void toggle_auto() {
    toggle_flag("chief.chief_auto");
}

// This screen takes the alarm from the motion screen, which takes it back when it opens.
void take_alarms() {
    Script s;
    auto& alarm_right = s.u8("project_water.alarm_right");
    auto& allow_alarm = s.u8("kelvor.allow_alarm");
    allow_alarm = 0;
    alarm_right = 1;
    s.write_back();
}

void go_home() {
    hmi_window_show("main");
    hmi_window_hide("11");
}

void open_system_settings() {
    hmi_window_show("hmi_sys_set_wnd");
}

}  // namespace hmi::relays
