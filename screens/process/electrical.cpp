// Window "17": the simulation step, its start and stop buttons, and the way home.
#include "screens/process/electrical.hpp"

#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "plugin/windows.hpp"

namespace hmi::electrical {
namespace {

// One value's climb: the step is added in double precision and the sum rounded to
// a float; a sum above the limit starts again at the restart value.
void climb(float& value, double step, double limit, float restart) {
    value = static_cast<float>(value + step);
    if (value > limit) value = restart;
}

}  // namespace

void simulation_step() {
    Script s;
    auto& running = s.u8("electric.electric_b_0");
    auto& value1 = s.f32("electric.electric1");
    auto& value2 = s.f32("electric.electric2");
    auto& value3 = s.f32("electric.electric3");
    auto& value4 = s.f32("electric.electric4");
    auto& above_70 = s.u8("electric.electric_b_5");
    auto& from_50_to_60 = s.u8("electric.electric_b_6");
    auto& below_30 = s.u8("electric.electric_b_7");
    auto& comm1 = s.u8("electric.comm1");
    auto& comm2 = s.u8("electric.comm2");

    if (running != 0) {
        climb(value1, 1.062, 70.0, 10.0f);
        climb(value2, 2.036, 80.0, 10.0f);
        climb(value3, 3.032, 70.0, 20.0f);
        climb(value4, 4.033, 90.0, 20.0f);

        // The lamps follow the second value; every bound is strict.
        above_70 = value2 > 70.0f;
        from_50_to_60 = value2 > 50.0f && value2 < 60.0f;
        below_30 = value2 > 0.0f && value2 < 30.0f;

        comm1 = above_70 == 1;
        comm2 = above_70 != 1 && from_50_to_60 == 1;
    }
    s.write_back();
}

void start() {
    set_flag("electric.electric_b_0", 1);
}

void stop() {
    set_flag("electric.electric_b_0", 0);
}

void home() {
    Script s;
    auto& running = s.u8("electric.electric_b_0");
    auto& value1 = s.f32("electric.electric1");
    auto& value2 = s.f32("electric.electric2");
    auto& value3 = s.f32("electric.electric3");
    auto& value4 = s.f32("electric.electric4");
    running = 0;
    value1 = 1.0f;
    value2 = 2.0f;
    value3 = 3.0f;
    value4 = 4.0f;
    hmi_window_show("main");
    hide_all({"water", "3", "6", "8", "9", "11", "12", "13", "15", "16", "17", "18", "20"});
    s.write_back();
}

template <int Picture>
void inert_picture() {}
template void inert_picture<37>();
template void inert_picture<21>();
template void inert_picture<24>();
template void inert_picture<30>();

}  // namespace hmi::electrical
