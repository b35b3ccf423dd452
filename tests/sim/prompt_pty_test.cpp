// The prompt at a terminal (a pseudo-terminal the test opens): Ctrl-C cancels the line
// being typed and stops a running run at the simulated moment it has reached, and the
// program goes on until quit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

// hmisim on the slave side of a pseudo-terminal; the test types on the master side.
class Terminal {
  public:
    explicit Terminal(const std::string& state_dir) {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            setenv("XDG_STATE_HOME", state_dir.c_str(), 1);  // history and parameters
            setenv("TZ", "UTC", 1);
            setenv("TERM", "dumb", 1);
            execl(HMISIM_PATH, "hmisim", "-i", "--params", "none", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);  // the program this test started, if a check left it running
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }
    bool started() const { return pid_ > 0; }

    void type(const std::string& keys) {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    // Reads until `text` appears after what earlier waits consumed. The limit only keeps a
    // broken program from hanging the suite; no check depends on how long anything takes.
    bool wait_for(const std::string& text) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            size_t at = seen_.find(text, consumed_);
            if (at != std::string::npos) {
                consumed_ = at + text.size();
                return true;
            }
            if (std::chrono::steady_clock::now() > limit) return false;
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char buffer[4096];
            ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) return false;  // the program has gone
            seen_.append(buffer, static_cast<size_t>(n));
        }
    }

    // The exit status, once the program has ended by itself.
    int status() {
        // What came after the last wait is kept: the lines written just before the end.
        char buffer[4096];
        for (ssize_t n; (n = read(master_, buffer, sizeof buffer)) > 0;) {
            seen_.append(buffer, static_cast<size_t>(n));
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return status;
    }
    const std::string& seen() const { return seen_; }

  private:
    pid_t pid_ = -1;
    int master_ = -1;
    bool reaped_ = false;
    std::string seen_;
    size_t consumed_ = 0;
};

TEST(PromptAtATerminal, CtrlCCancelsTheLineAndStopsARunButNeverEndsTheProgram) {
    TempDir state;
    Terminal t(state.path);
    ASSERT_TRUE(t.started());
    ASSERT_TRUE(t.wait_for("> ")) << t.seen();

    // A line half typed, then Ctrl-C: nothing of it runs.
    t.type("clik");
    ASSERT_TRUE(t.wait_for("clik")) << t.seen();
    t.type("\x03");
    ASSERT_TRUE(t.wait_for("^C")) << t.seen();
    t.type("print main.count\r");
    ASSERT_TRUE(t.wait_for("main.count = 0")) << t.seen();
    EXPECT_EQ(t.seen().find("unknown command"), std::string::npos) << t.seen();

    // A long run, stopped: the prompt comes back at the moment the run reached.
    // The Ctrl-C comes only once the prompt itself has taken the run line: one typed
    // ahead still waits in the terminal, whose Ctrl-C throws it away unread.
    t.type("trace quiet\r");
    t.type("run 1000h\r");
    ASSERT_TRUE(t.wait_for("> run 1000h\r\n")) << t.seen();
    t.type("\x03");
    ASSERT_TRUE(t.wait_for("run stopped at ")) << t.seen();
    ASSERT_TRUE(t.wait_for(" by Ctrl-C")) << t.seen();
    ASSERT_TRUE(t.wait_for("> ")) << t.seen();

    t.type("quit\r");
    int status = t.status();
    EXPECT_TRUE(WIFEXITED(status)) << t.seen();
    EXPECT_EQ(WEXITSTATUS(status), 0) << t.seen();
}

// A dialog at the terminal offers only what its box gives, asks again after a refused
// or unknown answer (never running it as a command), and Ctrl-C closes it as the panel's
// close does, saying so.
TEST(PromptAtATerminal, AQuestionAsksAgainUntilItsBoxCanGiveTheAnswer) {
    TempDir state;
    Terminal t(state.path);
    ASSERT_TRUE(t.started());
    ASSERT_TRUE(t.wait_for("> ")) << t.seen();
    // Window 12 in automatic mode asks before it goes to manual mode (text5).
    t.type("trace quiet\rclick main bmptext20\rclick 12 text2\rrun 1s\rtrace normal\r");
    t.type("click 12 text5\r");
    ASSERT_TRUE(t.wait_for("yes or no (Ctrl-C closes it): ")) << t.seen();
    t.type("ok\r");
    ASSERT_TRUE(t.wait_for("'ok' is not an answer of this box: yes (6) or no (7)")) << t.seen();
    ASSERT_TRUE(t.wait_for("(Ctrl-C closes it): ")) << t.seen();
    t.type("no\r");
    ASSERT_TRUE(t.wait_for("-> no (7)")) << t.seen();
    ASSERT_TRUE(t.wait_for("> ")) << t.seen();

    t.type("click 12 text5\r");
    ASSERT_TRUE(t.wait_for("(Ctrl-C closes it): ")) << t.seen();
    t.type("\x03");
    ASSERT_TRUE(t.wait_for("closed by Ctrl-C: the message box answers 0")) << t.seen();
    ASSERT_TRUE(t.wait_for("-> 0")) << t.seen();
    ASSERT_TRUE(t.wait_for("> ")) << t.seen();
    t.type("quit\r");
    int status = t.status();
    EXPECT_TRUE(WIFEXITED(status)) << t.seen();
    EXPECT_EQ(WEXITSTATUS(status), 0) << t.seen();
}

TEST(PromptAtATerminal, AnInputAsksAgainAfterARefusedValueAndQuitCancelsItAndEnds) {
    TempDir state;
    Terminal t(state.path);
    ASSERT_TRUE(t.started());
    ASSERT_TRUE(t.wait_for("> ")) << t.seen();
    // A valve's duration dialog: hours 0..100, minutes 0..59.
    t.type("click main bmptext20\rclick 12 rectangle135\rclick timeinput text2\r");
    ASSERT_TRUE(t.wait_for("a number, or nothing to cancel: ")) << t.seen();
    t.type("150\r");
    ASSERT_TRUE(t.wait_for("150 is outside the dialog's limits 0 to 100: give another"))
        << t.seen();
    t.type("two\r");
    ASSERT_TRUE(t.wait_for("'two' is not a number (or cancel): give another")) << t.seen();
    t.type("7\r");
    ASSERT_TRUE(t.wait_for("-> 7 stored")) << t.seen();
    ASSERT_TRUE(t.wait_for("> ")) << t.seen();

    // Asked from a loaded scenario: quit ends the scenario's lines too.
    std::ofstream(state.path + "/asks.sim") << "click timeinput text4\nsay after the dialog\n";
    t.type("load " + state.path + "/asks.sim\r");
    ASSERT_TRUE(t.wait_for("a number, or nothing to cancel: ")) << t.seen();
    t.type("quit\r");
    ASSERT_TRUE(t.wait_for("closed by quit: the input dialog is cancelled")) << t.seen();
    int status = t.status();
    EXPECT_TRUE(WIFEXITED(status)) << t.seen();
    EXPECT_EQ(WEXITSTATUS(status), 0) << t.seen();
    EXPECT_EQ(t.seen().find("unknown command"), std::string::npos) << t.seen();
    EXPECT_NE(t.seen().find("-> cancelled"), std::string::npos) << t.seen();
    EXPECT_EQ(t.seen().find("after the dialog"), std::string::npos) << t.seen();
}

}  // namespace
}  // namespace hmi::sim::test
