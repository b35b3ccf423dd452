// The worker pool under the test runner: every job ends once, with what it wrote and
// nothing of the jobs its worker ran before or after it, in the worker that took it from
// the queue; a job that crashes its worker is reported with the signal and what it wrote
// before, and the jobs after it still run.
#include "sim/cli/children.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
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

}  // namespace
}  // namespace hmi::sim::test
