// The files the simulator is given and the files it writes, as a user meets them: each
// case lays out files in a temporary folder, runs the built hmisim there, and looks at
// its exit status, what it says, and the files afterwards (nothing the user had is lost).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim/engine/params_file.hpp"
#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

// A file to lay out: its text ("\\n" a line break, "\\0" a NUL byte), or "@fifo",
// "@folder", "@link TARGET", or "@params NAME KIND VALUE\\n..." for a whole parameter file
// of those entries.
struct Entry {
    const char* name = nullptr;
    const char* content = nullptr;
};

// What a file is afterwards: it holds the text (or, with a leading "!", does not), or
// "@link", "@regular".
struct After {
    const char* name = nullptr;
    const char* holds = nullptr;
};

struct FileCase {
    const char* name;
    Entry files[8] = {};
    const char* args;   // after hmisim, in the folder
    const char* input;  // standard input ("{5000x}": 5,000 bytes of x)
    int status;
    const char* says;  // a piece of standard output and error together ("{pid}": the test's)
    After after[3] = {};
    bool locked = false;  // the test holds the lock of p.txt while hmisim runs
};

void PrintTo(const FileCase& c, std::ostream* out) {
    *out << c.name;
}

// The duration dialog of a valve saves the parameters when it closes.
#define SAVE "click main bmptext20\\nclick 12 rectangle135\\nclick timeinput button8\\n"
#define SIX(line) line line line line line line

