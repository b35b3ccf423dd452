// The handler rows of the home window "main", the slideshow pictures and the
// idle-time setting window.
#pragma once

#include "screens/home/home.hpp"
#include "screens/rows.hpp"

namespace hmi::home {

constexpr Row window_main_events[] = {
    on("main_picture3_click", open_time_setting), on("main_timer1_timer", screen_saver_tick),
    on("main_bmptext21_click", open_motion),      on("main_bmptext20_click", open_sequencer),
    on("main_bmptext19_click", open_relays),      on("main_bmptext18_click", open_electrical),
    on("main_bmptext16_click", open_instruments), on("main_picture13_click", open_water_picture),
    on("main_picture12_click", open_dish),        on("main_picture11_click", open_history),
    on("main_picture9_click", open_animation),    on("main_picture6_click", open_equipment),
    on("main_picture2_click", open_water_page),
};

constexpr Row window_pic1_events[] = {on("pic1_picture1_click", end_slideshow<1>)};

constexpr Row window_pic2_events[] = {on("pic2_picture1_click", end_slideshow<2>)};

constexpr Row window_pic3_events[] = {on("pic3_picture1_click", end_slideshow<3>)};

constexpr Row window_TimeSetting_events[] = {
    on("TimeSetting_rectangle1_click", set_idle_time<2>),
    on("TimeSetting_rectangle3_click", set_idle_time<5>),
    on("TimeSetting_rectangle4_click", set_idle_time<10>),
    on("TimeSetting_rectangle5_click", set_idle_time<20>),
    on("TimeSetting_rectangle26_click", close_time_setting),
};

}  // namespace hmi::home
