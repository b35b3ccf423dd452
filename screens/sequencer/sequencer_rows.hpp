// The handler rows of window "12" and of the duration dialog (window "15"), and
// their property rows: each DP
// valve from HV201 to HV220 colours its duration rectangle and two gradient
// rectangles, the main pumps their ellipses, the two mode lamps follow the mode
// flags, the humidity texts and the dialog's edit fields show their values, and the
// timer runs while either line's page is open.
#pragma once

#include "screens/rows.hpp"
#include "screens/sequencer/sequencer.hpp"

namespace hmi::sequencer {

constexpr Row window_12_events[] = {
    on("12_timer11_timer", step_sequences),
    on("12_button7_click", shut_down_line),
    on("12_text5_click", select_manual),
    on("12_text2_click", select_automatic),
    on("12_picture2_click", go_home),
    on("12_ellipse32_click", toggle_hm202),
    on("12_rectangle29_click", edit_duration<18, kFieldsFirst>),
    on("12_rectangle22_click", edit_duration<20, kFieldsFirst>),
    on("12_rectangle21_click", edit_duration<19, kFieldsFirst>),
    on("12_text158_click", enter_humidity_ii203),
    on("12_text157_click", enter_humidity_ii201),
    on("12_rectangle149_click", edit_duration<16, kFieldsFirst>),
    on("12_rectangle147_click", edit_duration<17, kFieldsFirst>),
    on("12_ellipse146_click", toggle_hm201),
    on("12_rectangle145_click", edit_duration<15, kFieldsFirst>),
    on("12_rectangle144_click", edit_duration<14, kFieldsFirst>),
    on("12_rectangle143_click", edit_duration<13, kFieldsFirst>),
    on("12_rectangle142_click", edit_duration<10, kFieldsFirst>),
    on("12_rectangle141_click", edit_duration<11, kFieldsFirst>),
    on("12_rectangle140_click", edit_duration<12, kFieldsFirst>),
    on("12_rectangle139_click", edit_duration<9, kFieldsFirst>),
    on("12_rectangle138_click", edit_duration<8, kFieldsFirst>),
    on("12_rectangle137_click", edit_duration<7, kFieldsFirst>),
    on("12_rectangle136_click", edit_duration<6, kFieldsFirst>),
    on("12_rectangle135_click", edit_duration<5, kFieldsFirst>),
    on("12_rectangle134_click", edit_duration<4, kIndexFirst>),
    on("12_rectangle133_click", edit_duration<3, kIndexFirst>),
    on("12_rectangle130_click", edit_duration<1, kIndexFirst>),
    on("12_rectangle128_click", edit_duration<2, kIndexFirst>),
    on("12_window_open", open_page),
    on("12_window_close", close_page),
};

constexpr Row window_15_events[] = {
    on("15_button20_click", cancel_duration),    on("15_button8_click", confirm_duration),
    on("15_text7_click", enter_seconds),         on("15_text4_click", enter_minutes),
    on("15_text2_click", enter_hours),           on("15_window_open", read_selected_valve),
    on("15_window_close", hide_duration_dialog),
};

constexpr Colour kValveBlue = 0x0467FB;  // open valve, running pump

constexpr Row window_12_properties[] = {
    bind<"12_timer11_enable", flag_either<"dtmain.dp_web_flag", "dtmain.dt_web_flag">>,
    bind<"12_ellipse6_fillcolor", colour_by_flag<"dtmain.DP_MANUAL", kRed, kGreen>>,
    bind<"12_ellipse3_fillcolor", colour_by_flag<"dtmain.DP_AUTO", kRed, kGreen>>,
    bind<"12_ellipse32_fillcolor", colour_by_flag<"dtmain.HM202", kWhite, kValveBlue>>,
    bind<"12_rectangle29_fillcolor", colour_by_flag<"dtmain.HV218", kWhite, kValveBlue>>,
    bind<"12_gradrectangle28_startcolor", colour_by_flag<"dtmain.HV218", kWhite, kValveBlue>>,
    bind<"12_gradrectangle27_startcolor", colour_by_flag<"dtmain.HV218", kWhite, kValveBlue>>,
    bind<"12_rectangle22_fillcolor", colour_by_flag<"dtmain.HV220", kWhite, kValveBlue>>,
    bind<"12_rectangle21_fillcolor", colour_by_flag<"dtmain.HV219", kWhite, kValveBlue>>,
    bind<"12_gradrectangle11_startcolor", colour_by_flag<"dtmain.HV220", kWhite, kValveBlue>>,
    bind<"12_gradrectangle10_startcolor", colour_by_flag<"dtmain.HV220", kWhite, kValveBlue>>,
    bind<"12_gradrectangle9_startcolor", colour_by_flag<"dtmain.HV219", kWhite, kValveBlue>>,
    bind<"12_gradrectangle8_startcolor", colour_by_flag<"dtmain.HV219", kWhite, kValveBlue>>,
    bind<"12_gradrectangle7_startcolor",
         colour_by_either<"dtmain.HM201", "dtmain.HM202", kWhite, kValveBlue>>,
    bind<"12_text158_text", text_of_percent<"dtmain.II203">>,
    bind<"12_text157_text", text_of_percent<"dtmain.II201">>,
    bind<"12_rectangle149_fillcolor", colour_by_flag<"dtmain.HV216", kWhite, kValveBlue>>,
    bind<"12_rectangle147_fillcolor", colour_by_flag<"dtmain.HV217", kWhite, kValveBlue>>,
    bind<"12_ellipse146_fillcolor", colour_by_flag<"dtmain.HM201", kWhite, kValveBlue>>,
    bind<"12_rectangle145_fillcolor", colour_by_flag<"dtmain.HV215", kWhite, kValveBlue>>,
    bind<"12_rectangle144_fillcolor", colour_by_flag<"dtmain.HV214", kWhite, kValveBlue>>,
    bind<"12_rectangle143_fillcolor", colour_by_flag<"dtmain.HV213", kWhite, kValveBlue>>,
    bind<"12_rectangle142_fillcolor", colour_by_flag<"dtmain.HV210", kWhite, kValveBlue>>,
    bind<"12_rectangle141_fillcolor", colour_by_flag<"dtmain.HV211", kWhite, kValveBlue>>,
    bind<"12_rectangle140_fillcolor", colour_by_flag<"dtmain.HV212", kWhite, kValveBlue>>,
    bind<"12_rectangle139_fillcolor", colour_by_flag<"dtmain.HV209", kWhite, kValveBlue>>,
    bind<"12_rectangle138_fillcolor", colour_by_flag<"dtmain.HV208", kWhite, kValveBlue>>,
    bind<"12_rectangle137_fillcolor", colour_by_flag<"dtmain.HV207", kWhite, kValveBlue>>,
    bind<"12_rectangle136_fillcolor", colour_by_flag<"dtmain.HV206", kWhite, kValveBlue>>,
    bind<"12_rectangle135_fillcolor", colour_by_flag<"dtmain.HV205", kWhite, kValveBlue>>,
    bind<"12_rectangle134_fillcolor", colour_by_flag<"dtmain.HV204", kWhite, kValveBlue>>,
    bind<"12_rectangle133_fillcolor", colour_by_flag<"dtmain.HV203", kWhite, kValveBlue>>,
    bind<"12_gradrectangle132_startcolor", colour_by_flag<"dtmain.HV201", kWhite, kValveBlue>>,
    bind<"12_gradrectangle131_startcolor", colour_by_flag<"dtmain.HV201", kWhite, kValveBlue>>,
    bind<"12_rectangle130_fillcolor", colour_by_flag<"dtmain.HV201", kWhite, kValveBlue>>,
    bind<"12_rectangle128_fillcolor", colour_by_flag<"dtmain.HV202", kWhite, kValveBlue>>,
    bind<"12_gradrectangle127_startcolor", colour_by_flag<"dtmain.HV215", kWhite, kValveBlue>>,
    bind<"12_gradrectangle126_startcolor", colour_by_flag<"dtmain.HV215", kWhite, kValveBlue>>,
    bind<"12_gradrectangle125_startcolor", colour_by_flag<"dtmain.HV214", kWhite, kValveBlue>>,
    bind<"12_gradrectangle124_startcolor", colour_by_flag<"dtmain.HV214", kWhite, kValveBlue>>,
    bind<"12_gradrectangle123_startcolor", colour_by_flag<"dtmain.HV213", kWhite, kValveBlue>>,
    bind<"12_gradrectangle122_startcolor", colour_by_flag<"dtmain.HV213", kWhite, kValveBlue>>,
    bind<"12_gradrectangle119_startcolor", colour_by_flag<"dtmain.HV217", kWhite, kValveBlue>>,
    bind<"12_gradrectangle118_startcolor", colour_by_flag<"dtmain.HV217", kWhite, kValveBlue>>,
    bind<"12_gradrectangle117_startcolor", colour_by_flag<"dtmain.HV216", kWhite, kValveBlue>>,
    bind<"12_gradrectangle116_startcolor", colour_by_flag<"dtmain.HV216", kWhite, kValveBlue>>,
    bind<"12_gradrectangle115_startcolor", colour_by_flag<"dtmain.HV212", kWhite, kValveBlue>>,
    bind<"12_gradrectangle114_startcolor", colour_by_flag<"dtmain.HV212", kWhite, kValveBlue>>,
    bind<"12_gradrectangle113_startcolor", colour_by_flag<"dtmain.HV211", kWhite, kValveBlue>>,
    bind<"12_gradrectangle112_startcolor", colour_by_flag<"dtmain.HV211", kWhite, kValveBlue>>,
    bind<"12_gradrectangle111_startcolor", colour_by_flag<"dtmain.HV210", kWhite, kValveBlue>>,
    bind<"12_gradrectangle110_startcolor", colour_by_flag<"dtmain.HV210", kWhite, kValveBlue>>,
    bind<"12_gradrectangle108_startcolor", colour_by_flag<"dtmain.HV209", kWhite, kValveBlue>>,
    bind<"12_gradrectangle107_startcolor", colour_by_flag<"dtmain.HV209", kWhite, kValveBlue>>,
    bind<"12_gradrectangle106_startcolor", colour_by_flag<"dtmain.HV208", kWhite, kValveBlue>>,
    bind<"12_gradrectangle105_startcolor", colour_by_flag<"dtmain.HV208", kWhite, kValveBlue>>,
    bind<"12_gradrectangle104_startcolor", colour_by_flag<"dtmain.HV207", kWhite, kValveBlue>>,
    bind<"12_gradrectangle103_startcolor", colour_by_flag<"dtmain.HV207", kWhite, kValveBlue>>,
    bind<"12_gradrectangle101_startcolor",
         colour_by_either<"dtmain.HM201", "dtmain.HM202", kWhite, kValveBlue>>,
    bind<"12_gradrectangle100_startcolor", colour_by_flag<"dtmain.HV206", kWhite, kValveBlue>>,
    bind<"12_gradrectangle99_startcolor", colour_by_flag<"dtmain.HV206", kWhite, kValveBlue>>,
    bind<"12_gradrectangle98_startcolor", colour_by_flag<"dtmain.HV205", kWhite, kValveBlue>>,
    bind<"12_gradrectangle97_startcolor", colour_by_flag<"dtmain.HV205", kWhite, kValveBlue>>,
    bind<"12_gradrectangle96_startcolor", colour_by_flag<"dtmain.HV204", kWhite, kValveBlue>>,
    bind<"12_gradrectangle95_startcolor", colour_by_flag<"dtmain.HV204", kWhite, kValveBlue>>,
    bind<"12_gradrectangle94_startcolor", colour_by_flag<"dtmain.HV203", kWhite, kValveBlue>>,
    bind<"12_gradrectangle93_startcolor", colour_by_flag<"dtmain.HV203", kWhite, kValveBlue>>,
    bind<"12_gradrectangle92_startcolor", colour_by_flag<"dtmain.HV202", kWhite, kValveBlue>>,
    bind<"12_gradrectangle91_startcolor", colour_by_flag<"dtmain.HV202", kWhite, kValveBlue>>,
};

constexpr Row window_15_properties[] = {
    bind<"15_text7_text", text_of_integer<"dtmain.TimeSecond", Int::U8>>,
    bind<"15_text4_text", text_of_integer<"dtmain.TimeMinute", Int::U8>>,
    bind<"15_text2_text", text_of_integer<"dtmain.TimeHour", Int::U8>>,
};

}  // namespace hmi::sequencer
