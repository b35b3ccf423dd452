// Window "11", the relay panel of group `chief`: two level gauges, the relays KA16
// to KA19 that the automatic level sequence switches, and six relays that the screen
// only displays.
#pragma once

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

namespace hmi::relays {

void toggle_auto();
void level_tick();
void go_home();
void open_system_settings();
void take_alarms();

inline constexpr Row events[] = {
    on("11_ellipse403_click", toggle_auto), on("11_timer399_timer", level_tick),
    on("11_picture311_click", go_home),     on("11_picture310_click", open_system_settings),
    on("11_window_open", take_alarms),
};

inline constexpr Row props[] = {
    bind<"11_light1375_fillcolor1", colour<"chief.KA02", kGrey, kRed>>,
    bind<"11_text370_text", text_of_float<"chief.wy_right", 2, 1>>,
    bind<"11_text369_text", text_of_float<"chief.wy_left", 2, 1>>,
    bind<"11_ellipse366_flash", flag_is_1<"chief.KA08">>,
    bind<"11_ellipse366_fillcolor", colour<"chief.KA08", kWhite, kGreen>>,
    bind<"11_ellipse365_flash", flag_is_1<"chief.KA07">>,
    bind<"11_ellipse365_fillcolor", colour<"chief.KA07", kWhite, kGreen>>,
    bind<"11_ellipse364_flash", flag_is_1<"chief.KA06">>,
    bind<"11_ellipse364_fillcolor", colour<"chief.KA06", kWhite, kGreen>>,
    bind<"11_ellipse363_flash", flag<"chief.KA05">>,  // the byte itself, unlike its neighbours
    bind<"11_ellipse363_fillcolor", colour<"chief.KA05", kWhite, kGreen>>,
    bind<"11_rectangle362_flash", flag_is_1<"chief.KA19">>,
    bind<"11_rectangle362_fillcolor", colour<"chief.KA19", kBlack, kRed>>,
    bind<"11_rectangle361_flash", flag_is_1<"chief.KA17">>,
    bind<"11_rectangle361_fillcolor", colour<"chief.KA17", kBlack, kRed>>,
    bind<"11_rectangle360_flash", flag_is_1<"chief.KA16">>,
    bind<"11_rectangle360_fillcolor", colour<"chief.KA16", kBlack, kRed>>,
    bind<"11_rectangle359_flash", flag_is_1<"chief.KA18">>,
    bind<"11_rectangle359_fillcolor", colour<"chief.KA18", kBlack, kRed>>,
    bind<"11_motor1344_flash", flag_is_1<"chief.KA01">>,
    bind<"11_motor1344_color", colour<"chief.KA01", kWhite, kGreen>>,
    bind<"11_lineflowpipe1341_flowstate", word<"chief.KA01">>,
    bind<"11_motor1338_color", colour<"chief.KA01", kWhite, kGreen>>,
    bind<"11_scale336_value", real<"chief.wy_right">>,
    bind<"11_scale335_value", real<"chief.wy_left">>,
    bind<"11_lineflowpipe1329_flowstate", word<"chief.KA02">>,
    bind<"11_motor2319_flash", flag_is_1<"chief.KA02">>,
    bind<"11_motor2319_color", colour<"chief.KA02", kWhite, kGreen>>,
};

}  // namespace hmi::relays
