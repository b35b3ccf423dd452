// The home window "main": its screen saver, the picture windows of the slideshow,
// the idle-time setting window and the menu that opens every screen.
#pragma once

#include "plugin/table.hpp"

namespace hmi::home {

// screen saver and slideshow
void screen_saver_tick();
void open_time_setting();
template <int Picture>
void end_slideshow();
template <unsigned Ticks>
void set_idle_time();
void close_time_setting();

// menu
void open_motion();
void open_sequencer();
void open_relays();
void open_electrical();
void open_instruments();
void open_water_picture();
void open_dish();
void open_history();
void open_animation();
void open_equipment();
void open_water_page();

inline constexpr Row main_events[] = {
    on("main_picture3_click", open_time_setting), on("main_timer1_timer", screen_saver_tick),
    on("main_bmptext21_click", open_motion),      on("main_bmptext20_click", open_sequencer),
    on("main_bmptext19_click", open_relays),      on("main_bmptext18_click", open_electrical),
    on("main_bmptext16_click", open_instruments), on("main_picture13_click", open_water_picture),
    on("main_picture12_click", open_dish),        on("main_picture11_click", open_history),
    on("main_picture9_click", open_animation),    on("main_picture6_click", open_equipment),
    on("main_picture2_click", open_water_page),
};

inline constexpr Row pic1_events[] = {on("pic1_picture1_click", end_slideshow<1>)};
inline constexpr Row pic2_events[] = {on("pic2_picture1_click", end_slideshow<2>)};
inline constexpr Row pic3_events[] = {on("pic3_picture1_click", end_slideshow<3>)};

inline constexpr Row time_setting_events[] = {
    on("TimeSetting_rectangle1_click", set_idle_time<2>),
    on("TimeSetting_rectangle3_click", set_idle_time<5>),
    on("TimeSetting_rectangle4_click", set_idle_time<10>),
    on("TimeSetting_rectangle5_click", set_idle_time<20>),
    on("TimeSetting_rectangle26_click", close_time_setting),
};

}  // namespace hmi::home
