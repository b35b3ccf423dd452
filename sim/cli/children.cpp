#include "sim/cli/children.hpp"

#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
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

#include "sim/engine/fd.hpp"

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

// What a worker says as it takes a job, and again when the job has ended: then with how
// far its output and its results have come.
struct Reply {
    uint64_t index;
    int64_t status;  // the job's value, or kTaken
    uint64_t output_end, results_end;
};
constexpr int64_t kTaken = INT64_MIN;

// The 64-bit calls throughout, so that a 32-bit build reads past 2 GiB of a long run too.
uint64_t offset(int fd) {
    off64_t at = ::lseek64(fd, 0, SEEK_CUR);
    return at > 0 ? static_cast<uint64_t>(at) : 0;
}

// Takes jobs from the queue that all workers share and runs them one after another (or
// only one), until the queue is empty and closed. A worker never waits for the parent
// between two jobs. Its jobs write one after another into the same two files, so that
// none has a file to make.
[[noreturn]] void be_worker(const std::function<int(size_t, int)>& job, int queue, int reply,
                            int output, int results, bool only_one) {
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    ::close(output);
    std::setvbuf(stdout, nullptr, _IOFBF, 64 * 1024);
    keep_output_through_crashes();
    uint64_t index = 0;
    while (read_fully(queue, &index, sizeof index)) {
        Reply taken{index, kTaken, 0, 0};
        if (!write_fully(reply, &taken, sizeof taken)) break;
        int status = 2;
        try {
            status = job(index, results);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "hmisim: %s\n", e.what());
        }
        std::fflush(nullptr);
        Reply r{index, status, offset(STDOUT_FILENO), offset(results)};
        if (!write_fully(reply, &r, sizeof r) || only_one) break;
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

// A file in memory, of this process and the workers it forks.
int memory_file(const char* name) {
    int fd = memfd_create(name, MFD_CLOEXEC);
    if (fd < 0) throw std::runtime_error(std::string("memfd_create: ") + strerror(errno));
    return fd;
}

// Reading what one job wrote into its worker's file: the bytes from `begin` to `end`.
struct Piece {
    int fd;  // a copy of the worker's descriptor, closed with the stream
    uint64_t begin, end, at;
};

ssize_t piece_read(void* cookie, char* buffer, size_t size) {
    auto* p = static_cast<Piece*>(cookie);
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, p->end - p->at));
    ssize_t got;
    while ((got = ::pread64(p->fd, buffer, n, static_cast<off64_t>(p->at))) < 0 && errno == EINTR) {
    }
    if (got > 0) p->at += static_cast<uint64_t>(got);
    return got;
}

int piece_seek(void* cookie, off64_t* to, int whence) {
    auto* p = static_cast<Piece*>(cookie);
    int64_t base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<int64_t>(p->at - p->begin)
                                        : static_cast<int64_t>(p->end - p->begin);
    int64_t at = base + *to;
    if (at < 0 || at > static_cast<int64_t>(p->end - p->begin)) {
        errno = EINVAL;
        return -1;
    }
    p->at = p->begin + static_cast<uint64_t>(at);
    *to = at;
    return 0;
}

// A piece is read once: closing it gives its room in the file back, while the worker
// goes on writing after it, so that a long run holds only what nobody has read yet.
int piece_close(void* cookie) {
    auto* p = static_cast<Piece*>(cookie);
    if (p->end > p->begin) {
        fallocate64(p->fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE,
                    static_cast<off64_t>(p->begin), static_cast<off64_t>(p->end - p->begin));
    }
    ::close(p->fd);
    delete p;
    return 0;
}

TempFile open_piece(int fd, uint64_t begin, uint64_t end) {
    int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) throw std::runtime_error(std::string("dup: ") + strerror(errno));
    auto* piece = new Piece{copy, begin, std::max(begin, end), begin};
    FILE* f = fopencookie(piece, "rb", {piece_read, nullptr, piece_seek, piece_close});
    if (f == nullptr) {
        piece_close(piece);
        throw std::runtime_error(std::string("fopencookie: ") + strerror(errno));
    }
    return TempFile(f);
}

