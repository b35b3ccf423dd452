// Names and traces shared by the sequencer tests.
#pragma once

#include <string>

namespace hmi::test {

inline std::string valve(int number) {
    return "dtmain.HV" + std::to_string(number);
}

// The trace of a valve written by its bare name; the host ignores names that no valve has.
inline std::string valve_write(int number, int value) {
    bool known = (number >= 201 && number <= 222) || (number >= 101 && number <= 110);
    return "set HV" + std::to_string(number) + " = " + std::to_string(value) +
           (known ? "" : " (no such tag)") + "\n";
}

}  // namespace hmi::test
