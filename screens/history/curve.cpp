// The curve picture, the simulated samples and the way back to the home window.
#include <stdint.h>

#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "plugin/windows.hpp"
#include "screens/history/history.hpp"

namespace hmi::history {
namespace {

// One sawtooth step in 16-bit unsigned arithmetic: past the top it starts again low.
uint16_t sawtooth(uint16_t value, uint16_t step, uint16_t top, uint16_t restart) {
    uint16_t next = static_cast<uint16_t>(value + step);
    return next > top ? restart : next;
}

}  // namespace

void raise_curve_flag() {
    set_flag("curve.curve", 1);
}

void advance_samples() {
    Script s;
    auto& x = s.u16("curve.curvex");
    auto& y = s.u16("curve.curvey");
    auto& second = s.u16("curve.curve2");
    auto& third = s.u16("curve.curve3");
    x = sawtooth(x, 2, 70, 10);
    y = sawtooth(y, 3, 80, 10);
    second = sawtooth(second, 4, 70, 20);
    third = sawtooth(third, 5, 90, 20);
    s.write_back();
}

void back_home() {
    hmi_window_show("main");
    hide_all({"pic1", "pic2", "pic3", "water", "1",  "2",  "3",  "4",  "5",
              "6",    "7",    "8",    "9",     "10", "11", "12", "13", "14",
              "15",   "16",   "17",   "18",    "19", "20", "21", "22", "23"});
}

}  // namespace hmi::history
