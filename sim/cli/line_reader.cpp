#include "sim/cli/line_reader.hpp"

#include <readline/readline.h>
#include <sys/select.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace hmi::sim {
namespace {

volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous {};

void on_interrupt(int) {
    g_interrupted = 1;
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
        int ready = select(fd + 1, &in, nullptr, nullptr, nullptr);
        if (ready < 0 && errno == EINTR && Interrupts::take()) {
            // Drop what was typed and start a fresh line.
            rl_free_line_state();
            rl_callback_sigcleanup();
            rl_callback_handler_remove();
            std::fputs("^C\n", stdout);
            std::fflush(stdout);
            return Read::Cancelled;
        }
        if (ready > 0) rl_callback_read_char();
    }
    return g_end ? Read::End : Read::Line;
}

}  // namespace

Interrupts::Interrupts() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocked read or select returns to look at the flag
    sigaction(SIGINT, &action, &g_previous);
    rl_catch_signals = 0;  // readline leaves SIGINT to us
}

Interrupts::~Interrupts() {
    sigaction(SIGINT, &g_previous, nullptr);
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
    return std::getline(std::cin, *line) ? Read::Line : Read::End;
}

}  // namespace hmi::sim
