// Starting, finding and stopping the panel's programs, and playing its sounds through
// the panel's player. Plain C library calls only: this code runs in whatever process
// loaded the library, and in the children it makes.
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

// Forks twice, so that the program runs in a grandchild that the caller never has
// to collect. Returns true in the grandchild, which must end with _exit; false in
// the caller, once the intermediate child has ended, or at once when no child
// could be made (then nothing is started).
bool fork_detached() {
    pid_t child = fork();
    if (child < 0) return false;
    if (child > 0) {
        // Only the child just made: the caller's other children are not ours to collect.
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) continue;
        return false;
    }
    if (fork() != 0) _exit(0);  // also when the second fork fails: nothing is started
    return true;
}

// The process number a listing line begins with (after blanks), or 0 when it gives
// none that may be signalled: no digit first (so never a sign, which would name a
// process group), 0 (the caller's own process group), a number too large for a
// process number (it must not be cut down into another one), or digits running
// into other text.
pid_t process_number(const char* line) {
    while (*line == ' ' || *line == '\t') ++line;
    if (*line < '0' || *line > '9') return 0;
    errno = 0;
    char* end = nullptr;
    unsigned long number = strtoul(line, &end, 10);
    if (errno == ERANGE || number > kLargestProcess) return 0;
    if (*end != ' ' && *end != '\t' && *end != '\n') return 0;
    return static_cast<pid_t>(number);
}

// One read of the listing, line by line: at most 254 characters, so a longer line
// comes in several reads, and only the first of them begins with its process number.
struct ListingLine {
    char text[kListingBuffer];
    pid_t process;         // 0 when the read gives no process number
    bool at_start = true;  // the next read begins a line
};

bool read_line(FILE* listing, ListingLine& line) {
    bool begins_line = line.at_start;
    if (fgets(line.text, kReadLimit, listing) == nullptr) return false;
    line.at_start = strchr(line.text, '\n') != nullptr;
    line.process = begins_line ? process_number(line.text) : 0;
    return true;
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
    FILE* listing = popen(kLister, "r");
    if (listing == nullptr) return -1;
    ListingLine line;
    while (read_line(listing, line)) {
        if (line.process > 0 && strstr(line.text, pattern) != nullptr) {
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
        if (line.process > 0 && strstr(line.text, kPlayerName) != nullptr) {
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
