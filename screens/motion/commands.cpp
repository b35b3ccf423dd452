// The run control of window "18": opening it, the run buttons, the automatic toggle,
// the axis window button and the home button that resets every motion tag.
//
// The run buttons raise requests that the next tick takes; start and origin act
// only while the hold code is 1 (paused, or a manual cycle has ended).
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "screens/motion/motion.hpp"
#include "screens/panel.hpp"

namespace hmi::motion {
namespace {

constexpr char kStopFirst[] =
    "\xc7\xeb\xcf\xc8\xcd\xa3\xd6\xb9\xd4\xcb\xd0\xd0\xa1\xa3";  // 请先停止运行。
constexpr char kCountCleared[] =
    "\xcd\xea\xb3\xc9\xb8\xf6\xca\xfd\xd2\xd1\xc7\xe5\xc1\xe3\xa1\xa3";  // 完成个数已清零。
constexpr char kAbandonProgress[] =
    "\xca\xc7\xb7\xf1\xb7\xc5\xc6\xfa\xb5\xb1\xc7\xb0\xbd\xf8\xb6\xc8\xa3\xbf";  // 是否放弃当前进度？

constexpr int kStyleNotice = 0;
constexpr int kStyleQuestion = 2;

// What the home button leaves behind: the next visit starts with a circle around
// (1000, 1000) of radius 500 from angle 0, in automatic mode, with the timer off.
struct Default {
    enum Width : uint8_t { U8, U16, U32, I32, F32 };
    const char* tag;
    Width width;
    uint32_t whole;  // for the integer widths
    float real;      // for F32
};
constexpr Default as_u8(const char* tag, uint8_t v) {
    return {tag, Default::U8, v, 0.0f};
}
constexpr Default as_u16(const char* tag, uint16_t v) {
    return {tag, Default::U16, v, 0.0f};
}
constexpr Default as_u32(const char* tag, uint32_t v) {
    return {tag, Default::U32, v, 0.0f};
}
constexpr Default as_i32(const char* tag, int32_t v) {
    return {tag, Default::I32, static_cast<uint32_t>(v), 0.0f};
}
constexpr Default as_f32(const char* tag, float v) {
    return {tag, Default::F32, 0, v};
}

// In read order; the changed ones are written in reverse, `kelvor.run_flag` first.
constexpr Default kDefaults[] = {
    as_u8("main.can5", 0),
    as_u8("kelvor.allow_alarm", 1),
    as_f32("kelvor.x_Real", 100.0f),
    as_f32("kelvor.y_Real", 100.0f),
    as_u8("kelvor.star_Location", 0),
    as_u8("kelvor.star_Run", 0),
    as_u8("kelvor.automatic", 1),
    as_u8("kelvor.continue", 0),
    as_u8("kelvor.pause", 0),
    as_u8("kelvor.stop", 0),
    as_u8("kelvor.anxis", 0),
    as_u8("kelvor.runState", 0),
    as_u16("kelvor.x_star", 100),
    as_u16("kelvor.y_star", 100),
    as_u8("kelvor.direction", 0),
    as_u8("kelvor.save_flag", kLeft),
    as_u8("kelvor.state_flag", kCircle),  // the next run begins with the circle
    as_u8("kelvor.temp2", 0),
    as_f32("kelvor.circle_x", 0.0f),
    as_f32("kelvor.circle_y", 0.0f),
    as_f32("kelvor.radius", 500.0f),
    as_f32("kelvor.c_center_x", 1000.0f),
    as_f32("kelvor.c_center_y", 1000.0f),
    as_i32("kelvor.s_control", 1),
    as_f32("kelvor.radius_input", 200.0f),
    as_f32("kelvor.cur_angle", 0.0f),
    as_f32("kelvor.edge_len", 2100.0f),
    as_i32("kelvor.control", 1),
    as_i32("kelvor.cur_step", 0),
    as_f32("kelvor.edge_width", 1100.0f),
    as_u8("kelvor.temp1", 0),
    as_u8("kelvor.temp3", 0),
    as_i32("kelvor.sum_point", 0),
    as_u16("kelvor.num_complate", 0),
    as_u8("kelvor.temp", 0),
    as_u32("kelvor.run_time", 0),
    as_u8("kelvor.clear_cmp", 0),
    as_u8("kelvor.x_anxis", 0),
    as_u8("kelvor.y_anxis", 0),
    as_u8("kelvor.z_anxis", 0),
    as_u8("kelvor.u_anxis", 0),
    as_u8("kelvor.v_anxis", 0),
    as_u8("kelvor.run_flag", 1),
};
static_assert(sizeof kDefaults / sizeof kDefaults[0] == 43);

// Reads the tag into the script and sets its local to the default.
void take_default(Script& s, const Default& d) {
    switch (d.width) {
        case Default::U8:
            s.u8(d.tag) = static_cast<uint8_t>(d.whole);
            break;
        case Default::U16:
            s.u16(d.tag) = static_cast<uint16_t>(d.whole);
            break;
        case Default::U32:
            s.u32(d.tag) = d.whole;
            break;
        case Default::I32:
            s.i32(d.tag) = static_cast<int32_t>(d.whole);
            break;
        case Default::F32:
            s.f32(d.tag) = d.real;
            break;
    }
}

}  // namespace

void open_motion_screen() {
    Script s;
    auto& timer_on = s.u8("main.can5");
    auto& relay_alarm = s.u8("project_water.alarm_right");
    auto& allow = s.u8("kelvor.allow_alarm");
    allow = 1;
    relay_alarm = 0;
    timer_on = 1;
    s.write_back();  // allow_alarm, alarm_right, can5
}

void request_pause() {
    set_flag("kelvor.pause", 1);
}

void request_stop() {
    set_flag("kelvor.stop", 1);
}

void request_continue() {
    Script s;
    auto& pause = s.u8("kelvor.pause");
    auto& resume = s.u8("kelvor.continue");
    if (pause == 1) resume = 1;
    s.write_back();
}

void request_clear_count() {
    Script s;
    auto& clear_request = s.u8("kelvor.clear_cmp");
    clear_request = 1;
    msgbox(kNotice, kCountCleared, kStyleNotice);
    s.write_back();  // only once the box is closed
}

void toggle_automatic() {
    toggle_flag("kelvor.automatic");
}

// Start: from a pause, only after the operator agrees to abandon it; answering no
// resumes the paused run instead.
void start_run() {
    Script s;
    auto& pause = s.u8("kelvor.pause");
    auto& hold = s.u8("kelvor.save_flag");
    auto& start_request = s.u8("kelvor.star_Run");
    auto& x = s.f32("kelvor.x_Real");
    auto& y = s.f32("kelvor.y_Real");
    auto& direction = s.u8("kelvor.direction");
    auto& resume = s.u8("kelvor.continue");

    bool start = hold == kPaused;
    if (pause == 1 && msgbox(kNotice, kAbandonProgress, kStyleQuestion) != kYes) {
        resume = 1;
        start = false;
    }
    if (start) {
        start_request = 1;
        x = 100.0f;
        y = 100.0f;
        direction = 0;
        pause = 0;
    }
    s.write_back();
}

// Origin: requested only while paused; a request still pending (from an earlier
// press) shows the origin whatever the hold code.
void go_to_origin() {
    Script s;  // the axis tags come with the positions; this button never changes them
    s.u8("kelvor.x_anxis");
    auto& x = s.f32("kelvor.x_Real");
    s.u8("kelvor.y_anxis");
    auto& y = s.f32("kelvor.y_Real");
    s.u8("kelvor.z_anxis");
    s.u32("kelvor.z_Real");
    s.u8("kelvor.u_anxis");
    s.u32("kelvor.u_Real");
    s.u8("kelvor.v_anxis");
    s.u32("kelvor.v_Real");
    auto& hold = s.u8("kelvor.save_flag");
    auto& origin_request = s.u8("kelvor.star_Location");

    if (hold == kPaused) {
        origin_request = 1;
    } else {
        msgbox(kNotice, kStopFirst, kStyleNotice);
    }
    if (origin_request == 1) {
        x = 0.0f;
        y = 0.0f;
    }
    s.write_back();
}

// The axis button opens the axis window, or closes it and drops every selection.
void toggle_axis_window() {
    Script s;
    auto& mode = s.u8("kelvor.anxis");
    uint8_t* axes[] = {&s.u8("kelvor.x_anxis"), &s.u8("kelvor.y_anxis"), &s.u8("kelvor.z_anxis"),
                       &s.u8("kelvor.u_anxis"), &s.u8("kelvor.v_anxis")};
    mode = negated(mode);
    if (mode == 1) {
        hmi_window_show("window");
    } else {
        for (uint8_t* axis : axes) *axis = 0;
        hmi_window_hide("window");
    }
    s.write_back();
}

// Home: back to "main" with every motion tag at its default and the timer off.
void leave_and_reset() {
    Script s;
    for (const Default& d : kDefaults) take_default(s, d);
    // Nothing is written before the write-back, so the windows switch first.
    hmi_window_show("main");
    hmi_window_hide("window");
    hmi_window_hide("kelvor");
    s.write_back();
}

}  // namespace hmi::motion
