// The handler and property rows of window "11".
#pragma once

#include "screens/process/relays.hpp"
#include "screens/rows.hpp"

namespace hmi::relays {

constexpr Row window_11_events[] = {
    on("11_ellipse403_click", toggle_auto), on("11_timer399_timer", level_tick),
    on("11_picture311_click", go_home),     on("11_picture310_click", open_system_settings),
    on("11_window_open", take_alarms),
};

constexpr Row window_11_properties[] = {
    bind<"11_light1375_fillcolor1", colour_by_flag<"chief.KA02", kGrey, kRed>>,
    bind<"11_text370_text", text_of_decimal<"chief.wy_right", 2, 1>>,
    bind<"11_text369_text", text_of_decimal<"chief.wy_left", 2, 1>>,
    bind<"11_ellipse366_flash", flag_is_1<"chief.KA08">>,
    bind<"11_ellipse366_fillcolor", colour_by_flag<"chief.KA08", kWhite, kGreen>>,
    bind<"11_ellipse365_flash", flag_is_1<"chief.KA07">>,
    bind<"11_ellipse365_fillcolor", colour_by_flag<"chief.KA07", kWhite, kGreen>>,
    bind<"11_ellipse364_flash", flag_is_1<"chief.KA06">>,
    bind<"11_ellipse364_fillcolor", colour_by_flag<"chief.KA06", kWhite, kGreen>>,
    bind<"11_ellipse363_flash", flag_copy<"chief.KA05">>,  // the byte itself, unlike its neighbours
    bind<"11_ellipse363_fillcolor", colour_by_flag<"chief.KA05", kWhite, kGreen>>,
    bind<"11_rectangle362_flash", flag_is_1<"chief.KA19">>,
    bind<"11_rectangle362_fillcolor", colour_by_flag<"chief.KA19", kBlack, kRed>>,
    bind<"11_rectangle361_flash", flag_is_1<"chief.KA17">>,
    bind<"11_rectangle361_fillcolor", colour_by_flag<"chief.KA17", kBlack, kRed>>,
    bind<"11_rectangle360_flash", flag_is_1<"chief.KA16">>,
    bind<"11_rectangle360_fillcolor", colour_by_flag<"chief.KA16", kBlack, kRed>>,
    bind<"11_rectangle359_flash", flag_is_1<"chief.KA18">>,
    bind<"11_rectangle359_fillcolor", colour_by_flag<"chief.KA18", kBlack, kRed>>,
    bind<"11_motor1344_flash", flag_is_1<"chief.KA01">>,
    bind<"11_motor1344_color", colour_by_flag<"chief.KA01", kWhite, kGreen>>,
    bind<"11_lineflowpipe1341_flowstate", state_copy<"chief.KA01">>,
    bind<"11_motor1338_color", colour_by_flag<"chief.KA01", kWhite, kGreen>>,
    bind<"11_scale336_value", value_copy<"chief.wy_right">>,
    bind<"11_scale335_value", value_copy<"chief.wy_left">>,
    bind<"11_lineflowpipe1329_flowstate", state_copy<"chief.KA02">>,
    bind<"11_motor2319_flash", flag_is_1<"chief.KA02">>,
    bind<"11_motor2319_color", colour_by_flag<"chief.KA02", kWhite, kGreen>>,
};

}  // namespace hmi::relays
