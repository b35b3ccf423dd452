// The motion screen under test: its tags at a known running state, and a record of
// the library's sin and cos calls.
#pragma once

#include "tests/support/panel.hpp"

namespace hmi::test {

// sin and cos as the library calls them: this program defines both (forwarding to
// the C math library), so the loaded library binds to them.
struct TrigCall {
    char function;  // 's' or 'c'
    double argument;
};
struct TrigRecord {
    TrigCall calls[16];
    int count;
};
// Starts recording into `record` (nullptr stops).
void record_trig(TrigRecord* record);
double math_sin(double x);  // the math library's own, unrecorded
double math_cos(double x);

// How a tag is stored, for tables that list tags of several kinds.
enum class Stored { U8, U16, U32, I32, F32 };

class MotionPanel : public PanelTest {
  protected:
    // Sets the tag to the value converted to its stored kind.
    void set_as(const char* tag, Stored kind, double value);
};

// The tool moving up column x = 200 at y = 400, hold code 0, manual mode, circle
// around (1000, 1000) of radius 500, no request pending.
class Motion : public MotionPanel {
  protected:
    Motion() { reset(); }
    void reset();        // back to that state
    std::string tick();  // fires the motion tick and returns its trace
};

}  // namespace hmi::test
