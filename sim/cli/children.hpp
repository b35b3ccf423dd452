// Jobs in child processes, a few at a time: a job that crashes or hangs the library ends
// only its own process, and the run goes on with the next.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace hmi::sim {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using TempFile = std::unique_ptr<FILE, FileCloser>;

// How a child ended and what it left: its output (standard output and error together)
// and its results, each an unnamed temporary file rewound to its start.
struct ChildOutcome {
    int status = 0;  // the exit status, when no signal ended it
    int signal = 0;  // the signal that ended it, or 0
    double wall_seconds = 0;
    TempFile output;
    TempFile results;
};

// The signal's name ("SIGABRT"), or its number when it has none.
std::string signal_name(int signal);

// Reads at most `limit` bytes of a file from where it stands; when there is more, the
// last `limit` bytes, after a line that says how much was left out.
std::string read_tail(FILE* file, size_t limit);

// Runs job(i, results_fd) for i in 0..count-1, each in a process of its own with its
// standard output and error going to a file, at most `parallel` at a time. done(i,
// outcome) is called as each ends (not in order); progress(finished, running) after
// each start and end. The job's return value is the child's exit status.
void run_in_children(size_t count, unsigned parallel,
                     const std::function<int(size_t index, int results_fd)>& job,
                     const std::function<void(size_t index, ChildOutcome outcome)>& done,
                     const std::function<void(size_t finished, size_t running)>& progress = {});

}  // namespace hmi::sim