const FileCase kCases[] = {
    // record belongs to the prompt, and overwrites nothing unasked
    {"record in a scenario",
     {{"s.sim", "run 1s\\nrecord r.sim"}, {"r.sim", "keep me"}},
     "-q s.sim",
     "",
     2,
     "s.sim:2: record writes what is typed at the prompt",
     {{"r.sim", "keep me"}}},
    {"record in a scenario to check",
     {{"s.sim", "record stop"}},
     "--check s.sim",
     "",
     2,
     "s.sim:1: record writes what is typed at the prompt"},
    {"record over a file",
     {{"r.sim", "keep me"}},
     "-q --params none",
     "record r.sim\\nrun 1s\\n",
     1,
     "it exists (7 bytes, changed ",
     {{"r.sim", "keep me"}}},
    {"record over a file, replacing it",
     {{"r.sim", "old"}},
     "-q --params none",
     "record r.sim --replace\\nrun 1s\\nrecord stop\\n",
     0,
     "",
     {{"r.sim", "# recorded at the prompt\nrun 1s\n"}, {"r.sim", "!old"}}},
    {"record into an empty file",
     {{"r.sim", ""}},
     "-q --params none",
     "record r.sim\\nrun 1s\\n",
     0,
     "",
     {{"r.sim", "run 1s"}}},
    {"record to a FIFO",
     {{"r.sim", "@fifo"}},
     "-q --params none",
     "record r.sim\\n",
     1,
     "cannot record to r.sim: it is a FIFO (named pipe), not a regular file"},
    {"record to a folder",
     {{"r", "@folder"}},
     "-q --params none",
     "record r --replace\\n",
     1,
     "cannot record to r: it is a folder"},

    // loads: no cycle, a bound on what they run, checked before anything runs
    {"a scenario that loads itself",
     {{"s.sim", "say here\\nload s.sim"}},
     "s.sim",
     "",
     2,
     "s.sim:2: a cycle of loads: s.sim -> s.sim"},
    {"a cycle through others",
     {{"s.sim", "load b.sim"}, {"b.sim", "load c.sim"}, {"c.sim", "load b.sim"}},
     "--check s.sim",
     "",
     2,
     "c.sim:1: a cycle of loads: b.sim -> c.sim -> b.sim"},
    {"loads of loads past the bound",
     {{"s.sim", SIX("load b.sim\\n")},
      {"b.sim", SIX("load c.sim\\n")},
      {"c.sim", SIX("load d.sim\\n")},
      {"d.sim", SIX("load e.sim\\n")},
      {"e.sim", SIX("load f.sim\\n")},
      {"f.sim", SIX("load g.sim\\n")},
      {"g.sim", SIX("load h.sim\\n")},
      {"h.sim", SIX("touch\\n")}},
     "--check s.sim",
     "",
     2,
     "b.sim:2: with this load the lines run through loads come to 111972, more than the 100000 "
     "one run may"},
    {"the same file loaded many times within the bound",
     {{"s.sim", SIX("load b.sim\\n") "expect tag system.IsMouseDown 1"},
      {"b.sim", SIX("load c.sim\\n")},
      {"c.sim", SIX("touch\\n")}},
     "-q s.sim",
     "",
     0,
     ""},
    {"a load of a missing file to check",
     {{"s.sim", "load missing.sim"}},
     "--check s.sim",
     "",
     2,
     "s.sim:1: missing.sim: cannot be read"},
    {"a bad line in a loaded file",
     {{"s.sim", "say first\\nload b.sim"}, {"b.sim", "run 1s\\nclik"}},
     "s.sim",
     "",
     2,
     "b.sim:2: unknown command 'clik'"},

    {"a bad line in a file loaded at the prompt",
     {{"b.sim", "clik"}},
     "-q --params none",
     "load b.sim\\nrun 1s\\n",
     2,
     "b.sim:1: unknown command 'clik'"},

    // lines as a scenario's, from a file or a pipe
    {"a long line from a pipe",
     {},
     "-q --params none",
     "{5000x}\\nprint main.count\\n",
     2,
     "a line of 5000 bytes (4096 at most): "
     "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'"},
    {"a NUL in a comment", {{"s.sim", "run 1s # a\\0b"}}, "-q s.sim", "", 2, "in a comment"},
    {"a quoted text keeps its blanks",
     {{"s.sim", "set dish.iuput0 \"  lead \"\\nexpect tag dish.iuput0 \"  lead \""}},
     "-q s.sim",
     "",
     0,
     ""},
    {"a missing scenario to serve", {}, "-q --serve 0 missing.sim", "", 2, "missing.sim"},

    // the parameter file: one run saves into it, nothing of it is lost
    {"a parameter file that another run holds",
     {{"s.sim", "run 1s"}},
     "-q --params p.txt s.sim",
     "",
     2,
     "the parameter file p.txt is in use: pid {pid} holds it (p.txt.lock)",
     {},
     true},
    {"a parameter file that another run holds, read only",
     {{"s.sim", SAVE}, {"p.txt", "@params dtmain.HV203_TIME u32 77"}},
     "-q --params p.txt --params-read-only s.sim",
     "",
     0,
     "p.txt is read-only for this run",
     {{"p.txt", "dtmain.HV203_TIME u32 77\n"}, {"p.txt.bak", "!"}},
     true},
    {"read only and moving aside do not go together",
     {},
     "--params-read-only --params-move-damaged",
     "",
     2,
     "excludes"},
    {"saved entries the catalogue lacks",
     {{"s.sim", SAVE}, {"p.txt", "@params dtmain.HV203_TIME u32 77\\nzz.gone text x6f6c64"}},
     "--params p.txt s.sim",
     "",
     0,
     "1 saved parameter(s) in p.txt that this panel does not have, kept in the file as they "
     "are: 'zz.gone' (text)",
     {{"p.txt", "zz.gone text x6f6c64\n"}, {"p.txt", "dtmain.HV204_TIME u32"}}},
    {"a damaged file behind a link",
     {{"s.sim", SAVE}, {"t.txt", "damaged"}, {"p.txt", "@link t.txt"}},
     "-q --params p.txt --params-move-damaged s.sim",
     "",
     0,
     "moved the link p.txt (to the damaged file t.txt, which stays where it is, untouched) to "
     "p.txt.damaged-",
     {{"t.txt", "damaged"}, {"p.txt", "@regular"}, {"p.txt", "dtmain.HV203_TIME"}}},
};

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// "\\n" in the table is a line break, "\\0" a NUL byte.
std::string bytes(std::string text) {
    for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
    for (size_t at; (at = text.find("\\0")) != std::string::npos;) text.replace(at, 2, 1, '\0');
    for (size_t at; (at = text.find("{5000x}")) != std::string::npos;) {
        text.replace(at, 7, std::string(5000, 'x'));
    }
    return text;
}

