// The parameter file is taken whole or not at all, nothing saved in it is ever lost: a
// damaged file is never overwritten, each save keeps the previous good file, a failed save
// leaves the old file, and a save killed at any moment leaves the old file or the new one.
// Real files in a temporary folder.
#include "sim/engine/params_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <thread>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

// The whole file, whatever its size (the simulator's own reader refuses large ones).
std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

namespace fs = std::filesystem;

ParamEntry entry(const std::string& name, host::Kind kind, const std::string& value) {
    ParamEntry e{name, kind, std::vector<unsigned char>(host::width(kind))};
    if (kind == host::Kind::Text) {
        std::memcpy(e.value.data(), value.data(), value.size());
    } else {
        EXPECT_EQ(host::parse_value(kind, value, e.value.data()), "");
    }
    return e;
}

std::vector<ParamEntry> entries_a() {
    return {entry("dtmain.HV201_TIME", host::Kind::U32, "4294967295"),
            entry("x.small", host::Kind::I16, "-32768"), entry("x.level", host::Kind::F32, "-0.1"),
            entry("x.name", host::Kind::Text, "a \"quoted\" text\twith # and \xcc\xe1")};
}

std::vector<ParamEntry> entries_b(int count = 40) {
    std::vector<ParamEntry> b;
    for (int i = 0; i < count; ++i) {
        b.push_back(entry("dtmain.HV" + std::to_string(200 + i) + "_TIME", host::Kind::U32,
                          std::to_string(1000 + i)));
    }
    return b;
}

bool same(const std::vector<ParamEntry>& x, const std::vector<ParamEntry>& y) {
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (x[i].name != y[i].name || x[i].kind != y[i].kind || x[i].value != y[i].value) {
            return false;
        }
    }
    return true;
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every name in a folder with its type and, for a file, its bytes and mode.
std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        struct stat st {};
        lstat(e.path().c_str(), &st);
        std::string what = std::to_string(st.st_mode);
        if (S_ISREG(st.st_mode)) what += " " + file_bytes(e.path().string());
        if (S_ISLNK(st.st_mode)) what += " -> " + fs::read_symlink(e.path()).string();
        out[e.path().filename().string()] = what;
    }
    return out;
}

std::vector<std::string> temporaries(const std::string& dir) {
    std::vector<std::string> out;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        std::string name = e.path().filename().string();
        if (name.find(".tmp.") != std::string::npos) out.push_back(name);
    }
    return out;
}

unsigned mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// The pid of a process that has ended.
pid_t ended_process() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(ParamsFile, EveryKindOfValueComesBackAsItWasSaved) {
    TempDir dir;
    std::string path = dir.path + "/params.txt";
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    std::vector<ParamEntry> loaded;
    std::string error;
    ASSERT_EQ(load_params_file(path, &loaded, &error), LoadResult::Loaded) << error;
    EXPECT_TRUE(same(loaded, entries_a()));
    EXPECT_EQ(file_bytes(path).substr(0, 49),
              "hmisim-params 1\ndtmain.HV201_TIME u32 4294967295\n");
    EXPECT_EQ(load_params_file(dir.path + "/none.txt", &loaded, &error), LoadResult::Missing);
}

TEST(ParamsFile, NoCutOffOrAlteredFileIsTaken) {
    std::string whole = format_params(entries_a());
    std::vector<ParamEntry> loaded;
    ASSERT_EQ(parse_params(whole, &loaded), "");
    for (size_t n = 0; n < whole.size(); ++n) {
        EXPECT_NE(parse_params(whole.substr(0, n), &loaded), "") << "cut at " << n;
    }
    for (size_t i = 0; i < whole.size(); ++i) {
        for (unsigned char bit : {0x01, 0x20, 0x80}) {
            std::string altered = whole;
            altered[i] = static_cast<char>(altered[i] ^ bit);
            EXPECT_NE(parse_params(altered, &loaded), "") << "byte " << i << " bit " << int(bit);
        }
    }
    EXPECT_EQ(parse_params(whole + "x", &loaded), "line 6: text follows the trailer");
    EXPECT_EQ(parse_params(whole + "x\n", &loaded), "line 6: text follows the trailer");
}

// A file of these lines with the right trailer.
std::string with_trailer(const std::string& lines, size_t count) {
    std::string text = "hmisim-params 1\n" + lines;
    char trailer[64];
    std::snprintf(trailer, sizeof trailer, "end %zu crc32 0x%08x\n", count,
                  crc32(text.data(), text.size()));
    return text + trailer;
}

