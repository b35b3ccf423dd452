// Starting programs, finding and stopping them in the listing, and playing sounds.
//
// A fake "ps" first on PATH lists fixed lines and the test's own children that are
// still running; the program's kill reaches only those children (stand_ins.hpp), and
// waitpid tells which of them ended by the stop signal. Every file lives in a
// temporary directory of the test.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/sysutil/exports.hpp"
#include "tests/sysutil/stand_ins.hpp"

namespace hmi::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using stand_in::Signal;

constexpr char kPlayer[] = "/home/audio/aplay";

// Waits up to `limit` for the condition.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = 10s) {
    for (auto until = Clock::now() + limit; Clock::now() < until;
         std::this_thread::sleep_for(10ms)) {
        if (condition()) return true;
    }
    return condition();
}

// A file that another process writes is read only once its line is complete.
bool whole_line(const std::string& text) {
    return !text.empty() && text.back() == '\n';
}

std::string read_file(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const fs::path& file, const std::string& text, fs::perms perms = fs::perms::none) {
    std::ofstream(file) << text;
    if (perms != fs::perms::none) fs::permissions(file, perms, fs::perm_options::add);
}

class Processes : public ::testing::Test, protected Utilities {
  protected:
    Processes() {
        char pattern[] = "/tmp/sysutil_test.XXXXXX";
        dir = mkdtemp(pattern);
        write_file(dir / "ps",
                   "#!/bin/sh\n"
                   "d='" +
                       dir.string() +
                       "'\n"
                       "echo run >> \"$d/runs\"\n"
                       "cat \"$d/listing\" 2>/dev/null\n"
                       "[ -f \"$d/live\" ] || exit 0\n"
                       "while read -r pid name; do\n"
                       "  if [ -r /proc/$pid/status ] && ! grep -q '^State:[[:space:]]*Z' "
                       "/proc/$pid/status; then\n"
                       "    printf '%5d pts/0    00:00:00 %s\\n' \"$pid\" \"$name\"\n"
                       "  fi\n"
                       "done < \"$d/live\"\n",
                   fs::perms::owner_exec);
        const char* path = getenv("PATH");
        saved_path = path != nullptr ? path : "/usr/bin:/bin";
        setenv("PATH", (dir.string() + ":" + saved_path).c_str(), 1);
        stand_in::signals();
    }

    ~Processes() override {
        stand_in::stop_recording_exec();
        setenv("PATH", saved_path.c_str(), 1);
        for (pid_t child : children) {
            ::kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            stand_in::release(child);
        }
        fs::remove_all(dir);
    }

    // A child that waits for a signal, known to kill and, if `listed_as` is given,
    // listed by the fake ps under that command while it runs.
    pid_t start_child(const std::string& listed_as = "") {
        pid_t parent = getpid();
        pid_t child = fork();
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a test that dies
            if (getppid() != parent) _exit(1);
            for (;;) pause();
        }
        children.push_back(child);
        stand_in::adopt(child);
        if (!listed_as.empty()) {
            std::ofstream(dir / "live", std::ios::app) << child << " " << listed_as << "\n";
        }
        return child;
    }

    // How the child ended: "stopped by signal N", "exit N", or "running".
    std::string end_of(pid_t child, std::chrono::milliseconds limit = 5s) {
        int status = 0;
        pid_t got = 0;
        eventually([&] { return (got = waitpid(child, &status, WNOHANG)) != 0; }, limit);
        if (got != child) return "running";
        std::erase(children, child);
        stand_in::release(child);
        if (WIFSIGNALED(status)) return "stopped by signal " + std::to_string(WTERMSIG(status));
        return "exit " + std::to_string(WEXITSTATUS(status));
    }

    void listing(const std::string& lines) { write_file(dir / "listing", lines); }
    int listings_made() {
        std::string runs = read_file(dir / "runs");
        return static_cast<int>(std::count(runs.begin(), runs.end(), '\n'));
    }
    // The execl calls recorded, one a line: the process, the path, the arguments.
    std::string exec_record() { return read_file(dir / "exec"); }
    static std::string player_start(pid_t process, const fs::path& sound) {
        return std::to_string(process) + "\t" + kPlayer + "\t" + kPlayer + "\t" + sound.string() +
               "\n";
    }
    // The one recorded call, made by a process other than this one.
    std::string detached_start() {
        std::string record = exec_record();
        pid_t process = std::atoi(record.c_str());
        EXPECT_NE(process, getpid());
        return record.substr(record.find('\t'));
    }
    static std::string player_call(const fs::path& sound) {
        std::string start = player_start(0, sound);
        return start.substr(start.find('\t'));
    }

    fs::path dir;
    std::string saved_path;
    std::vector<pid_t> children;
};

