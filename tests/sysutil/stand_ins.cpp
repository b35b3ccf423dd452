#include "tests/sysutil/stand_ins.hpp"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace hmi::test::stand_in {
namespace {

// Fixed storage: execl runs in freshly forked children, where allocating is unsafe.
constexpr int kMaxChildren = 64;
constexpr int kMaxSignals = 256;
constexpr int kMaxArguments = 64;

pid_t g_children[kMaxChildren];
int g_child_count = 0;
Signal g_signals[kMaxSignals];
int g_signal_count = 0;
char g_exec_record[4096];

bool adopted(pid_t process) {
    return process > 0 &&
           std::find(g_children, g_children + g_child_count, process) != g_children + g_child_count;
}

}  // namespace

void adopt(pid_t child) {
    if (g_child_count < kMaxChildren) g_children[g_child_count++] = child;
}

void release(pid_t child) {
    pid_t* end = std::remove(g_children, g_children + g_child_count, child);
    g_child_count = static_cast<int>(end - g_children);
}

std::vector<Signal> signals() {
    std::vector<Signal> record(g_signals, g_signals + g_signal_count);
    g_signal_count = 0;
    return record;
}

void PrintTo(const Signal& signal, std::ostream* out) {
    *out << "signal " << signal.number << " to " << signal.process
         << (signal.delivered ? "" : " (refused)");
}

void record_exec_in(const std::string& file) {
    std::snprintf(g_exec_record, sizeof g_exec_record, "%s", file.c_str());
}

void stop_recording_exec() {
    g_exec_record[0] = '\0';
}

}  // namespace hmi::test::stand_in

using namespace hmi::test::stand_in;

extern "C" int kill(pid_t process, int number) noexcept {
    bool ours = adopted(process);
    if (g_signal_count < kMaxSignals) g_signals[g_signal_count++] = {process, number, ours};
    if (!ours) {
        errno = EPERM;
        return -1;
    }
    return static_cast<int>(syscall(SYS_kill, process, number));
}

extern "C" int execl(const char* path, const char* argument, ...) noexcept {
    const char* arguments[kMaxArguments + 1];
    int count = 0;
    va_list rest;
    va_start(rest, argument);
    for (const char* next = argument; next != nullptr && count < kMaxArguments;
         next = va_arg(rest, const char*)) {
        arguments[count++] = next;
    }
    va_end(rest);
    arguments[count] = nullptr;

    if (g_exec_record[0] == '\0') return execv(path, const_cast<char* const*>(arguments));
    int fd = open(g_exec_record, O_WRONLY | O_CREAT | O_APPEND, 0600);
    dprintf(fd, "%d\t%s", static_cast<int>(getpid()), path);
    for (int i = 0; i < count; ++i) dprintf(fd, "\t%s", arguments[i]);
    dprintf(fd, "\n");
    close(fd);
    _exit(0);
}
