#include "tests/motion/fixture.hpp"

#include <dlfcn.h>

namespace hmi::test {
namespace {

using Function = double (*)(double);
TrigRecord* recording = nullptr;

Function math(const char* name) {
    static Function sin_fn = reinterpret_cast<Function>(dlsym(RTLD_NEXT, "sin"));
    static Function cos_fn = reinterpret_cast<Function>(dlsym(RTLD_NEXT, "cos"));
    return name[0] == 's' ? sin_fn : cos_fn;
}

double recorded(char function, double x) {
    if (recording != nullptr && recording->count < 16) {
        recording->calls[recording->count++] = {function, x};
    }
    return function == 's' ? math("sin")(x) : math("cos")(x);
}

}  // namespace

void record_trig(TrigRecord* record) {
    math("sin");  // resolved before any handler runs: dlsym may allocate
    if (record != nullptr) record->count = 0;
    recording = record;
}
double math_sin(double x) {
    return math("sin")(x);
}
double math_cos(double x) {
    return math("cos")(x);
}

void MotionPanel::set_as(const char* tag, Stored kind, double value) {
    switch (kind) {
        case Stored::U8:
            set<uint8_t>(tag, static_cast<uint8_t>(value));
            break;
        case Stored::U16:
            set<uint16_t>(tag, static_cast<uint16_t>(value));
            break;
        case Stored::U32:
            set<uint32_t>(tag, static_cast<uint32_t>(value));
            break;
        case Stored::I32:
            set<int32_t>(tag, static_cast<int32_t>(value));
            break;
        case Stored::F32:
            set<float>(tag, static_cast<float>(value));
            break;
    }
}

void Motion::reset() {
    record_trig(nullptr);
    set<uint8_t>("kelvor.allow_alarm", 1);
    set<uint8_t>("kelvor.run_flag", 1);
    set<uint8_t>("kelvor.temp", 5);
    set<uint32_t>("kelvor.run_time", 7);
    set<uint8_t>("kelvor.star_Location", 0);
    set<uint8_t>("kelvor.save_flag", 0);
    set<float>("kelvor.x_Real", 200.0f);
    set<float>("kelvor.y_Real", 400.0f);
    set<uint8_t>("kelvor.pause", 0);
    set<uint8_t>("kelvor.stop", 0);
    set<uint8_t>("kelvor.runState", 0);
    set<uint8_t>("kelvor.star_Run", 0);
    set<uint16_t>("kelvor.num_complate", 3);
    set<uint8_t>("kelvor.continue", 0);
    set<uint8_t>("kelvor.clear_cmp", 0);
    set<uint8_t>("kelvor.state_flag", 1);
    set<uint8_t>("kelvor.direction", 0);
    set<uint8_t>("kelvor.temp2", 0);
    set<uint8_t>("kelvor.temp1", 0);
    set<float>("kelvor.c_center_x", 1000.0f);
    set<float>("kelvor.radius", 500.0f);
    set<float>("kelvor.cur_angle", 0.0f);
    set<float>("kelvor.c_center_y", 1000.0f);
    set<int32_t>("kelvor.sum_point", 10);
    set<uint8_t>("kelvor.automatic", 0);
}

std::string Motion::tick() {
    fire("18_timer2_timer");
    return trace();
}

}  // namespace hmi::test

// The names the library imports; calls from this program land here too.
extern "C" double sin(double x) noexcept {
    return hmi::test::recorded('s', x);
}
extern "C" double cos(double x) noexcept {
    return hmi::test::recorded('c', x);
}
