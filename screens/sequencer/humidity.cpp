// The humidity texts of window "12" take input only while the simulation runs.
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "screens/sequencer/sequencer.hpp"

namespace hmi::sequencer {
namespace {

// 请输入湿度值(0%～100%) (enter the humidity, 0% to 100%)
constexpr char kEnterHumidity[] =
    "\xc7\xeb\xca\xe4\xc8\xeb\xca\xaa\xb6\xc8\xd6\xb5(0%\xa1\xab"
    "100%)";

void enter_humidity(const char* tag) {
    Script s;
    auto& simulating = s.u8("dtmain.RUN_SIM");  // only read: the dialog stores the value
    if (simulating != 0) data_input_window(tag, kEnterHumidity, 0.0, 100.0, 1);
}

}  // namespace

void enter_humidity_ii203() {
    enter_humidity("dtmain.II203");
}

void enter_humidity_ii201() {
    enter_humidity("dtmain.II201");
}

}  // namespace hmi::sequencer