uint64_t size_of(int fd) {
    struct stat64 st {};
    return ::fstat64(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace

struct WorkerPool::Worker {
    pid_t pid = -1;
    int reply = -1;                 // this end reads a Reply as each job is taken and as it ends
    int output = -1, results = -1;  // the files its jobs write, one after another
    uint64_t output_at = 0, results_at = 0;  // where the job it runs began writing
    std::optional<size_t> job;
    Clock::time_point started;
};

WorkerPool::WorkerPool(size_t count, ChildRun how, std::function<int(size_t, int)> job)
    : count_(count), how_(how), job_(std::move(job)) {
    how_.parallel = std::max(1u, how_.parallel);
    if (pipe2(queue_, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + strerror(errno));
    fcntl(queue_[1], F_SETFL, fcntl(queue_[1], F_GETFL) | O_NONBLOCK);
    // A broken pipe to a worker that died is seen at its reply's end, not as a signal.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old_sigpipe_);
}

WorkerPool::~WorkerPool() {
    close_queue();
    ::close(queue_[0]);
    // Workers left idle see the end of the queue and end.
    for (Worker& w : workers_) {
        close_files(w);
        while (waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    sigaction(SIGPIPE, &old_sigpipe_, nullptr);
}

void WorkerPool::close_queue() {
    if (queue_[1] >= 0) ::close(queue_[1]);
    queue_[1] = -1;
}

// Writes the indices in batches no larger than a pipe writes at once, so that none is
// split, as far as the pipe holds them; the rest once workers have taken some.
void WorkerPool::feed() {
    while (queue_[1] >= 0 && queued_ < count_) {
        uint64_t batch[512];
        size_t n = std::min(count_ - queued_, std::size(batch));
        for (size_t i = 0; i < n; ++i) batch[i] = queued_ + i;
        ssize_t written = ::write(queue_[1], batch, n * sizeof batch[0]);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        queued_ += static_cast<size_t>(written) / sizeof batch[0];
    }
    if (queued_ == count_) close_queue();
}

size_t WorkerPool::running() const {
    size_t n = 0;
    for (const Worker& w : workers_) n += w.job.has_value();
    return n;
}

void WorkerPool::close_files(Worker& w) {
    for (int fd : {w.reply, w.output, w.results}) {
        if (fd >= 0) ::close(fd);
    }
    w.reply = w.output = w.results = -1;
}

bool WorkerPool::start_worker() {
    Worker w;
    int reply[2];
    if (pipe2(reply, O_CLOEXEC) != 0) return false;
    w.reply = reply[0];
    try {
        w.output = memory_file("hmisim-output");
        w.results = memory_file("hmisim-results");
    } catch (const std::exception&) {
        ::close(reply[1]);
        close_files(w);
        return false;
    }
    std::fflush(nullptr);
    w.pid = fork();
    if (w.pid == 0) {
        // The other workers' pipes and files are theirs, and the queue's writing end is
        // the parent's: a copy held here would keep the workers from seeing its end.
        for (Worker& other : workers_) close_files(other);
        if (queue_[1] >= 0) ::close(queue_[1]);
        ::close(reply[0]);
        be_worker(job_, queue_[0], reply[1], w.output, w.results, how_.one_per_process);
    }
    ::close(reply[1]);
    if (w.pid < 0) {
        close_files(w);
        return false;
    }
    workers_.push_back(w);
    return true;
}

// Jobs no worker has taken: those not queued yet and those still in the queue.
size_t WorkerPool::untaken() const {
    int bytes = 0;
    if (ioctl(queue_[0], FIONREAD, &bytes) != 0) bytes = 0;
    return count_ - queued_ + static_cast<size_t>(bytes) / sizeof(uint64_t);
}

// Workers enough for the jobs nobody has taken yet, `parallel` at most.
void WorkerPool::start_workers() {
    for (;;) {
        size_t idle = workers_.size() - running();
        if (workers_.size() >= how_.parallel || untaken() <= idle) return;
        if (start_worker()) continue;
        if (workers_.empty()) throw std::runtime_error(std::string("fork: ") + strerror(errno));
        return;  // try again when one has ended
    }
}

void WorkerPool::run(const std::function<void(size_t, ChildOutcome)>& done,
                     const std::function<void(size_t, size_t)>& progress) {
    size_t finished = 0;
    auto finish = [&](Worker& w, int status, int signal, uint64_t output_end,
                      uint64_t results_end) {
        size_t index = *w.job;
        w.job.reset();
        ChildOutcome outcome;
        outcome.status = status;
        outcome.signal = signal;
        outcome.wall_seconds = std::chrono::duration<double>(Clock::now() - w.started).count();
        outcome.output = open_piece(w.output, w.output_at, output_end);
        outcome.results = open_piece(w.results, w.results_at, results_end);
        w.output_at = output_end;
        w.results_at = results_end;
        ++finished;
        done(index, std::move(outcome));
        if (progress) progress(finished, running());
    };
    feed();
    while (finished < count_) {
        start_workers();
        std::vector<pollfd> fds;
        for (const Worker& w : workers_) fds.push_back({w.reply, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error(std::string("poll: ") + strerror(errno));
        }
        for (size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            Worker& w = workers_[i];
            Reply r{};
            if (read_fully(w.reply, &r, sizeof r)) {
                if (r.status == kTaken) {
                    w.job = r.index;
                    w.started = Clock::now();
                    feed();
                    if (progress) progress(finished, running());
                } else if (w.job == r.index) {
                    finish(w, static_cast<int>(r.status), 0, r.output_end, r.results_end);
                }
                continue;
            }
            // The worker has ended: after its last job, or in the middle of one.
            int wstatus = 0;
            while (waitpid(w.pid, &wstatus, 0) < 0 && errno == EINTR) {
            }
            if (w.job) {
                // Ended in the middle of the job: what it wrote goes to the end of its files.
                finish(w, WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 0,
                       WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0, size_of(w.output),
                       size_of(w.results));
            }
            close_files(w);
            workers_.erase(workers_.begin() + static_cast<long>(i));
        }
    }
}

void run_in_children(size_t count, ChildRun how, const std::function<int(size_t, int)>& job,
                     const std::function<void(size_t, ChildOutcome)>& done,
                     const std::function<void(size_t, size_t)>& progress) {
    WorkerPool pool(count, how, job);
    pool.run(done, progress);
}

}  // namespace hmi::sim
