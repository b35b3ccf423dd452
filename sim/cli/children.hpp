// Jobs in child processes, a few at a time: a job that crashes or hangs the library ends
// only its own process, and the run goes on with the next.
#pragma once

#include <signal.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hmi::sim {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using TempFile = std::unique_ptr<FILE, FileCloser>;

// A temporary folder of this process, removed with all it holds when this ends.
class TempDir {
  public:
    TempDir() = default;
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::string& make();  // throws std::runtime_error
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// How a job ended and what it left: its output (standard output and error together)
// and its results, each read from its start. Closing them gives back the room they took.
struct ChildOutcome {
    int status = 0;  // the job's value, or the exit status of a process that ended in it
    int signal = 0;  // the signal that ended the process during the job, or 0
    double wall_seconds = 0;
    TempFile output;
    TempFile results;
};

// The signal's name ("SIGABRT"), or its number when it has none.
std::string signal_name(int signal);

// Reads at most `limit` bytes of a file from where it stands; when there is more, the
// last `limit` bytes, after a line that says how much was left out.
std::string read_tail(FILE* file, size_t limit);

struct ChildRun {
    unsigned parallel = 1;         // processes at a time
    bool one_per_process = false;  // a fresh process for every job, not one per worker
};

// Worker processes forked from this one, `parallel` at a time, that run job(i, results_fd)
// for i in 0..count-1, each one job after another (or one only) as it takes them from a
// queue they share, so that none waits for this process between two jobs. run() forks
// them and gives out the jobs; once it has returned they end by themselves while the
// caller reports, and ending the pool waits for them.
class WorkerPool {
  public:
    WorkerPool(size_t count, ChildRun how, std::function<int(size_t index, int results_fd)> job);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Gives out the jobs and returns when all have ended; done() and progress() as
    // run_in_children says.
    void run(const std::function<void(size_t index, ChildOutcome outcome)>& done,
             const std::function<void(size_t finished, size_t running)>& progress = {});

  private:
    struct Worker;
    void close_files(Worker& w);
    void close_queue();
    void feed();
    size_t running() const;
    size_t untaken() const;
    bool start_worker();
    void start_workers();

    size_t count_;
    ChildRun how_;
    std::function<int(size_t, int)> job_;
    int queue_[2] = {-1, -1};  // job indices: written here, read by every worker
    size_t queued_ = 0;
    std::vector<Worker> workers_;
    struct sigaction old_sigpipe_ {};
};

// Runs job(i, results_fd) for i in 0..count-1 in worker processes forked from this one,
// `parallel` at a time, each running jobs one after another. A job's standard output
// (fully buffered, and flushed if the process crashes) and error are kept apart from
// those of the other jobs.
// A worker that dies ends only the job it was running, which is reported with the
// signal, and a new worker takes the jobs left. done(i, outcome) is called as each job
// ends (not in order); progress(finished, running) after each start and end.
void run_in_children(size_t count, ChildRun how,
                     const std::function<int(size_t index, int results_fd)>& job,
                     const std::function<void(size_t index, ChildOutcome outcome)>& done,
                     const std::function<void(size_t finished, size_t running)>& progress = {});

}  // namespace hmi::sim