// ---- starting programs ----

TEST_F(Processes, DetachedCommandReturnsAtOnceWhileItRuns) {
    fs::path done = dir / "done";
    auto t0 = Clock::now();
    EXPECT_EQ(sys_exec_program(("sleep 1; touch " + done.string()).c_str(), 0), 0);
    EXPECT_LT(Clock::now() - t0, 500ms);
    EXPECT_FALSE(fs::exists(done));
    EXPECT_TRUE(eventually([&] { return fs::exists(done); }));
    // Every mode but 1 is the detached one.
    for (int mode : {2, -1}) EXPECT_EQ(sys_exec_program("exit 3", mode), 0) << mode;
}

TEST_F(Processes, DetachedStartCollectsOnlyItsOwnChild) {
    pid_t earlier = fork();  // a child of the caller that has ended, not yet collected
    if (earlier == 0) _exit(42);
    siginfo_t info;
    ASSERT_EQ(waitid(P_PID, earlier, &info, WEXITED | WNOWAIT), 0);

    EXPECT_EQ(sys_exec_program("true", 0), 0);
    int status = 0;
    EXPECT_EQ(waitpid(earlier, &status, WNOHANG), earlier);
    EXPECT_EQ(WEXITSTATUS(status), 42);
    // The intermediate child is collected and the command is no child of ours.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(Processes, InPlaceCommandWaitsAndGivesTheStatusOfSystem) {
    fs::path done = dir / "done";
    EXPECT_EQ(sys_exec_program(("sleep 0.2; touch " + done.string()).c_str(), 1), 0);
    EXPECT_TRUE(fs::exists(done));
    EXPECT_EQ(sys_exec_program("exit 3", 1), 3 << 8);
}

TEST_F(Processes, ProgramGetsItsPathAndOneArgumentWithoutAShell) {
    fs::path program = dir / "program";
    write_file(program,
               "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$0\" \"$1\" \"$#\" > \"$0.args\"\nexit 7\n",
               fs::perms::owner_exec);
    std::string argument = "a b; touch " + (dir / "shell").string();

    EXPECT_EQ(sys_exec_program_arg1(program.c_str(), argument.c_str(), 0), 0);
    EXPECT_TRUE(eventually([&] { return whole_line(read_file(dir / "program.args")); }));
    EXPECT_EQ(read_file(dir / "program.args"), program.string() + "|" + argument + "|1\n");
    EXPECT_FALSE(fs::exists(dir / "shell"));
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // the program is no child of ours

    // A program that cannot start: the detached form only tried.
    EXPECT_EQ(sys_exec_program_arg1((dir / "missing").c_str(), "x", 0), 0);
}

// The caller's descriptors above standard error, made without close-on-exec: the
// started program reports which of them it still has.
class Descriptors {
  public:
    Descriptors() {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        numbers = {ends[0], ends[1], fcntl(ends[1], F_DUPFD, 200)};
    }
    ~Descriptors() {
        for (int fd : numbers) close(fd);
    }
    // A shell command that writes "<fd> kept" or "<fd> closed" for standard error and
    // each of them, on one line, into `report`.
    std::string check_into(const fs::path& report) const {
        std::string list = "2";
        for (int fd : numbers) list += " " + std::to_string(fd);
        return "r=; for fd in " + list +
               "; do if [ -L /proc/$$/fd/$fd ]; then r=\"$r $fd kept\"; else r=\"$r $fd "
               "closed\"; fi; done; echo \"$r\" > '" +
               report.string() + "'";
    }
    std::string expected(const char* state) const {
        std::string line = " 2 kept";
        for (int fd : numbers) line += " " + std::to_string(fd) + " " + state;
        return line + "\n";
    }
    std::vector<int> numbers;
};

TEST_F(Processes, DetachedStartLeavesTheCallersDescriptorsBehind) {
    Descriptors held;
    fs::path report = dir / "detached";
    EXPECT_EQ(sys_exec_program(held.check_into(report).c_str(), 0), 0);
    ASSERT_TRUE(eventually([&] { return whole_line(read_file(report)); }));
    EXPECT_EQ(read_file(report), held.expected("closed"));

    fs::path program = dir / "program";
    write_file(program, "#!/bin/sh\n" + held.check_into(dir / "program.fds") + "\n",
               fs::perms::owner_exec);
    EXPECT_EQ(sys_exec_program_arg1(program.c_str(), "x", 0), 0);
    ASSERT_TRUE(eventually([&] { return whole_line(read_file(dir / "program.fds")); }));
    EXPECT_EQ(read_file(dir / "program.fds"), held.expected("closed"));
}

