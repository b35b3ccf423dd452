// The home window "main": its screen saver, the picture windows of the slideshow,
// the idle-time setting window and the menu that opens every screen.
#pragma once

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

}  // namespace hmi::home
