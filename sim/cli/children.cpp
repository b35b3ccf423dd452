#include "sim/cli/children.hpp"

#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

namespace hmi::sim {

std::string signal_name(int signal) {
    const char* abbrev = sigabbrev_np(signal);
    return abbrev != nullptr ? std::string("SIG") + abbrev : "signal " + std::to_string(signal);
}

std::string read_tail(FILE* file, size_t limit) {
    long start = std::ftell(file);
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file) - start;
    long skipped = size > static_cast<long>(limit) ? size - static_cast<long>(limit) : 0;
    std::fseek(file, start + skipped, SEEK_SET);
    std::string text(static_cast<size_t>(size - skipped), '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file));
    if (skipped > 0) text = "(the first " + std::to_string(skipped) + " bytes left out)\n" + text;
    return text;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

const std::string& TempDir::make() {
    std::string pattern = (std::filesystem::temp_directory_path() / "hmisim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder: " + std::string(strerror(errno)));
    path_ = pattern;
    return path_;
}

namespace {

using Clock = std::chrono::steady_clock;

// A worker's standard output is written in whole buffers, not a line at a time; when the
// library crashes the worker, what is still buffered is written before the signal ends
// it. Unlocked: the crash may have come while the stream was held.
void flush_on_crash(int) {
    fflush_unlocked(stdout);
}

void keep_output_through_crashes() {
    struct sigaction action {};
    action.sa_handler = flush_on_crash;
    action.sa_flags = SA_RESETHAND;  // the default action ends the worker after the flush
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS})
        sigaction(signal, &action, nullptr);
}

// What a worker says when a job has ended.
struct Reply {
    uint64_t index;
    int64_t status;
};

bool read_whole(int fd, void* data, size_t size) {
    auto* at = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::read(fd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool write_whole(int fd, const void* data, size_t size) {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string job_file(const std::string& dir, uint64_t index, const char* what) {
    return dir + "/" + std::to_string(index) + "." + what;
}

struct Worker {
    pid_t pid = -1;
    int command = -1;  // this end writes the index of each job to run
    int reply = -1;    // this end reads a Reply as each ends
    std::optional<size_t> job;
    Clock::time_point started;
};

// Runs the jobs it is sent, one after another, until the parent sends no more.
[[noreturn]] void be_worker(const std::function<int(size_t, int)>& job, const std::string& dir,
                            int command, int reply) {
    std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
    keep_output_through_crashes();
    uint64_t index = 0;
    while (read_whole(command, &index, sizeof index)) {
        int output = ::open(job_file(dir, index, "out").c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int results = ::open(job_file(dir, index, "results").c_str(),
                             O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int status = 2;
        if (output >= 0 && results >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
            try {
                status = job(index, results);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "hmisim: %s\n", e.what());
            }
            std::fflush(nullptr);
        }
        if (output >= 0) ::close(output);
        if (results >= 0) ::close(results);
        Reply r{index, status};
        if (!write_whole(reply, &r, sizeof r)) break;
    }
    // _exit: the parent's state that the worker holds a copy of is not the worker's to
    // tear down. A build with coverage counts (the coverage preset) ends as a program
    // does instead: each shared object (the library among them) writes its own counts as
    // it is torn down.
    std::fflush(nullptr);
#ifdef HMI_COVERAGE_BUILD
    std::exit(0);
#else
    _exit(0);
#endif
}

// A job's file, opened and unlinked; an empty temporary file if the job left none.
TempFile take_file(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f != nullptr) {
        ::unlink(path.c_str());
        return TempFile(f);
    }
    f = std::tmpfile();
    if (f == nullptr)
        throw std::runtime_error(std::string("no temporary file: ") + strerror(errno));
    return TempFile(f);
}

}  // namespace

void run_in_children(size_t count, ChildRun how, const std::function<int(size_t, int)>& job,
                     const std::function<void(size_t, ChildOutcome)>& done,
                     const std::function<void(size_t, size_t)>& progress) {
    unsigned parallel = std::max(1u, how.parallel);
    TempDir dir;
    dir.make();
    std::vector<Worker> workers;
    size_t next = 0, finished = 0;

    auto finish = [&](Worker& w, int status, int signal) {
        size_t index = *w.job;
        w.job.reset();
        ChildOutcome outcome;
        outcome.status = status;
        outcome.signal = signal;
        outcome.wall_seconds = std::chrono::duration<double>(Clock::now() - w.started).count();
        outcome.output = take_file(job_file(dir.path(), index, "out"));
        outcome.results = take_file(job_file(dir.path(), index, "results"));
        ++finished;
        done(index, std::move(outcome));
    };
    auto running = [&] {
        size_t n = 0;
        for (const Worker& w : workers) n += w.job.has_value();
        return n;
    };
    // The next job to an idle worker; none left (or one job per process): it may end.
    auto dispatch = [&](Worker& w) {
        uint64_t index = next;
        if (next < count && write_whole(w.command, &index, sizeof index)) {
            w.job = next++;
            w.started = Clock::now();
            if (progress) progress(finished, running());
        }
        if (w.command >= 0 && (next == count || how.one_per_process)) {
            ::close(w.command);
            w.command = -1;
        }
    };
    auto start_worker = [&]() -> bool {
        int command[2], reply[2];
        if (pipe2(command, O_CLOEXEC) != 0) return false;
        if (pipe2(reply, O_CLOEXEC) != 0) {
            ::close(command[0]);
            ::close(command[1]);
            return false;
        }
        std::fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            // The other workers' pipes are theirs: a copy held here would keep a
            // worker from seeing the end of its jobs.
            for (const Worker& w : workers) {
                if (w.command >= 0) ::close(w.command);
                ::close(w.reply);
            }
            ::close(command[1]);
            ::close(reply[0]);
            be_worker(job, dir.path(), command[0], reply[1]);
        }
        ::close(command[0]);
        ::close(reply[1]);
        if (pid < 0) {
            ::close(command[1]);
            ::close(reply[0]);
            return false;
        }
        workers.push_back(Worker{pid, command[1], reply[0], std::nullopt, {}});
        dispatch(workers.back());
        return true;
    };

    // A broken pipe to a worker that died is seen at its reply's end, not as a signal.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old);
    try {
        while (finished < count) {
            while (next < count && workers.size() < parallel) {
                if (start_worker()) continue;
                if (workers.empty())
                    throw std::runtime_error(std::string("fork: ") + strerror(errno));
                break;  // try again when one has ended
            }
            std::vector<pollfd> fds;
            for (const Worker& w : workers) fds.push_back({w.reply, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                throw std::runtime_error(std::string("poll: ") + strerror(errno));
            }
            for (size_t i = fds.size(); i-- > 0;) {
                if (fds[i].revents == 0) continue;
                Worker& w = workers[i];
                Reply r{};
                if (read_whole(w.reply, &r, sizeof r) && w.job == r.index) {
                    finish(w, static_cast<int>(r.status), 0);
                    dispatch(w);
                    if (progress) progress(finished, running());
                    continue;
                }
                // The worker has ended: after its last job, or in the middle of one.
                int wstatus = 0;
                while (waitpid(w.pid, &wstatus, 0) < 0 && errno == EINTR) {
                }
                ::close(w.reply);
                if (w.command >= 0) ::close(w.command);
                if (w.job) {
                    finish(w, WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 0,
                           WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0);
                    if (progress) progress(finished, running());
                }
                workers.erase(workers.begin() + static_cast<long>(i));
            }
        }
    } catch (...) {
        for (Worker& w : workers) {
            if (w.command >= 0) ::close(w.command);
            ::close(w.reply);
            waitpid(w.pid, nullptr, 0);
        }
        sigaction(SIGPIPE, &old, nullptr);
        throw;
    }
    // Workers left idle see the end of their jobs and end.
    for (Worker& w : workers) {
        if (w.command >= 0) ::close(w.command);
        ::close(w.reply);
        while (waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    sigaction(SIGPIPE, &old, nullptr);
}

}  // namespace hmi::sim