TEST_F(Processes, WaitingAndInPlaceStartsKeepTheCallersDescriptors) {
    Descriptors held;
    fs::path report = dir / "waited";
    EXPECT_EQ(sys_exec_program(held.check_into(report).c_str(), 1), 0);
    EXPECT_EQ(read_file(report), held.expected("kept"));

    fs::path program = dir / "program";
    write_file(program, "#!/bin/sh\n" + held.check_into(dir / "program.fds") + "\n",
               fs::perms::owner_exec);
    pid_t caller = fork();
    if (caller == 0) _exit(100 + sys_exec_program_arg1(program.c_str(), "x", 1));
    int status = 0;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    EXPECT_EQ(WEXITSTATUS(status), 0);  // the caller became the program
    EXPECT_EQ(read_file(dir / "program.fds"), held.expected("kept"));
}

TEST_F(Processes, InPlaceProgramReplacesTheCallerOrGivesMinusOne) {
    fs::path program = dir / "program";
    write_file(program, "#!/bin/sh\necho \"$1\" > \"$0.args\"\nexit 7\n", fs::perms::owner_exec);
    pid_t caller = fork();
    if (caller == 0) _exit(100 + sys_exec_program_arg1(program.c_str(), "hello", 1));
    int status = 0;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    EXPECT_EQ(WEXITSTATUS(status), 7);  // the caller became the program
    EXPECT_EQ(read_file(dir / "program.args"), "hello\n");

    EXPECT_EQ(sys_exec_program_arg1((dir / "missing").c_str(), "hello", 1), -1);
}

// ---- the listing ----

TEST_F(Processes, PatternIsLookedForInBlocksOf255Bytes) {
    struct Case {
        std::string listing;
        const char* pattern;
        int found;
    } cases[] = {
        {"  PID TTY          TIME CMD\n  412 ?        00:00:01 /home/audio/aplay a.wav\n", "aplay",
         1},
        {"  PID TTY          TIME CMD\n  412 ?        00:00:01 /bin/sh\n", "aplay", 0},
        {"  PID TTY          TIME CMD\n", "", 1},
        {"", "", 1},  // the first, empty block already holds the empty pattern
        {std::string(252, 'x') + "aplay\n", "aplay", 0},  // split between two blocks
        {std::string(255, 'x') + "aplay\n", "aplay", 1},  // whole in the second block
        {std::string(250, 'x') + "aplay\n", "aplay", 1},  // at the end of the first
    };
    for (const Case& c : cases) {
        listing(c.listing);
        EXPECT_EQ(is_process_run(c.pattern), c.found)
            << c.pattern << " in " << c.listing.size() << " bytes";
    }
    EXPECT_EQ(listings_made(), 7);
}

TEST_F(Processes, KillProgramStopsEveryMatchingProcessInListingOrder) {
    pid_t first = start_child(), bystander = start_child(), second = start_child();
    listing("  PID TTY          TIME CMD\n" + std::to_string(first) +
            " ?        00:00:00 victim --one\n" + std::to_string(bystander) +
            " ?        00:00:00 bystander\n" + std::to_string(second) +
            " ?        00:00:00 /usr/bin/victim\n");
    EXPECT_EQ(kill_program("victim"), 0);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{first, 15, true}, {second, 15, true}}));
    EXPECT_EQ(end_of(first), "stopped by signal 15");
    EXPECT_EQ(end_of(second), "stopped by signal 15");
    EXPECT_EQ(end_of(bystander, 200ms), "running");

    EXPECT_EQ(kill_program("nothing-like-it"), 0);
    EXPECT_EQ(stand_in::signals(), std::vector<Signal>{});
}