// Faults under a valid checksum: only the entries' own rules catch them. A message quotes
// a short piece of the file, escaped.
TEST(ParamsFile, EntriesAreCheckedEvenUnderAValidChecksum) {
    std::string junk(20000, ' ');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = "\x01\x7f\xff\\'ab"[i % 7];
    std::string escaped_junk;  // its first 60 bytes
    for (int i = 0; i < 8; ++i) escaped_junk += "\\x01\\x7f\\xff\\x5c\\x27ab";
    escaped_junk += "\\x01\\x7f\\xff\\x5c";
    struct Case {
        std::string text;
        std::string fault;
    } cases[] = {
        {format_params({entry("x.a", host::Kind::U8, "1"), entry("x.b", host::Kind::U8, "2"),
                        entry("x.a", host::Kind::U32, "1")}),
         "line 4: x.a is listed twice (first on line 2)"},
        {with_trailer("x.a u8 " + junk + "\n", 1),
         "line 2: x.a: '" + escaped_junk + "'... is not a u8 value"},
        {with_trailer("x.a u8 1\n" + junk + " u8 1\n", 2),
         "line 3: a tag name is at most 255 bytes without control characters, not '" +
             escaped_junk + "'..."},
        {with_trailer("x.a u8 1\nx.b k\x01\xff\\ 1\n", 2),
         "line 3: unknown kind 'k\\x01\\xff\\x5c'"},
    };
    for (const Case& c : cases) {
        std::vector<ParamEntry> loaded;
        EXPECT_EQ(parse_params(c.text, &loaded), c.fault);
        EXPECT_TRUE(loaded.empty());
    }
}

