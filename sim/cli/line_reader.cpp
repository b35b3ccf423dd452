#include "sim/cli/line_reader.hpp"

#include <fcntl.h>
#include <readline/readline.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "host/lines.hpp"

namespace hmi::sim {
namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous {};
// The handler also writes a byte here, so that a wait for input wakes up even when the
// signal came just before it began.
int g_wake[2] = {-1, -1};

void on_interrupt(int) {
    g_interrupted = 1;
    if (g_wake[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(g_wake[1], &byte, 1);
        (void)ignored;
    }
}

void drain_wake() {
    char buffer[16];
    while (g_wake[0] >= 0 && read(g_wake[0], buffer, sizeof buffer) > 0) {
    }
}

// What readline's callback hands over.
bool g_done = false;
bool g_end = false;
std::string* g_line = nullptr;

void on_line(char* raw) {
    g_done = true;
    g_end = raw == nullptr;
    if (raw != nullptr) *g_line = raw;
    std::free(raw);
    rl_callback_handler_remove();
}

Read read_tty(const std::string& prompt, std::string* line) {
    g_done = g_end = false;
    g_line = line;
    rl_callback_handler_install(prompt.c_str(), on_line);
    while (!g_done) {
        fd_set in;
        FD_ZERO(&in);
        int fd = fileno(rl_instream != nullptr ? rl_instream : stdin);
        FD_SET(fd, &in);
        if (g_wake[0] >= 0) FD_SET(g_wake[0], &in);
        int ready = select(std::max(fd, g_wake[0]) + 1, &in, nullptr, nullptr, nullptr);
        drain_wake();
        if (Interrupts::take()) {
            // Drop what was typed and start a fresh line.
            rl_free_line_state();
            rl_callback_sigcleanup();
            rl_callback_handler_remove();
            std::fputs("^C\n", stdout);
            std::fflush(stdout);
            return Read::Cancelled;
        }
        if (ready > 0 && FD_ISSET(fd, &in)) rl_callback_read_char();
    }
    return g_end ? Read::End : Read::Line;
}

}  // namespace

Interrupts::Interrupts() {
    g_interrupted = 0;
    if (pipe(g_wake) == 0) {
        for (int fd : g_wake) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocked read or select returns to look at the flag
    sigaction(SIGINT, &action, &g_previous);
    rl_catch_signals = 0;  // readline leaves SIGINT to us
}

Interrupts::~Interrupts() {
    sigaction(SIGINT, &g_previous, nullptr);
    for (int& fd : g_wake) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

bool Interrupts::pending() {
    return g_interrupted != 0;
}

bool Interrupts::take() {
    bool was = g_interrupted != 0;
    g_interrupted = 0;
    return was;
}

Read read_line(const std::string& prompt, bool tty, std::string* line) {
    if (tty) return read_tty(prompt, line);
    // Reads from a pipe are retried after a signal: a Ctrl-C here only stops a run.
    line->clear();
    std::streambuf* in = std::cin.rdbuf();
    const int end = std::char_traits<char>::eof();
    size_t length = 0;
    bool any = false;
    for (int c; (c = in->sbumpc()) != end;) {
        any = true;
        if (c == '\n') break;
        if (length++ < host::kMostLineBytes) line->push_back(static_cast<char>(c));
    }
    if (!any) return Read::End;
    if (length > host::kMostLineBytes) {
        *line = host::long_line_message(length, *line);
        return Read::TooLong;
    }
    return Read::Line;
}

}  // namespace hmi::sim
