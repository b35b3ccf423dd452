#include "sim/cli/children.hpp"

#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <vector>

// Defined only in a build with coverage counts (gcc's --coverage).
extern "C" void __gcov_dump(void) __attribute__((weak));

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

namespace {

using Clock = std::chrono::steady_clock;

struct Running {
    size_t index;
    Clock::time_point started;
    TempFile output, results;
};

TempFile temp_file() {
    FILE* f = std::tmpfile();
    if (f == nullptr)
        throw std::runtime_error(std::string("no temporary file: ") + strerror(errno));
    return TempFile(f);
}

[[noreturn]] void be_child(const std::function<int(size_t, int)>& job, size_t index,
                           const Running& r) {
    std::fflush(nullptr);
    int out = fileno(r.output.get());
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    int status = 2;
    try {
        status = job(index, fileno(r.results.get()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hmisim: %s\n", e.what());
    }
    // _exit: the parent's state that the child holds a copy of is not the child's to
    // tear down. A build with coverage counts writes the child's counts first.
    std::fflush(nullptr);
    if (__gcov_dump != nullptr) __gcov_dump();
    _exit(status);
}

}  // namespace

void run_in_children(size_t count, unsigned parallel, const std::function<int(size_t, int)>& job,
                     const std::function<void(size_t, ChildOutcome)>& done,
                     const std::function<void(size_t, size_t)>& progress) {
    if (parallel == 0) parallel = 1;
    std::map<pid_t, Running> running;
    size_t next = 0, finished = 0;
    while (finished < count) {
        while (next < count && running.size() < parallel) {
            Running r{next, Clock::now(), temp_file(), temp_file()};
            std::fflush(nullptr);
            pid_t pid = fork();
            if (pid < 0) {
                if (running.empty())
                    throw std::runtime_error(std::string("fork: ") + strerror(errno));
                break;  // try again when one has ended
            }
            if (pid == 0) be_child(job, next, r);
            running.emplace(pid, std::move(r));
            ++next;
            if (progress) progress(finished, running.size());
        }
        int wstatus = 0;
        pid_t pid = waitpid(-1, &wstatus, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error(std::string("waitpid: ") + strerror(errno));
        }
        auto it = running.find(pid);
        if (it == running.end()) continue;  // not one of ours
        Running r = std::move(it->second);
        running.erase(it);
        ChildOutcome outcome;
        outcome.wall_seconds = std::chrono::duration<double>(Clock::now() - r.started).count();
        if (WIFSIGNALED(wstatus)) outcome.signal = WTERMSIG(wstatus);
        if (WIFEXITED(wstatus)) outcome.status = WEXITSTATUS(wstatus);
        std::rewind(r.output.get());
        std::rewind(r.results.get());
        outcome.output = std::move(r.output);
        outcome.results = std::move(r.results);
        ++finished;
        done(r.index, std::move(outcome));
        if (progress) progress(finished, running.size());
    }
}

}  // namespace hmi::sim