// Lines that match but give no process number that may be signalled, and lines
// whose reads are cut at 254 characters.
TEST_F(Processes, HostileListingSignalsOnlyProcessesItReallyNames) {
    pid_t whole = start_child(), cut = start_child(), long_line = start_child(),
          after = start_child();
    auto id = [](pid_t p) { return std::to_string(p); };
    auto padded = [](std::string line, char fill) {  // exactly 254 characters
        line.resize(254, fill);
        return line;
    };
    std::string hostile =
        "aplay without a number\n"
        "    0 ?        00:00:00 aplay\n"
        "-" +
        id(cut) + " ?        00:00:00 aplay\n" + std::to_string((1ull << 32) + cut) +
        " ? aplay\n"  // cut down to a real child
        "99999999999999999999999999 ? aplay\n"
        "4294967297 ? aplay\n"  // 1 when cut to 32 bits
        "2147483648 ? aplay\n"
        "+" +
        id(cut) + " ? aplay\n" + id(cut) + "/aplay\n" + "aplay " + id(cut) + "\n" +
        // the second read of a long line begins with digits and holds the pattern
        padded("  " + id(long_line) + " ?        00:00:00 sh -c ", 'y') + id(cut) + " aplay\n" +
        // a line of exactly 254 characters, then a line of its own
        padded("  " + id(whole) + " ?        00:00:00 aplay ", 'z') + "\n" + "  " + id(after) +
        " ?        00:00:00 aplay\n";
    listing(hostile);

    EXPECT_EQ(kill_program("aplay"), 0);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{whole, 15, true}, {after, 15, true}}));
    EXPECT_EQ(end_of(whole), "stopped by signal 15");
    EXPECT_EQ(end_of(after), "stopped by signal 15");
    EXPECT_EQ(end_of(cut, 200ms), "running");
    EXPECT_EQ(end_of(long_line, 10ms), "running");

    // The player's stop skips the same lines and acts on the first usable one.
    stand_in::signals();
    EXPECT_EQ(audio_stop_play(), 1);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{whole, 15, false}}));
}

// No pattern, or the empty one that every line holds, names no program: the caller,
// its parent and process 1 are listed, and nothing is signalled nor even listed.
TEST_F(Processes, NullOrEmptyPatternSignalsNothing) {
    pid_t child = start_child();
    listing("  PID TTY          TIME CMD\n    1 ?        00:00:01 init\n" +
            std::to_string(getppid()) + " ?        00:00:00 make\n" + std::to_string(getpid()) +
            " ?        00:00:00 sysutil_tests\n" + std::to_string(child) +
            " ?        00:00:00 sleeper\n");
    EXPECT_EQ(kill_program(nullptr), -1);
    EXPECT_EQ(kill_program(""), -1);
    EXPECT_EQ(is_process_run(nullptr), -1);
    EXPECT_EQ(listings_made(), 0);
    EXPECT_EQ(stand_in::signals(), std::vector<Signal>{});
    EXPECT_EQ(end_of(child, 200ms), "running");

    EXPECT_EQ(is_process_run(""), 1);  // the empty pattern is found at once, as ever
    EXPECT_EQ(listings_made(), 1);
}

// Process 1 is never signalled, however the listing names it; the player's stop then
// acts on the next player line.
TEST_F(Processes, ProcessOneIsNeverSignalled) {
    pid_t victim = start_child(), player = start_child();
    listing(
        "  PID TTY          TIME CMD\n"
        "    1 ?        00:00:01 /sbin/init victim aplay\n"
        "00001 ?        00:00:00 victim aplay\n"
        "1\tvictim aplay\n" +
        std::to_string(victim) + " ?        00:00:00 victim\n" + std::to_string(player) +
        " ?        00:00:00 /home/audio/aplay a.wav\n");
    EXPECT_EQ(kill_program("victim"), 0);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{victim, 15, true}}));
    EXPECT_EQ(audio_stop_play(), 1);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{player, 15, true}}));
    EXPECT_EQ(end_of(victim), "stopped by signal 15");
    EXPECT_EQ(end_of(player), "stopped by signal 15");
}

// A NUL byte is a byte of its line: the next line is still a line of its own, and a
// pattern after the NUL is still in the line.
TEST_F(Processes, NulInsideALineHidesNothing) {
    pid_t before = start_child(), after = start_child(), last = start_child(),
          bystander = start_child();
    auto id = [](pid_t p) { return std::to_string(p); };
    using namespace std::string_literals;
    listing("  PID TTY          TIME CMD\n"s + id(bystander) + " ?        00:00:00 vic\0tim\n"s +
            id(after) + " ?        00:00:00 victim\n" + id(before) +
            " ?        00:00:00 sh\0 victim\n"s + std::string(200, 'x') + "\0"s +
            std::string(100, 'y') + "\n" + "  " + id(last) + " ? victim again\n");
    EXPECT_EQ(kill_program("victim"), 0);
    EXPECT_EQ(stand_in::signals(),
              (std::vector<Signal>{{after, 15, true}, {before, 15, true}, {last, 15, true}}));
    EXPECT_EQ(end_of(after), "stopped by signal 15");
    EXPECT_EQ(end_of(before), "stopped by signal 15");
    EXPECT_EQ(end_of(last), "stopped by signal 15");
    EXPECT_EQ(end_of(bystander, 200ms), "running");
}

