// The worker pool under the test runner: every job ends once, with what it wrote and
// nothing of the jobs its worker ran before or after it, in the worker that took it from
// the queue; a job that crashes its worker is reported with the signal and what it wrote
// before, and the jobs after it still run.
#include "sim/cli/children.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace hmi::sim::test {
namespace {

struct PoolCase {
    const char* name;
    ChildRun how;
    size_t jobs;
    std::set<size_t> crashing;  // these abort their worker
};
void PrintTo(const PoolCase& c, std::ostream* os) {
    *os << c.name;
}

// More jobs than the queue's pipe holds at once (8 bytes each, 64 KiB) make it refill.
const PoolCase kCases[] = {
    {"one_worker", {1, false}, 40, {}},
    {"two_workers_and_crashes", {2, false}, 600, {0, 7, 599}},
    {"more_jobs_than_the_queue_holds", {2, false}, 9000, {4500}},
    {"a_process_for_each_job", {3, true}, 30, {2, 3}},
};

class WorkerPoolJobs : public ::testing::TestWithParam<PoolCase> {};

TEST_P(WorkerPoolJobs, EndOnceEachWithWhatTheyWroteOrTheSignal) {
    const PoolCase& c = GetParam();
    std::vector<int> ended(c.jobs, 0);
    std::set<pid_t> workers;
    bool all_as_expected = true;
    run_in_children(
        c.jobs, c.how,
        [&](size_t index, int results) {
            std::printf("job %zu\n", index);
            if (c.crashing.count(index) > 0) std::abort();
            dprintf(results, "%d\n", static_cast<int>(getpid()));
            return static_cast<int>(index % 7);
        },
        [&](size_t index, ChildOutcome outcome) {
            ++ended.at(index);
            all_as_expected &=
                read_tail(outcome.output.get(), 1024) == "job " + std::to_string(index) + "\n";
            std::string results = read_tail(outcome.results.get(), 1024);
            if (c.crashing.count(index) > 0) {
                all_as_expected &= outcome.signal == SIGABRT && results.empty();
                return;
            }
            all_as_expected &= outcome.signal == 0 && outcome.status == int(index % 7);
            workers.insert(std::stoi(results));
        });
    EXPECT_TRUE(all_as_expected);
    EXPECT_EQ(std::count(ended.begin(), ended.end(), 1), static_cast<long>(c.jobs));
    // One worker runs many jobs, unless each job is to have a process of its own.
    size_t ran = c.jobs - c.crashing.size();
    if (c.how.one_per_process) {
        EXPECT_EQ(workers.size(), ran);
    } else {
        EXPECT_LE(workers.size(), c.how.parallel + c.crashing.size());
    }
    EXPECT_FALSE(workers.count(getpid()));  // no job ran in this process
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkerPoolJobs, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The workers write every job after the last into files in memory; what the runner has
// read is given back, so that a long run holds only what it has not read yet, however
// much it writes in all.
TEST(WorkerPool, HoldsOnlyWhatIsNotReadYet) {
    constexpr uint64_t kBytes = 16 * 1024;  // a job's output, in whole pages
    uint64_t read = 0;                      // the outputs of the jobs before this one
    bool bounded = true;
    run_in_children(
        300, {1, false},
        [](size_t, int) {
            std::fwrite(std::string(kBytes, 'x').data(), 1, kBytes, stdout);
            return 0;
        },
        [&](size_t, ChildOutcome) {
            // The worker's output file, by any descriptor that names it: what it holds
            // against all that was written.
            struct stat file {};
            for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
                std::error_code ec;
                if (std::filesystem::read_symlink(fd.path(), ec).string().find("hmisim-output") !=
                    std::string::npos)
                    ::stat(fd.path().c_str(), &file);
            }
            uint64_t written = uint64_t(file.st_size), held = uint64_t(file.st_blocks) * 512;
            bounded &= written > read && held <= written - read + 4 * kBytes;
            read += kBytes;
        });
    EXPECT_TRUE(bounded) << "what was read is still held";
}

}  // namespace
}  // namespace hmi::sim::test
