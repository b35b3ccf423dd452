// The axis selection window "window": one button per axis, of which at most one is
// selected, its own automatic toggle, a mode toggle, a button that zeroes the
// position while a start is pending, and its home button. Closing the window drops
// every selection.
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "screens/motion/motion.hpp"

namespace hmi::motion {
namespace {

constexpr const char* kAxes[] = {"kelvor.x_anxis", "kelvor.y_anxis", "kelvor.z_anxis",
                                 "kelvor.u_anxis", "kelvor.v_anxis"};

// Each select button reads its own axis first, then the others in its own order.
constexpr const char* kSelectOrder[][5] = {
    /* X */ {"kelvor.x_anxis", "kelvor.u_anxis", "kelvor.y_anxis", "kelvor.z_anxis",
             "kelvor.v_anxis"},
    /* Y */
    {"kelvor.y_anxis", "kelvor.x_anxis", "kelvor.z_anxis", "kelvor.u_anxis", "kelvor.v_anxis"},
    /* Z */
    {"kelvor.z_anxis", "kelvor.x_anxis", "kelvor.y_anxis", "kelvor.u_anxis", "kelvor.v_anxis"},
    /* U */
    {"kelvor.u_anxis", "kelvor.x_anxis", "kelvor.y_anxis", "kelvor.z_anxis", "kelvor.v_anxis"},
    /* V */
    {"kelvor.v_anxis", "kelvor.x_anxis", "kelvor.y_anxis", "kelvor.z_anxis", "kelvor.u_anxis"},
};

}  // namespace

template <Axis Selected>
void select_axis() {
    Script s;
    const char* const(&order)[5] = kSelectOrder[static_cast<int>(Selected)];
    s.u8(order[0]) = 1;
    for (int i = 1; i < 5; ++i) s.u8(order[i]) = 0;
    s.write_back();
}
template void select_axis<Axis::X>();
template void select_axis<Axis::Y>();
template void select_axis<Axis::Z>();
template void select_axis<Axis::U>();
template void select_axis<Axis::V>();

// Opening the window clears the selections; closing it leaves them to the close event.
void toggle_axis_mode() {
    Script s;
    auto& mode = s.u8("kelvor.anxis");
    uint8_t* axes[] = {&s.u8("kelvor.x_anxis"), &s.u8("kelvor.y_anxis"), &s.u8("kelvor.z_anxis"),
                       &s.u8("kelvor.u_anxis"), &s.u8("kelvor.v_anxis")};
    mode = negated(mode);
    if (mode == 1) {
        for (uint8_t* axis : axes) *axis = 0;
        hmi_window_show("window");
    } else {
        hmi_window_hide("window");
    }
    s.write_back();
}

void toggle_automatic_in_axis_window() {
    toggle_flag("kelvor.automatic");
}

void zero_pending_start() {
    Script s;
    auto& start_request = s.u8("kelvor.star_Run");
    auto& x = s.f32("kelvor.x_Real");
    auto& y = s.f32("kelvor.y_Real");
    if (start_request == 1) {
        x = 0.0f;
        y = 0.0f;
    }
    s.write_back();
}

// Unlike the home button of "18", this one leaves every motion tag as it is.
void leave_axis_window() {
    hmi_window_show("main");
    hmi_window_hide("window");
    hmi_window_hide("kelvor");
}

void clear_axes_on_close() {
    Script s;
    for (const char* axis : kAxes) s.u8(axis) = 0;
    s.write_back();
}

}  // namespace hmi::motion