TEST_F(Processes, NulInsideALineDoesNotHideThePlayer) {
    pid_t player = start_child();
    using namespace std::string_literals;
    listing("  PID TTY          TIME CMD\n    7 ?        00:00:00 b\0ash\n"s +
            std::to_string(player) + " ?        00:00:00 /home/audio/aplay a.wav\n");
    EXPECT_EQ(audio_stop_play(), 1);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{player, 15, true}}));
    EXPECT_EQ(end_of(player), "stopped by signal 15");
}

TEST_F(Processes, StopPlayStopsOnlyTheFirstPlayer) {
    pid_t first = start_child(), second = start_child();
    listing("  PID TTY          TIME CMD\n    7 ?        00:00:00 bash\n" + std::to_string(first) +
            " ?        00:00:00 /home/audio/aplay a.wav\n" + std::to_string(second) +
            " ?        00:00:00 /home/audio/aplay b.wav\n");
    EXPECT_EQ(audio_stop_play(), 1);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{first, 15, true}}));
    EXPECT_EQ(end_of(first), "stopped by signal 15");
    EXPECT_EQ(end_of(second, 200ms), "running");

    listing("  PID TTY          TIME CMD\n    7 ?        00:00:00 bash\n");
    EXPECT_EQ(audio_stop_play(), 1);  // no player: still 1
    EXPECT_EQ(stand_in::signals(), std::vector<Signal>{});
}

// ---- sounds ----

TEST_F(Processes, PlayStartsThePlayerAtOnceWhenNoneRuns) {
    listing("  PID TTY          TIME CMD\n");
    stand_in::record_exec_in((dir / "exec").string());
    fs::path sound = dir / "bell.wav";
    EXPECT_EQ(audio_play_wav(sound.c_str(), 0), 1);
    EXPECT_EQ(listings_made(), 2);  // the stop, then one check and no sleep
    ASSERT_TRUE(eventually([&] { return whole_line(exec_record()); }));
    EXPECT_EQ(detached_start(), player_call(sound));
    EXPECT_EQ(stand_in::signals(), std::vector<Signal>{});
}

TEST_F(Processes, PlayStopsTheRunningPlayerThenStartsTheNewSound) {
    pid_t old = start_child("/home/audio/aplay /tmp/old.wav");
    stand_in::record_exec_in((dir / "exec").string());
    fs::path sound = dir / "bell.wav";
    EXPECT_EQ(audio_play_wav(sound.c_str(), 0), 1);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{old, 15, true}}));
    EXPECT_EQ(end_of(old), "stopped by signal 15");
    ASSERT_TRUE(eventually([&] { return whole_line(exec_record()); }));
    EXPECT_EQ(detached_start(), player_call(sound));
}

TEST_F(Processes, PlayGivesUpAfter21ChecksWhileAPlayerIsStillListed) {
    pid_t first = start_child("/home/audio/aplay one.wav");
    pid_t second = start_child("/home/audio/aplay two.wav");
    stand_in::record_exec_in((dir / "exec").string());
    auto t0 = Clock::now();
    EXPECT_EQ(audio_play_wav("three.wav", 0), 0);
    EXPECT_GE(Clock::now() - t0, 2100ms);
    EXPECT_EQ(listings_made(), 1 + 21);
    EXPECT_EQ(stand_in::signals(), (std::vector<Signal>{{first, 15, true}}));
    EXPECT_EQ(end_of(second, 10ms), "running");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(exec_record(), "");  // nothing started
}

TEST_F(Processes, PlayInPlaceBecomesThePlayer) {
    listing("  PID TTY          TIME CMD\n");
    stand_in::record_exec_in((dir / "exec").string());
    fs::path sound = dir / "bell.wav";
    pid_t caller = fork();
    if (caller == 0) _exit(audio_play_wav(sound.c_str(), 1) == 1 ? 2 : 3);  // not reached
    int status = 0;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    EXPECT_EQ(WEXITSTATUS(status), 0);  // ended in execl, as the player
    EXPECT_EQ(exec_record(), player_start(caller, sound));
}

}  // namespace
}  // namespace hmi::test
