// Starting, finding and stopping the panel's programs, and playing its sounds through
// the panel's player. Plain C library calls only: this code runs in whatever process
// loaded the library, and in the children it makes.
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "plugin/export.hpp"
#include "plugin/hmi_abi.h"

namespace {

constexpr char kLister[] = "ps";
constexpr char kPlayer[] = "/home/audio/aplay";
constexpr char kPlayerName[] = "aplay";  // how the player shows in the listing
constexpr int kStopSignal = SIGTERM;
static_assert(kStopSignal == 15);

constexpr size_t kListingBuffer = 256;
constexpr int kReadLimit = 255;  // per read: a block of 255 bytes, or 254 characters and a NUL
constexpr int kPlayerChecks = 21;
constexpr useconds_t kCheckPause = 100000;  // 100 ms

constexpr unsigned long kLargestProcess = INT_MAX;  // pid_t is a signed int
static_assert(sizeof(pid_t) == sizeof(int));
constexpr unsigned long kInit = 1;  // never signalled, whatever the listing says

constexpr int kFirstInherited = 3;  // above standard input, output and error
constexpr int kAssumedOpenMax = 1024;

// Closes every descriptor above standard error, so that the started program holds
// none of the caller's sockets, pipes and files: a pipe the caller reads then ends
// when its writers end, not when the program does.
void close_inherited() {
#ifdef SYS_close_range
    // Through syscall, not the C library's close_range: that wrapper is recent, and a
    // library naming it would not load on a panel whose C library is older.
    if (syscall(SYS_close_range, kFirstInherited, ~0U, 0) == 0) return;  // kernels without it
#endif
    long limit = sysconf(_SC_OPEN_MAX);
    if (limit <= 0 || limit > INT_MAX) limit = kAssumedOpenMax;
    for (int fd = kFirstInherited; fd < limit; ++fd) close(fd);
}

// Forks twice, so that the program runs in a grandchild that the caller never has
// to collect. Returns true in the grandchild, which must end with _exit and keeps
// only descriptors 0 to 2; false in the caller, once the intermediate child has
// ended, or at once when no child could be made (then nothing is started).
bool fork_detached() {
    pid_t child = fork();
    if (child < 0) return false;
    if (child > 0) {
        // Only the child just made: the caller's other children are not ours to collect.
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) continue;
        return false;
    }
    if (fork() != 0) _exit(0);  // also when the second fork fails: nothing is started
    close_inherited();
    return true;
}

// The process number a listing line begins with (after blanks), or 0 when it gives
// none that may be signalled: no digit first (so never a sign, which would name a
// process group), 0 (the caller's own process group), 1 (init), a number too large
// for a process number (it must not be cut down into another one), or digits
// running into other text.
pid_t process_number(const char* line) {
    while (*line == ' ' || *line == '\t') ++line;
    if (*line < '0' || *line > '9') return 0;
    errno = 0;
    char* end = nullptr;
    unsigned long number = strtoul(line, &end, 10);
    if (errno == ERANGE || number > kLargestProcess || number == kInit) return 0;
    if (*end != ' ' && *end != '\t' && *end != '\n') return 0;
    return static_cast<pid_t>(number);
}

// One read of the listing, line by line: at most 254 characters, so a longer line
// comes in several reads, and only the first of them begins with its process number.
// A NUL byte inside a line is kept as a byte of it: it neither ends the read early
// nor joins the next line to this one.
struct ListingLine {
    char text[kListingBuffer];
    size_t length;         // the bytes read, NULs among them
    pid_t process;         // 0 when the read gives no process number
    bool at_start = true;  // the next read begins a line
};

// fgets ends what it read with a NUL and leaves the rest of the buffer as it was, so
// over a buffer without NULs its own NUL is the last one.
constexpr char kUnread = '\x7f';

bool read_line(FILE* listing, ListingLine& line) {
    bool begins_line = line.at_start;
    memset(line.text, kUnread, sizeof line.text);
    if (fgets(line.text, kReadLimit, listing) == nullptr) return false;
    size_t end = kReadLimit - 1;
    while (end > 0 && line.text[end] != '\0') --end;
    line.length = end;
    line.at_start = end > 0 && line.text[end - 1] == '\n';
    line.process = begins_line ? process_number(line.text) : 0;
    return true;
}

// Whether the pattern occurs in the read: in any of its NUL-separated pieces, since a
// pattern holds no NUL.
bool mentions(const ListingLine& line, const char* pattern) {
    for (const char* piece = line.text; piece < line.text + line.length;
         piece += strlen(piece) + 1) {
        if (strstr(piece, pattern) != nullptr) return true;
    }
    return false;
}

}  // namespace

HMI_EXPORT int sys_exec_program(const char* command, int mode) {
    if (mode == 1) return system(command);
    if (fork_detached()) {
        int status = system(command);  // nobody is left to tell
        (void)status;
        _exit(-1);
    }
    return 0;
}

HMI_EXPORT int sys_exec_program_arg1(const char* path, const char* argument, int mode) {
    // In place: on success the calling process becomes the program and this never returns.
    if (mode == 1) return execl(path, path, argument, static_cast<char*>(nullptr));
    if (fork_detached()) {
        execl(path, path, argument, static_cast<char*>(nullptr));
        _exit(-1);
    }
    return 0;
}

HMI_EXPORT int is_process_run(const char* pattern) {
    if (pattern == nullptr) return -1;
    FILE* listing = popen(kLister, "r");
    if (listing == nullptr) return -1;
    char block[kListingBuffer];
    for (;;) {
        // Blocks, not lines: a name split across two blocks is not found there.
        memset(block, 0, sizeof block);
        size_t got = fread(block, 1, kReadLimit, listing);
        if (strstr(block, pattern) != nullptr) {
            pclose(listing);
            return 1;
        }
        if (got < static_cast<size_t>(kReadLimit)) break;  // the end, or a failed read
    }
    pclose(listing);
    return 0;
}

HMI_EXPORT int kill_program(const char* pattern) {
    // No pattern, or one that every line holds, names no program: nothing is signalled.
    if (pattern == nullptr || pattern[0] == '\0') return -1;
    FILE* listing = popen(kLister, "r");
    if (listing == nullptr) return -1;
    ListingLine line;
    while (read_line(listing, line)) {
        if (line.process > 0 && mentions(line, pattern)) {
            kill(line.process, kStopSignal);
        }
    }
    pclose(listing);
    return 0;
}

HMI_EXPORT int audio_stop_play(void) {
    FILE* listing = popen(kLister, "r");
    if (listing == nullptr) return 0;
    ListingLine line;
    while (read_line(listing, line)) {
        if (line.process > 0 && mentions(line, kPlayerName)) {
            kill(line.process, kStopSignal);
            break;  // only the first player
        }
    }
    pclose(listing);
    return 1;
}

HMI_EXPORT int audio_play_wav(const char* file, int mode) {
    audio_stop_play();
    // A new sound starts only once no player is listed any more; a listing that
    // cannot be made counts as a player still there.
    for (int check = 0; check < kPlayerChecks; ++check) {
        if (is_process_run(kPlayerName) == 0) {
            sys_exec_program_arg1(kPlayer, file, mode);
            return 1;
        }
        usleep(kCheckPause);
    }
    return 0;
}
