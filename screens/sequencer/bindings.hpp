// The property rows of window "12" and of the duration dialog (window "15"): each DP
// valve from HV201 to HV220 colours its duration rectangle and two gradient
// rectangles, the main pumps their ellipses, the two mode lamps follow the mode
// flags, the humidity texts and the dialog's edit fields show their values, and the
// timer runs while either line's page is open.
#pragma once

#include "plugin/bind.hpp"

namespace hmi::sequencer {

inline constexpr Colour kValveBlue = 0x0467FB;  // open valve, running pump

inline constexpr Row window12_props[] = {
    bind<"12_timer11_enable", flag_either<"dtmain.dp_web_flag", "dtmain.dt_web_flag">>,
    bind<"12_ellipse6_fillcolor", colour<"dtmain.DP_MANUAL", kRed, kGreen>>,
    bind<"12_ellipse3_fillcolor", colour<"dtmain.DP_AUTO", kRed, kGreen>>,
    bind<"12_ellipse32_fillcolor", colour<"dtmain.HM202", kWhite, kValveBlue>>,
    bind<"12_rectangle29_fillcolor", colour<"dtmain.HV218", kWhite, kValveBlue>>,
    bind<"12_gradrectangle28_startcolor", colour<"dtmain.HV218", kWhite, kValveBlue>>,
    bind<"12_gradrectangle27_startcolor", colour<"dtmain.HV218", kWhite, kValveBlue>>,
    bind<"12_rectangle22_fillcolor", colour<"dtmain.HV220", kWhite, kValveBlue>>,
    bind<"12_rectangle21_fillcolor", colour<"dtmain.HV219", kWhite, kValveBlue>>,
    bind<"12_gradrectangle11_startcolor", colour<"dtmain.HV220", kWhite, kValveBlue>>,
    bind<"12_gradrectangle10_startcolor", colour<"dtmain.HV220", kWhite, kValveBlue>>,
    bind<"12_gradrectangle9_startcolor", colour<"dtmain.HV219", kWhite, kValveBlue>>,
    bind<"12_gradrectangle8_startcolor", colour<"dtmain.HV219", kWhite, kValveBlue>>,
    bind<"12_gradrectangle7_startcolor",
         colour_either<"dtmain.HM201", "dtmain.HM202", kWhite, kValveBlue>>,
    bind<"12_text158_text", text_of_percent<"dtmain.II203">>,
    bind<"12_text157_text", text_of_percent<"dtmain.II201">>,
    bind<"12_rectangle149_fillcolor", colour<"dtmain.HV216", kWhite, kValveBlue>>,
    bind<"12_rectangle147_fillcolor", colour<"dtmain.HV217", kWhite, kValveBlue>>,
    bind<"12_ellipse146_fillcolor", colour<"dtmain.HM201", kWhite, kValveBlue>>,
    bind<"12_rectangle145_fillcolor", colour<"dtmain.HV215", kWhite, kValveBlue>>,
    bind<"12_rectangle144_fillcolor", colour<"dtmain.HV214", kWhite, kValveBlue>>,
    bind<"12_rectangle143_fillcolor", colour<"dtmain.HV213", kWhite, kValveBlue>>,
    bind<"12_rectangle142_fillcolor", colour<"dtmain.HV210", kWhite, kValveBlue>>,
    bind<"12_rectangle141_fillcolor", colour<"dtmain.HV211", kWhite, kValveBlue>>,
    bind<"12_rectangle140_fillcolor", colour<"dtmain.HV212", kWhite, kValveBlue>>,
    bind<"12_rectangle139_fillcolor", colour<"dtmain.HV209", kWhite, kValveBlue>>,
    bind<"12_rectangle138_fillcolor", colour<"dtmain.HV208", kWhite, kValveBlue>>,
    bind<"12_rectangle137_fillcolor", colour<"dtmain.HV207", kWhite, kValveBlue>>,
    bind<"12_rectangle136_fillcolor", colour<"dtmain.HV206", kWhite, kValveBlue>>,
    bind<"12_rectangle135_fillcolor", colour<"dtmain.HV205", kWhite, kValveBlue>>,
    bind<"12_rectangle134_fillcolor", colour<"dtmain.HV204", kWhite, kValveBlue>>,
    bind<"12_rectangle133_fillcolor", colour<"dtmain.HV203", kWhite, kValveBlue>>,
    bind<"12_gradrectangle132_startcolor", colour<"dtmain.HV201", kWhite, kValveBlue>>,
    bind<"12_gradrectangle131_startcolor", colour<"dtmain.HV201", kWhite, kValveBlue>>,
    bind<"12_rectangle130_fillcolor", colour<"dtmain.HV201", kWhite, kValveBlue>>,
    bind<"12_rectangle128_fillcolor", colour<"dtmain.HV202", kWhite, kValveBlue>>,
    bind<"12_gradrectangle127_startcolor", colour<"dtmain.HV215", kWhite, kValveBlue>>,
    bind<"12_gradrectangle126_startcolor", colour<"dtmain.HV215", kWhite, kValveBlue>>,
    bind<"12_gradrectangle125_startcolor", colour<"dtmain.HV214", kWhite, kValveBlue>>,
    bind<"12_gradrectangle124_startcolor", colour<"dtmain.HV214", kWhite, kValveBlue>>,
    bind<"12_gradrectangle123_startcolor", colour<"dtmain.HV213", kWhite, kValveBlue>>,
    bind<"12_gradrectangle122_startcolor", colour<"dtmain.HV213", kWhite, kValveBlue>>,
    bind<"12_gradrectangle119_startcolor", colour<"dtmain.HV217", kWhite, kValveBlue>>,
    bind<"12_gradrectangle118_startcolor", colour<"dtmain.HV217", kWhite, kValveBlue>>,
    bind<"12_gradrectangle117_startcolor", colour<"dtmain.HV216", kWhite, kValveBlue>>,
    bind<"12_gradrectangle116_startcolor", colour<"dtmain.HV216", kWhite, kValveBlue>>,
    bind<"12_gradrectangle115_startcolor", colour<"dtmain.HV212", kWhite, kValveBlue>>,
    bind<"12_gradrectangle114_startcolor", colour<"dtmain.HV212", kWhite, kValveBlue>>,
    bind<"12_gradrectangle113_startcolor", colour<"dtmain.HV211", kWhite, kValveBlue>>,
    bind<"12_gradrectangle112_startcolor", colour<"dtmain.HV211", kWhite, kValveBlue>>,
    bind<"12_gradrectangle111_startcolor", colour<"dtmain.HV210", kWhite, kValveBlue>>,
    bind<"12_gradrectangle110_startcolor", colour<"dtmain.HV210", kWhite, kValveBlue>>,
    bind<"12_gradrectangle108_startcolor", colour<"dtmain.HV209", kWhite, kValveBlue>>,
    bind<"12_gradrectangle107_startcolor", colour<"dtmain.HV209", kWhite, kValveBlue>>,
    bind<"12_gradrectangle106_startcolor", colour<"dtmain.HV208", kWhite, kValveBlue>>,
    bind<"12_gradrectangle105_startcolor", colour<"dtmain.HV208", kWhite, kValveBlue>>,
    bind<"12_gradrectangle104_startcolor", colour<"dtmain.HV207", kWhite, kValveBlue>>,
    bind<"12_gradrectangle103_startcolor", colour<"dtmain.HV207", kWhite, kValveBlue>>,
    bind<"12_gradrectangle101_startcolor",
         colour_either<"dtmain.HM201", "dtmain.HM202", kWhite, kValveBlue>>,
    bind<"12_gradrectangle100_startcolor", colour<"dtmain.HV206", kWhite, kValveBlue>>,
    bind<"12_gradrectangle99_startcolor", colour<"dtmain.HV206", kWhite, kValveBlue>>,
    bind<"12_gradrectangle98_startcolor", colour<"dtmain.HV205", kWhite, kValveBlue>>,
    bind<"12_gradrectangle97_startcolor", colour<"dtmain.HV205", kWhite, kValveBlue>>,
    bind<"12_gradrectangle96_startcolor", colour<"dtmain.HV204", kWhite, kValveBlue>>,
    bind<"12_gradrectangle95_startcolor", colour<"dtmain.HV204", kWhite, kValveBlue>>,
    bind<"12_gradrectangle94_startcolor", colour<"dtmain.HV203", kWhite, kValveBlue>>,
    bind<"12_gradrectangle93_startcolor", colour<"dtmain.HV203", kWhite, kValveBlue>>,
    bind<"12_gradrectangle92_startcolor", colour<"dtmain.HV202", kWhite, kValveBlue>>,
    bind<"12_gradrectangle91_startcolor", colour<"dtmain.HV202", kWhite, kValveBlue>>,
};

inline constexpr Row window15_props[] = {
    bind<"15_text7_text", text_of_long<"dtmain.TimeSecond", Int::U8>>,
    bind<"15_text4_text", text_of_long<"dtmain.TimeMinute", Int::U8>>,
    bind<"15_text2_text", text_of_long<"dtmain.TimeHour", Int::U8>>,
};

}  // namespace hmi::sequencer
