// Window "11", the relay panel of group `chief`: two level gauges, the relays KA16
// to KA19 that the automatic level sequence switches, and six relays that the screen
// only displays.
#pragma once

namespace hmi::relays {

void toggle_auto();
void level_tick();
void go_home();
void open_system_settings();
void take_alarms();

}  // namespace hmi::relays