[[maybe_unused]] std::string with_pid(std::string text) {
    size_t at = text.find("{pid}");
    if (at != std::string::npos) text.replace(at, 5, std::to_string(getpid()));
    return text;
}

[[maybe_unused]] void lay_out(const std::string& dir, const Entry& e) {
    std::string path = dir + "/" + e.name, content = e.content;
    if (content == "@fifo") {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    } else if (content == "@folder") {
        ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    } else if (content.rfind("@link ", 0) == 0) {
        ASSERT_EQ(symlink(content.substr(6).c_str(), path.c_str()), 0);
    } else if (content.rfind("@params ", 0) == 0) {
        std::string lines = bytes(content.substr(8)) + "\n";
        std::string text = "hmisim-params 1\n" + lines;
        char trailer[64];
        std::snprintf(trailer, sizeof trailer, "end %zu crc32 0x%08x\n",
                      static_cast<size_t>(std::count(lines.begin(), lines.end(), '\n')),
                      crc32(text.data(), text.size()));
        std::vector<ParamEntry> entries;
        ASSERT_EQ(parse_params(text + trailer, &entries), "") << text;
        std::ofstream(path, std::ios::binary) << text + trailer;
    } else {
        std::ofstream(path, std::ios::binary) << bytes(content);
    }
}

[[maybe_unused]] void check_after(const std::string& dir, const After& a) {
    std::string path = dir + "/" + a.name, holds = a.holds;
    struct stat st {};
    bool exists = lstat(path.c_str(), &st) == 0;
    if (holds == "@link") {
        EXPECT_TRUE(exists && S_ISLNK(st.st_mode)) << a.name << " is not a link";
    } else if (holds == "@regular") {
        EXPECT_TRUE(exists && S_ISREG(st.st_mode)) << a.name << " is not a regular file";
    } else if (holds == "!") {
        EXPECT_FALSE(exists) << a.name << " exists";
    } else if (holds.front() == '!') {
        EXPECT_EQ(read(path).find(holds.substr(1)), std::string::npos)
            << a.name << " holds " << holds.substr(1);
    } else {
        EXPECT_NE(read(path).find(holds), std::string::npos) << a.name << ":\n" << read(path);
    }
}

class FileCases : public ::testing::TestWithParam<FileCase> {};

TEST_P(FileCases, NothingIsLostAndTheStatusTellsTheTruth) {
#ifndef HMISIM_PATH
    GTEST_SKIP() << "no hmisim in this build";
#else
    const FileCase& c = GetParam();
    TempDir dir;
    for (const Entry& e : c.files) {
        if (e.name != nullptr) lay_out(dir.path, e);
    }
    std::ofstream(dir.path + "/in.txt", std::ios::binary) << bytes(c.input);
    std::optional<ParamsLock> lock;
    std::string error;
    if (c.locked) {
        ASSERT_TRUE(lock = ParamsLock::take(dir.path + "/p.txt", &error)) << error;
    }
    std::string command = "cd '" + dir.path + "' && timeout 60 '" HMISIM_PATH "' " + c.args +
                          " < in.txt > out.txt 2>&1";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    std::string out = read(dir.path + "/out.txt");
    EXPECT_EQ(WEXITSTATUS(status), c.status) << out;
    EXPECT_NE(out.find(with_pid(c.says)), std::string::npos) << out;
    for (const After& a : c.after) {
        if (a.name != nullptr) check_after(dir.path, a);
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Hmisim, FileCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FileCase>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c) {
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace hmi::sim::test
