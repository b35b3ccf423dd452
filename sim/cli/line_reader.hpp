// Lines from the person: at a terminal through readline, with history and completion,
// where Ctrl-C cancels the line being typed; from a pipe as plain lines.
//
// While an Interrupts object lives, Ctrl-C (SIGINT) does not end the program: it only
// raises a flag that the prompt and a running `run` look at.
#pragma once

#include <string>

namespace hmi::sim {

class Interrupts {
  public:
    Interrupts();   // catches SIGINT
    ~Interrupts();  // gives it back as it was
    Interrupts(const Interrupts&) = delete;
    Interrupts& operator=(const Interrupts&) = delete;

    static bool pending();  // Ctrl-C since the last take()
    static bool take();     // pending(), and clears it
};

enum class Read {
    Line,       // a line was read
    Cancelled,  // Ctrl-C while it was being typed: nothing of it stays
    End,        // end of input
    TooLong,    // a line from a pipe longer than a scenario's: *line says so, the next one follows
};

// `tty`: read through readline, else plain lines from standard input, each of at most
// host::kMostLineBytes as in a scenario file; a longer one is read past to its end
// without being kept.
Read read_line(const std::string& prompt, bool tty, std::string* line);

}  // namespace hmi::sim