// Nothing at the path that is not a good parameter file is loaded or replaced: the start
// is refused with the file, its fault and the way on, and a save changes nothing at all.
TEST(ParamsFile, ADamagedOrUnusableFileIsRefusedAndNeverOverwritten) {
    struct Case {
        const char* what;
        std::function<void(const std::string& dir, const std::string& path)> make;
        LoadResult result;
        const char* fault;
    } cases[] = {
        {"one digit changed",
         [](auto&, auto& path) {
             std::string text = format_params(entries_a());
             text[text.find("4294967295")] = '3';
             write(path, text);
         },
         LoadResult::Damaged, "the checksum does not match the entries"},
        {"the checksum changed",
         [](auto&, auto& path) {
             std::string text = format_params(entries_a());
             text[text.size() - 2] = text[text.size() - 2] == '0' ? '1' : '0';
             write(path, text);
         },
         LoadResult::Damaged, "the checksum does not match the entries"},
        {"a tag listed twice",
         [](auto&, auto& path) {
             write(path, format_params({entry("x.a", host::Kind::U8, "1"),
                                        entry("x.a", host::Kind::U8, "2")}));
         },
         LoadResult::Damaged, "line 3: x.a is listed twice (first on line 2)"},
        {"oversized",
         [](auto&, auto& path) {
             write(path, format_params(entries_a()));
             fs::resize_file(path, kParamsFileLimit + 1);
         },
         LoadResult::Damaged, "it is larger than 4 MiB, which no parameter file is"},
        {"empty", [](auto&, auto& path) { write(path, ""); }, LoadResult::Damaged,
         "line 1 is not \"hmisim-params 1\""},
        {"a folder", [](auto&, auto& path) { fs::create_directory(path); }, LoadResult::Unusable,
         "it is a folder, not a file"},
        {"a FIFO", [](auto&, auto& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); },
         LoadResult::Unusable, "it is a FIFO (named pipe), not a file"},
        {"a link to /dev/zero", [](auto&, auto& path) { fs::create_symlink("/dev/zero", path); },
         LoadResult::Unusable, "it is a character device, not a file"},
        {"a link to /dev/urandom",
         [](auto&, auto& path) { fs::create_symlink("/dev/urandom", path); }, LoadResult::Unusable,
         "it is a character device, not a file"},
        {"a link to itself", [](auto&, auto& path) { fs::create_symlink("params.txt", path); },
         LoadResult::Unusable, "cannot reach it: Too many levels of symbolic links"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = dir.path + "/params.txt";
        c.make(dir.path, path);
        auto before = snapshot(dir.path);
        std::vector<ParamEntry> loaded{entry("x.a", host::Kind::U8, "1")};
        std::string fault;
        EXPECT_EQ(load_params_file(path, &loaded, &fault), c.result) << c.what;
        EXPECT_EQ(fault, c.fault) << c.what;
        EXPECT_TRUE(loaded.empty()) << c.what;
        std::string refusal = refusal_message(path, c.result, fault);
        EXPECT_NE(refusal.find("the parameter file " + path), std::string::npos) << refusal;
        EXPECT_NE(refusal.find(fault), std::string::npos) << refusal;
        EXPECT_EQ(refusal.find(kMoveDamagedOption) != std::string::npos,
                  c.result == LoadResult::Damaged)
            << refusal;

        std::string error = save_params_file(path, entries_b());
        EXPECT_NE(error.find(c.fault), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(snapshot(dir.path), before) << c.what;
    }
}

// A save that cannot be made says why and leaves the folder as it was: the old file, its
// mode, no temporary file. (The superuser writes into a read-only folder, so that case
// runs only for other users; the others fail for everyone.)
TEST(ParamsFile, AFailedSaveSaysWhyAndLeavesTheOldFile) {
    struct Case {
        const char* what;
        std::function<std::string(const std::string& dir)> make;  // the path to save to
        const char* error;
        bool needs_user = false;
        std::vector<ParamEntry> save = entries_b();
    } cases[] = {
        {"the path is a folder",
         [](auto& dir) {
             fs::create_directory(dir + "/params.txt");
             return dir + "/params.txt";
         },
         "it is a folder, not a file"},
        {"a folder that does not exist", [](auto& dir) { return dir + "/missing/params.txt"; },
         "/missing does not exist"},
        {"a path under a file",
         [](auto& dir) {
             write(dir + "/file", "x");
             return dir + "/file/params.txt";
         },
         "/file is not a folder"},
        {"a full disk",
         [](auto& dir) {
             fs::create_symlink("/dev/full", dir + "/params.txt");
             return dir + "/params.txt";
         },
         "(a link to /dev/full): it is a character device, not a file"},
        {"a read-only file",
         [](auto& dir) {
             EXPECT_EQ(save_params_file(dir + "/params.txt", entries_a()), "");
             fs::permissions(dir + "/params.txt", fs::perms(0444));
             return dir + "/params.txt";
         },
         "it is read-only (mode 0444), a set not to be changed"},
        {"entries that would not load",
         [](auto& dir) {
             EXPECT_EQ(save_params_file(dir + "/params.txt", entries_a()), "");
             return dir + "/params.txt";
         },
         "the entries do not make a parameter file (line 3: x.a is listed twice",
         false,
         {entry("x.a", host::Kind::U8, "1"), entry("x.a", host::Kind::U8, "2")}},
        {"a read-only folder",
         [](auto& dir) {
             EXPECT_EQ(save_params_file(dir + "/params.txt", entries_a()), "");
             fs::permissions(dir, fs::perms(0555));
             return dir + "/params.txt";
         },
         ".bak.tmp.", true},
    };
    for (const Case& c : cases) {
        if (c.needs_user && geteuid() == 0) continue;
        TempDir dir;
        std::string path = c.make(dir.path);
        auto before = snapshot(dir.path);
        std::string error = save_params_file(path, c.save);
        EXPECT_EQ(error.rfind("cannot save " + path, 0), 0u) << c.what << ": " << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(snapshot(dir.path), before) << c.what;
        fs::permissions(dir.path, fs::perms(0700));
    }
}

// The write itself fails half way (a file size limit, as a full disk would): the old file
// stays, the temporary file goes.
TEST(ParamsFile, AWriteThatFailsHalfWayLeavesTheOldFile) {
    TempDir dir;
    std::string path = dir.path + "/params.txt";
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error = save_params_file(path, entries_b(400));
        _exit(error.find("File too large; the file is unchanged") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(file_bytes(path), format_params(entries_a()));
    EXPECT_EQ(temporaries(dir.path), std::vector<std::string>{});
}

TEST(ParamsFile, EachSaveKeepsThePreviousGoodFileAsBak) {
    TempDir dir;
    std::string path = dir.path + "/params.txt", bak = path + ".bak";
    std::string a = format_params(entries_a()), b = format_params(entries_b());
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    EXPECT_FALSE(fs::exists(bak));
    struct Step {
        std::vector<ParamEntry> save;
        const std::string& file;
        const std::string& backup;
    } steps[] = {
        {entries_b(), b, a},
        {entries_b(), b, a},  // a save that changes nothing keeps the set before the change
        {entries_a(), a, b},
    };
    for (const Step& s : steps) {
        ASSERT_EQ(save_params_file(path, s.save), "");
        EXPECT_EQ(file_bytes(path), s.file);
        EXPECT_EQ(file_bytes(bak), s.backup);
    }
}

TEST(ParamsFile, ASaveKeepsTheModeAndWritesThroughLinks) {
    for (unsigned mode : {0600u, 0640u, 0644u, 0660u, 0664u}) {
        TempDir dir;
        std::string path = dir.path + "/params.txt";
        ASSERT_EQ(save_params_file(path, entries_a()), "");
        fs::permissions(path, fs::perms(mode));
        ASSERT_EQ(save_params_file(path, entries_b()), "") << std::oct << mode;
        EXPECT_EQ(mode_of(path), mode);
        EXPECT_EQ(mode_of(path + ".bak"), mode);
        fs::permissions(path, fs::perms(0600));
        EXPECT_EQ(file_bytes(path), format_params(entries_b()));
    }
    struct Link {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links;  // name, what it names
        const char* file;  // where the parameters are, under the folder
        bool exists;
    } links[] = {
        {"relative", {{"params.txt", "sub/p.txt"}}, "sub/p.txt", true},
        {"absolute", {{"params.txt", "@/sub/p.txt"}}, "sub/p.txt", true},
        {"a link to a link", {{"params.txt", "sub/q"}, {"sub/q", "p.txt"}}, "sub/p.txt", true},
        {"to nothing yet", {{"params.txt", "sub/p.txt"}}, "sub/p.txt", false},
    };
    for (const Link& l : links) {
        TempDir dir;
        fs::create_directory(dir.path + "/sub");
        std::string file = dir.path + "/" + l.file;
        if (l.exists) {
            ASSERT_EQ(save_params_file(file, entries_a()), "");
        }
        for (auto [name, to] : l.links) {
            if (to[0] == '@') to = dir.path + to.substr(1);
            fs::create_symlink(to, dir.path + "/" + name);
        }
        std::string path = dir.path + "/params.txt";
        ASSERT_EQ(save_params_file(path, entries_b()), "") << l.what;
        EXPECT_TRUE(fs::is_symlink(path)) << l.what;
        EXPECT_EQ(file_bytes(file), format_params(entries_b())) << l.what;
        EXPECT_EQ(fs::exists(file + ".bak"), l.exists) << l.what;
        EXPECT_EQ(fs::exists(path + ".bak"), false) << l.what;
    }
}

TEST(ParamsFile, ASaveRemovesOnlyTheTemporaryFilesOfKilledSaves) {
    TempDir dir;
    std::string path = dir.path + "/params.txt";
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    std::string ended = std::to_string(ended_process());
    std::string running = std::to_string(getppid());
    const char* kept[] = {"params.txt.tmp.abc", "other.txt.tmp.", "params.txt.tmp."};
    for (const std::string& name :
         {"params.txt.tmp." + ended, "params.txt.bak.tmp." + ended, "params.txt.tmp." + running,
          "other.txt.tmp." + ended, std::string(kept[0])}) {
        write(dir.path + "/" + name, "left");
    }
    ASSERT_EQ(save_params_file(path, entries_b()), "");
    std::vector<std::string> left = temporaries(dir.path);
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected{std::string(kept[1]) + ended, kept[0], kept[2] + running};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

TEST(ParamsFile, ASaveKilledAtAnyMomentLeavesTheOldFileOrTheNew) {
    TempDir dir;
    std::string path = dir.path + "/params.txt";
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    std::mt19937 random(20260101);
    int left_behind = 0;
    for (int round = 0; round < 50; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Saves the two sets in turn until it is killed.
            for (unsigned i = 0;; ++i) save_params_file(path, i % 2 ? entries_a() : entries_b());
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        left_behind += !temporaries(dir.path).empty();
        // The file and its backup, each one of the sets saved (the parent's as well).
        for (const std::string& file : {path, path + ".bak"}) {
            if (file != path && !fs::exists(file)) continue;
            std::vector<ParamEntry> loaded;
            std::string error;
            ASSERT_EQ(load_params_file(file, &loaded, &error), LoadResult::Loaded)
                << "round " << round << ": " << file << ": " << error;
            ASSERT_TRUE(same(loaded, entries_a()) || same(loaded, entries_b()) ||
                        same(loaded, entries_b(4)))
                << "round " << round;
        }
        ASSERT_EQ(save_params_file(path, round % 2 ? entries_a() : entries_b(4)), "");
        ASSERT_EQ(temporaries(dir.path), std::vector<std::string>{}) << "round " << round;
    }
    // How often a kill landed inside a save's temporary file; it depends on timing.
    std::cout << "temporary files left by " << left_behind << " of 50 kills\n";
}

TEST(ParamsFile, ADamagedFileIsMovedAsideUnderANewNameOnly) {
    TempDir dir;
    std::string path = dir.path + "/params.txt", moved;
    const std::time_t now = 1796713092;  // 2026-12-08 06:58:12 UTC
    std::string aside = path + ".damaged-20261208-065812";
    write(path, "damaged 1");
    ASSERT_EQ(move_aside_damaged(path, &moved, now), "");
    EXPECT_EQ(moved, aside);
    write(path, "damaged 2");
    ASSERT_EQ(move_aside_damaged(path, &moved, now), "");
    EXPECT_EQ(moved, aside + "-2");
    EXPECT_EQ(file_bytes(aside), "damaged 1");
    EXPECT_EQ(file_bytes(aside + "-2"), "damaged 2");
    EXPECT_FALSE(fs::exists(path));

    // What is not a damaged file stays.
    EXPECT_EQ(move_aside_damaged(path, &moved, now), path +
                                                         " does not exist: there is nothing "
                                                         "to move aside");
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    EXPECT_EQ(move_aside_damaged(path, &moved, now),
              path + " is a good parameter file: it is not moved aside");
    EXPECT_EQ(move_aside_damaged(dir.path, &moved, now),
              "cannot move " + dir.path + " aside: it is a folder, not a file");

    // Of a link to a damaged file the link is moved: the file it names may be anyone's and
    // stays as it is; the next save creates a file in the link's place.
    std::string file = dir.path + "/p.txt", link = dir.path + "/link.txt";
    write(file, "damaged 3");
    fs::create_symlink("p.txt", link);
    std::string what;
    ASSERT_EQ(move_aside_damaged(link, &moved, now, &what), "");
    EXPECT_EQ(moved, link + ".damaged-20261208-065812");
    EXPECT_EQ(what, "the link " + link + " (to the damaged file " + file +
                        ", which stays where it is, untouched)");
    EXPECT_TRUE(fs::is_symlink(moved));
    EXPECT_EQ(fs::read_symlink(moved), "p.txt");
    EXPECT_EQ(file_bytes(file), "damaged 3");
    ASSERT_EQ(save_params_file(link, entries_b()), "");
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(file_bytes(link), format_params(entries_b()));
    EXPECT_EQ(file_bytes(file), "damaged 3");
}

// One run at a time saves into a file: a second is refused at start, through any link,
// naming the pid that holds it; the lock goes with the run.
TEST(ParamsFile, OneRunAtATimeHoldsAFile) {
    TempDir dir;
    std::string path = dir.path + "/p.txt", link = dir.path + "/link.txt";
    fs::create_symlink("p.txt", link);
    std::string error;
    std::optional<ParamsLock> held = ParamsLock::take(path, &error);
    ASSERT_TRUE(held) << error;
    const std::string in_use = "the parameter file " + link + " is in use: pid " +
                               std::to_string(getpid()) + " holds it (" + path + ".lock)";
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(ParamsLock::take(link, &error));
        EXPECT_EQ(error.substr(0, in_use.size()), in_use);
    }
    held.reset();
    EXPECT_TRUE(ParamsLock::take(link, &error)) << error;

    // Where no lock file can be made, no save can be made either: nothing to hold.
    EXPECT_TRUE(ParamsLock::take(dir.path + "/no/such/folder/p.txt", &error)) << error;
    // A lock file that is not a file is refused, and never waited on.
    std::string fifo = dir.path + "/f.txt";
    ASSERT_EQ(mkfifo((fifo + ".lock").c_str(), 0600), 0);
    EXPECT_FALSE(ParamsLock::take(fifo, &error));
    EXPECT_EQ(error, "cannot lock the parameter file " + fifo + ": " + fifo +
                         ".lock is not a regular file");
}

}  // namespace
}  // namespace hmi::sim::test
