// The parameter file is taken whole or not at all, and a save killed at any moment
// leaves the old file or the new one.
#include "sim/engine/params_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

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

std::vector<ParamEntry> entries_b() {
    std::vector<ParamEntry> b;
    for (int i = 0; i < 40; ++i) {
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

TEST(ParamsFile, EveryKindOfValueComesBackAsItWasSaved) {
    TempDir dir;
    std::string path = dir.path + "/params.txt";
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    std::vector<ParamEntry> loaded;
    std::string error;
    ASSERT_EQ(load_params_file(path, &loaded, &error), LoadResult::Loaded) << error;
    EXPECT_TRUE(same(loaded, entries_a()));
    EXPECT_EQ(read_file(path).substr(0, 49), "hmisim-params 1\ndtmain.HV201_TIME u32 4294967295\n");
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

TEST(ParamsFile, ASaveThatCannotBeWrittenLeavesNothingBehind) {
    TempDir dir;
    EXPECT_NE(save_params_file(dir.path + "/missing/params.txt", entries_a()), "");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

TEST(ParamsFile, ASaveKilledAtAnyMomentLeavesTheOldFileOrTheNew) {
    TempDir dir;
    std::string path = dir.path + "/params.txt";
    ASSERT_EQ(save_params_file(path, entries_a()), "");
    std::mt19937 random(20260101);
    int old_files = 0, new_files = 0;
    for (int round = 0; round < 60; ++round) {
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
        std::vector<ParamEntry> loaded;
        std::string error;
        ASSERT_EQ(load_params_file(path, &loaded, &error), LoadResult::Loaded)
            << "round " << round << ": " << error;
        bool is_a = same(loaded, entries_a()), is_b = same(loaded, entries_b());
        ASSERT_TRUE(is_a || is_b) << "round " << round;
        is_a ? ++old_files : ++new_files;
    }
    // Both outcomes occur, so the kills did land inside the saves.
    EXPECT_GT(old_files + new_files, 0);
    std::cout << "after the kills: " << old_files << " times set A, " << new_files
              << " times set B\n";
}

}  // namespace
}  // namespace hmi::sim::test
