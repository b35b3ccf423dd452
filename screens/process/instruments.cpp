// Window "16": the countdown, the input dialogs and the way back home.
#include "screens/process/instruments.hpp"

#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "plugin/windows.hpp"

namespace hmi::instruments {
namespace {

constexpr char kEnterCurrent[] = "\xc7\xeb\xca\xe4\xc8\xeb\xb5\xe7\xc1\xf7";      // 请输入电流
constexpr char kEnterTemperature[] = "\xc7\xeb\xca\xe4\xc8\xeb\xce\xc2\xb6\xc8";  // 请输入温度
constexpr char kEnterOilPressure[] = "\xc7\xeb\xca\xe4\xc8\xeb\xd3\xcd\xd1\xb9";  // 请输入油压

// The dialog of each value. The host takes a name without its group for the
// instrument tag of group `global` that the value's text shows.
struct Dialog {
    const char* tag;
    const char* prompt;
    double minimum;
    double maximum;
};
constexpr Dialog kDialogs[] = {
    /* I6 */ {"I6", kEnterCurrent, 0.0, 100.0},
    /* c2 */ {"c2", kEnterTemperature, 0.0, 100.0},
    /* p1 */ {"p1", kEnterOilPressure, 0.0, 100.0},
    /* I5 */ {"I5", kEnterCurrent, 0.0, 600.0},
    /* I4 */ {"I4", kEnterCurrent, 0.0, 100.0},
    /* I3 */ {"I3", kEnterCurrent, 0.0, 300.0},
    /* I2 */ {"I2", kEnterCurrent, 0.0, 100.0},
    /* c3 */ {"c3", kEnterTemperature, 0.0, 100.0},
};

constexpr int16_t kCountFrom = 90;

}  // namespace

void open_window() {
    set_flag("main.can4", 1);
}  // runs the timer

// 90, 89, ..., 3, 2, then 90 again: the value never rests at 1 or below.
void count_down() {
    Script s;
    auto& count = s.i16("global.m1");
    count = static_cast<int16_t>(static_cast<uint16_t>(count) - 1u);
    if (count <= 1) count = kCountFrom;
    s.write_back();
}

void home() {
    Script s;
    auto& open = s.u8("main.can4");
    open = 0;
    hmi_window_show("main");
    hide_all({"pic1", "pic2", "pic3", "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11",
              "12",   "13",   "14",   "15", "16", "18", "17", "19", "20", "21", "22", "23"});
    s.write_back();  // the timer stops only once the windows are gone
}

void inert_label() {}

template <Value V>
void enter_value() {
    const Dialog& d = kDialogs[static_cast<int>(V)];
    data_input_window(d.tag, d.prompt, d.minimum, d.maximum, 1);
}
template void enter_value<Value::I6>();
template void enter_value<Value::c2>();
template void enter_value<Value::p1>();
template void enter_value<Value::I5>();
template void enter_value<Value::I4>();
template void enter_value<Value::I3>();
template void enter_value<Value::I2>();
template void enter_value<Value::c3>();

}  // namespace hmi::instruments
