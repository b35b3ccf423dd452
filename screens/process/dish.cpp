// The dish screen's buttons: the display switch, the three calculations, the
// ellipse toggle and the way home.
#include "screens/process/dish.hpp"

#include <math.h>
#include <string.h>

#include "plugin/gbk.hpp"
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "screens/panel.hpp"

namespace hmi::dish {

void switch_display_on() {
    set_flag("dish.display_w", 1);
}

// (sin(put3°) + cos(put4°)) × 10^put5: the angles in single precision, the rest in double.
void calculate() {
    Script s;
    auto& result = s.f32("dish.put6");
    auto& angle_a = s.i16("dish.put3");
    auto& angle_b = s.i16("dish.put4");
    auto& exponent = s.i16("dish.put5");

    float a = static_cast<float>(angle_a) * kRadiansPerDegree;
    float b = static_cast<float>(angle_b) * kRadiansPerDegree;
    double sine = sin(static_cast<double>(a));  // sin, cos, pow in this order
    double cosine = cos(static_cast<double>(b));
    double scale = pow(10.0, static_cast<double>(exponent));
    result = static_cast<float>((sine + cosine) * scale);
    s.write_back();
}

// Bit number put9 of put8, taken as a signed 16-bit value and shifted arithmetically.
// Bit numbers from 16 up, however large, give the sign bit, as a shift by 15 does;
// negative bit numbers name no bit and give 0. The shift never exceeds 15, so it is
// defined for every value of both tags.
void extract_bit() {
    Script s;
    auto& bit = s.i16("dish.put10");
    auto& source = s.i16("dish.put8");
    auto& number = s.i16("dish.put9");

    if (number < 0) {
        bit = 0;
    } else {
        int shift = number < 15 ? number : 15;
        bit = static_cast<int16_t>((static_cast<int>(source) >> shift) & 1);
    }
    s.write_back();
}

// put7 becomes iuput0 followed by iuput1, built in put7's own buffer. A join that
// does not fit is cut after its last whole character within the buffer and stays
// terminated; a part that is not terminated within a buffer is taken as the buffer's
// bytes.
void join_texts() {
    Script s;
    char* joined = s.text("dish.put7");
    const char* first = s.text("dish.iuput0");
    const char* second = s.text("dish.iuput1");

    constexpr size_t kRoom = HMI_TEXT_TAG_SIZE - 1;
    size_t first_whole = strnlen(first, HMI_TEXT_TAG_SIZE);
    size_t second_whole = strnlen(second, HMI_TEXT_TAG_SIZE);
    size_t first_length = first_whole < kRoom ? first_whole : kRoom;
    size_t second_length =
        second_whole < kRoom - first_length ? second_whole : kRoom - first_length;
    memmove(joined, first, first_length);
    memmove(joined + first_length, second, second_length);
    size_t length = first_length + second_length;
    if (first_whole + second_whole > kRoom) length = whole_characters(joined, kRoom);
    joined[length] = '\0';
    s.write_back();
}

void toggle_ellipse() {
    toggle_flag("dish.return");
}

// Clears the three flags; the screen's other tags are read and written back as they are.
void go_home() {
    Script s;
    auto& display = s.u8("dish.display_w");
    auto& open = s.u8("dish.open");
    auto& light = s.u8("dish.light");
    s.i16("dish.put1");
    s.i16("dish.put2");
    s.i16("dish.put3");
    s.i16("dish.put4");
    s.i16("dish.put5");
    s.f32("dish.put6");
    s.text("dish.put7");
    s.i16("dish.put8");
    s.i16("dish.put9");
    s.i16("dish.put10");

    light = 0;
    display = 0;
    open = 0;
    hmi_window_show("main");
    hmi_window_hide("8");
    s.write_back();
}

}  // namespace hmi::dish
