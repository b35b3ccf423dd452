// The automatic tick of window "12": each line whose automatic flag and page flag are
// both 1 opens its next valve, one valve a tick; after its last valve the whole line
// is closed at once and the walk starts again. The valves opened so far stay open.
#include "plugin/script.hpp"
#include "screens/sequencer/sequencer.hpp"

namespace hmi::sequencer {
namespace {

struct Line {
    int none;  // counter value for "no valve opened yet", also the first name closed
    int last;  // number of the line's last valve
};
constexpr Line kDp{200, 222};
constexpr Line kDt{100, 110};

// One step of a line: its pump runs, the other line's automatic mode ends.
void step(const Line& line, uint8_t& counter, uint8_t& pump, uint8_t& other_auto, ValveName& name) {
    counter += 1;  // a byte: 255 wraps to 0, and only the test below ever resets it
    other_auto = 0;
    pump = 1;
    set_valve(name, counter, 1);
    if (counter > line.last) {
        for (int number = line.none; number <= line.last; ++number) set_valve(name, number, 0);
        counter = line.none;
    }
}

void show_page(uint8_t open) {
    Script s;
    auto& dp_page = s.u8("dtmain.dp_web_flag");
    auto& page_shown = s.u8("main.can3");
    page_shown = open;
    dp_page = open;
    s.write_back();
}

}  // namespace

void step_sequences() {
    Script s;
    auto& dp_page = s.u8("dtmain.dp_web_flag");
    auto& dp_auto = s.u8("dtmain.DP_AUTO");
    auto& dt_auto = s.u8("dtmain.DT_AUTO");
    auto& dp_pump = s.u8("dtmain.HM201");
    auto& dp_valve = s.u8("dtmain.num");
    auto& dt_page = s.u8("dtmain.dt_web_flag");
    auto& dt_pump = s.u8("dtmain.HM101");
    auto& dt_valve = s.u8("dtmain.num2");
    static ValveName dp_name;
    static ValveName dt_name;

    if (dp_page == 1 && dp_auto == 1) step(kDp, dp_valve, dp_pump, dt_auto, dp_name);
    // A DP step has just cleared DT_AUTO: the lines never both step in one tick.
    if (dt_page == 1 && dt_auto == 1) step(kDt, dt_valve, dt_pump, dp_auto, dt_name);
    s.write_back();  // the valves above reach the host before the counters and pumps
}

void open_page() {
    show_page(1);
}

void close_page() {
    show_page(0);
}

}  // namespace hmi::sequencer
