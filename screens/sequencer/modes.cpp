// The operator's controls of window "12": the mode buttons, the home button, the
// shut-down button and the two main pump symbols with their interlock.
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "plugin/windows.hpp"
#include "screens/panel.hpp"
#include "screens/sequencer/sequencer.hpp"

namespace hmi::sequencer {
namespace {

constexpr int kQuestion = 290;  // message box style with a confirm answer

// 自动模式正在运行，确信切换到手动模式吗？ (automatic mode is running; sure to switch
// to manual mode?)
constexpr char kSwitchToManual[] =
    "\xd7\xd4\xb6\xaf\xc4\xa3\xca\xbd\xd5\xfd\xd4\xda\xd4\xcb\xd0\xd0\xa3\xac\xc8\xb7\xd0\xc5"
    "\xc7\xd0\xbb\xbb\xb5\xbd\xca\xd6\xb6\xaf\xc4\xa3\xca\xbd\xc2\xf0\xa3\xbf";
constexpr char kWarning[] = "Warning";
// The question mark is the full-width one, U+FF1F.
constexpr char kShutDownAll[] = "Are you sure shut down all the valves and pumps\xa3\xbf";

using Flags = uint8_t*;

template <size_t N>
void read_all(Script& s, const char* const (&tags)[N], Flags (&locals)[N]) {
    for (size_t i = 0; i < N; ++i) locals[i] = &s.u8(tags[i]);
}

template <size_t N>
void clear_all(Flags (&locals)[N]) {
    for (Flags local : locals) *local = 0;
}

// The pump symbols: in manual mode the symbol toggles its pump; in every mode, with
// both main pumps off, the whole line closes.
void toggle_pump(const char* toggled_tag, const char* other_tag) {
    Script s;
    auto& manual = s.u8("dtmain.DP_MANUAL");
    auto& toggled = s.u8(toggled_tag);
    auto& other = s.u8(other_tag);
    Flags valves[22];
    read_all(s, kDpValves, valves);
    Flags further_pumps[4];
    read_all(s, kFurtherPumps, further_pumps);

    if (manual != 0) toggled = negated(toggled);  // any value but 0 switches off
    if (toggled == 0 && other == 0) {
        clear_all(valves);
        clear_all(further_pumps);
    }
    s.write_back();
}

}  // namespace

void select_automatic() {
    Script s;
    auto& automatic = s.u8("dtmain.DP_AUTO");
    auto& manual = s.u8("dtmain.DP_MANUAL");
    auto& stepping = s.u8("dtmain.DP_STEP");
    automatic = 1;
    manual = 0;
    stepping = 0;
    s.write_back();
}

void select_manual() {
    Script s;
    auto& automatic = s.u8("dtmain.DP_AUTO");
    auto& manual = s.u8("dtmain.DP_MANUAL");
    auto& stepping = s.u8("dtmain.DP_STEP");
    // Asked in every mode, also when manual mode is already on.
    if (msgbox(kNotice, kSwitchToManual, kQuestion) == kYes) {
        stepping = 0;
        manual = 1;
        automatic = 0;
    }
    s.write_back();
}

void go_home() {
    Script s;
    auto& dt_auto = s.u8("dtmain.DT_AUTO");
    auto& dp_auto = s.u8("dtmain.DP_AUTO");
    hmi_window_show("main");
    dp_auto = 0;
    dt_auto = 0;
    hide_all({"pic1", "pic2", "pic3", "water", "4",  "5",  "6",  "7",  "8",  "9",  "10", "11",
              "12",   "13",   "14",   "15",    "16", "17", "18", "19", "20", "21", "22", "23"});
    s.write_back();
}

void shut_down_line() {
    Script s;
    Flags valves[22];
    read_all(s, kDpValves, valves);
    Flags pumps[6] = {&s.u8("dtmain.HM201"), &s.u8("dtmain.HM202")};
    for (size_t i = 0; i < 4; ++i) pumps[2 + i] = &s.u8(kFurtherPumps[i]);

    if (msgbox(kWarning, kShutDownAll, kQuestion) == kYes) {
        clear_all(valves);
        clear_all(pumps);
    }
    hmi_window_show("dpmain");  // whatever the answer
    s.write_back();
}

void toggle_hm201() {
    toggle_pump("dtmain.HM201", "dtmain.HM202");
}

void toggle_hm202() {
    toggle_pump("dtmain.HM202", "dtmain.HM201");
}

}  // namespace hmi::sequencer
