// This program's own execl and kill, which the script library calls instead of the
// C library's (the program exports its symbols, so the library binds to them).
//
// kill delivers a signal only to a process that a test started and adopted here;
// every call is recorded, delivered or not. execl runs the program as usual, unless
// a record file is set: then it writes the call there and ends the process.
#pragma once

#include <sys/types.h>

#include <ostream>
#include <string>
#include <vector>

namespace hmi::test::stand_in {

void adopt(pid_t child);
void release(pid_t child);

struct Signal {
    pid_t process;
    int number;
    bool delivered;
    bool operator==(const Signal&) const = default;
};
void PrintTo(const Signal& signal, std::ostream* out);
// The kill calls since the last look, in order; the record is cleared.
std::vector<Signal> signals();

// One line per execl call: "<process> <path> <argument 0> <argument 1> ...", tab-separated.
void record_exec_in(const std::string& file);  // "" runs programs again
void stop_recording_exec();

}  // namespace hmi::test::stand_in
