// The one reader of data files: what a file may be, how long its lines, how its errors
// are listed.
#include "host/lines.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

std::string error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(DataFiles, OnlyARegularFileOfAtMostTheLimitIsRead) {
    TempDir dir;
    std::string folder = dir.path + "/folder", fifo = dir.path + "/fifo", big = dir.path + "/big",
                good = dir.path + "/good";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // no writer: a reader that waited would hang
    std::ofstream(big, std::ios::binary) << std::string(host::kMostFileBytes + 1, 'x');
    std::ofstream(good, std::ios::binary) << "a b\n";
    const std::pair<std::string, const char*> refused[] = {
        {folder, ": is a folder, not a file"},
        {fifo, ": is not a regular file"},
        {big, ": larger than 4 MiB"},
        {dir.path + "/missing", ": cannot be read (No such file or directory)"},
        {"/dev/null", ": is not a regular file"},
    };
    for (const auto& [path, message] : refused) {
        std::string error = error_of([&] { host::read_text_file(path); });
        EXPECT_EQ(error.rfind(path + message, 0), 0u) << error;
    }
    EXPECT_EQ(host::read_text_file(good), "a b\n");
}

TEST(DataFiles, AnErrorQuotesTheOffendingTextShortAndPrintable) {
    EXPECT_EQ(host::quoted_excerpt("ab\x01\xFF\\"), "'ab\\x01\\xFF\\x5C'");
    std::string quoted = host::quoted_excerpt(std::string(500, 'y'));
    EXPECT_EQ(quoted, "'" + std::string(host::kMostQuotedBytes, 'y') + "...'");
}

TEST(DataFiles, AfterTwentyErrorsTheRestAreCounted) {
    std::string text;
    for (int i = 0; i < 25; ++i) text += "bogus line\n";
    text += std::string(host::kMostLineBytes + 1, 'z') + "\n";
    std::string message = error_of([&] { Panel::parse(host::Catalogue{}, text, "w.txt"); });
    EXPECT_EQ(message.rfind("w.txt:1: unknown line 'bogus': expected window or timer\n", 0), 0u)
        << message;
    EXPECT_NE(message.find("w.txt:20: unknown line"), std::string::npos);
    EXPECT_EQ(message.find("w.txt:21:"), std::string::npos);
    EXPECT_NE(message.find("w.txt: ... and 6 more"), std::string::npos) << message;
}

TEST(DataFiles, ABadCatalogueIsReportedWithFileAndLineNotThrownPast) {
    const std::pair<const char*, const char*> cases[] = {
        {"system.CurDateTime text \"abc\"\n",
         "tags:1: system.CurDateTime is the panel's clock: its kind is u32"},
        {"a.b u8 0\na.b u8 1\n", "tags:2: a.b is already defined at line 1"},
        {"a.b u8 \"open\n", "tags:1: a quoted text is not closed"},
        {"a.b q8 0\n", "tags:1: unknown kind 'q8'"},
        {"a.b u8 0 param extra\n", "tags:1: expected: name kind initial [param]"},
        {".x u8 0\n", "tags:1: tag '.x' is not GROUP.NAME: its group is empty"},
        {"x. u8 0\n", "tags:1: tag 'x.' is not GROUP.NAME: its name is empty"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(error_of([&] { host::Catalogue::parse(text, "tags"); }), message) << text;
    }
}

TEST(DataFiles, ACatalogueWithoutTheClockIsTakenWithAWarning) {
    EXPECT_EQ(host::Catalogue::parse("a.b u8 0\n", "tags").warnings,
              std::vector<std::string>{
                  "tags: no system.CurDateTime (u32), the panel's clock: the scripts see no "
                  "clock, and it starts at 1970-01-01 00:00:00 unless --start gives a time"});
    EXPECT_EQ(host::Catalogue::parse("system.CurDateTime u32 0\n", "tags").warnings.size(), 0u);
}

TEST(DataFiles, AScenarioListsTwentyBadLinesAndCountsTheRest) {
    Recorder out;
    Simulator sim(real_panel(), real_library(), Options{}, out.sink());
    std::string text;
    for (int i = 0; i < 23; ++i) text += "clik\n";
    ScenarioResult r = run_scenario(text, "s.sim", sim);
    EXPECT_EQ(r.bad_lines, 23);
    EXPECT_NE(out.text.find("ERROR s.sim:20: unknown command 'clik'"), std::string::npos);
    EXPECT_EQ(out.text.find("ERROR s.sim:21:"), std::string::npos);
    EXPECT_NE(out.text.find("ERROR s.sim: ... and 3 more\n"), std::string::npos) << out.text;
}

}  // namespace
}  // namespace hmi::sim::test
