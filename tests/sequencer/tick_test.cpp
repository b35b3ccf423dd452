// The automatic tick of window "12" and the page flag of its window events.
#include "tests/sequencer/line.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

class Tick : public PanelTest {
  protected:
    Tick() {
        set<uint8_t>("dtmain.dp_web_flag", 0);
        set<uint8_t>("dtmain.dt_web_flag", 0);
        set<uint8_t>("dtmain.DP_AUTO", 0);
        set<uint8_t>("dtmain.DT_AUTO", 0);
        set<uint8_t>("dtmain.HM201", 0);
        set<uint8_t>("dtmain.HM101", 0);
        set<uint8_t>("dtmain.num", 200);
        set<uint8_t>("dtmain.num2", 100);
    }
    void run_dp() {
        set<uint8_t>("dtmain.dp_web_flag", 1);
        set<uint8_t>("dtmain.DP_AUTO", 1);
    }
    void run_dt() {
        set<uint8_t>("dtmain.dt_web_flag", 1);
        set<uint8_t>("dtmain.DT_AUTO", 1);
    }
    std::string tick() {
        fire("12_timer11_timer");
        return trace();
    }
    int open_valves(int first, int last) {
        int open = 0;
        for (int n = first; n <= last; ++n) open += get<uint8_t>(valve(n).c_str()) != 0;
        return open;
    }
};

TEST_F(Tick, DpCycleOpensOneValveATickThenClosesTheLine) {
    run_dp();
    for (int round = 0; round < 2; ++round) {
        for (int t = 1; t <= 22; ++t) {
            std::string expected = valve_write(200 + t, 1) +
                                   "set dtmain.num = " + std::to_string(200 + t) + "\n" +
                                   (round == 0 && t == 1 ? "set dtmain.HM201 = 1\n" : "");
            EXPECT_EQ(tick(), expected) << "round " << round << " tick " << t;
            EXPECT_EQ(open_valves(201, 222), t);
        }
        std::string closing = valve_write(223, 1);
        for (int n = 200; n <= 222; ++n) closing += valve_write(n, 0);
        EXPECT_EQ(tick(), closing + "set dtmain.num = 200\n");
        EXPECT_EQ(open_valves(201, 222), 0);
        EXPECT_EQ(get<uint8_t>("dtmain.HM201"), 1);  // the pump keeps running
    }
    EXPECT_EQ(open_valves(101, 110), 0);
}

TEST_F(Tick, DtCycleOpensOneValveATickThenClosesTheLine) {
    run_dt();
    set<uint8_t>("dtmain.DP_AUTO", 3);  // cleared by the first DT step, then left alone
    for (int round = 0; round < 2; ++round) {
        for (int t = 1; t <= 10; ++t) {
            std::string expected = valve_write(100 + t, 1) +
                                   "set dtmain.num2 = " + std::to_string(100 + t) + "\n" +
                                   (round == 0 && t == 1 ? "set dtmain.HM101 = 1\n" : "") +
                                   (round == 0 && t == 1 ? "set dtmain.DP_AUTO = 0\n" : "");
            EXPECT_EQ(tick(), expected) << "round " << round << " tick " << t;
            EXPECT_EQ(open_valves(101, 110), t);
        }
        std::string closing = valve_write(111, 1);
        for (int n = 100; n <= 110; ++n) closing += valve_write(n, 0);
        EXPECT_EQ(tick(), closing + "set dtmain.num2 = 100\n");
        EXPECT_EQ(open_valves(101, 110), 0);
    }
    EXPECT_EQ(open_valves(201, 222), 0);
}

TEST_F(Tick, TheDpStepEndsTheDtModeAndRunsAlone) {
    run_dp();
    run_dt();
    EXPECT_EQ(tick(), valve_write(201, 1) +
                          "set dtmain.num = 201\nset dtmain.HM201 = 1\nset dtmain.DT_AUTO = 0\n");
    EXPECT_EQ(tick(), valve_write(202, 1) + "set dtmain.num = 202\n");
    EXPECT_EQ(get<uint8_t>("dtmain.DP_AUTO"), 1);
    EXPECT_EQ(get<uint8_t>("dtmain.num2"), 100);
}

TEST_F(Tick, TheDtLineStepsWhenTheDpPageIsClosed) {
    run_dt();
    set<uint8_t>("dtmain.DP_AUTO", 1);  // DP mode on, but its page is closed
    EXPECT_EQ(tick(), valve_write(101, 1) +
                          "set dtmain.num2 = 101\nset dtmain.HM101 = 1\nset dtmain.DP_AUTO = 0\n");
}

TEST_F(Tick, StepsOnlyWhenModeAndPageFlagsAreExactlyOne) {
    struct Case {
        uint8_t page, mode;
    };
    for (Case c : {Case{1, 0}, Case{0, 1}, Case{2, 1}, Case{1, 2}, Case{255, 255}}) {
        set<uint8_t>("dtmain.dp_web_flag", c.page);
        set<uint8_t>("dtmain.DP_AUTO", c.mode);
        set<uint8_t>("dtmain.dt_web_flag", c.page);
        set<uint8_t>("dtmain.DT_AUTO", c.mode);
        EXPECT_EQ(tick(), "") << int(c.page) << " " << int(c.mode);
    }
}

TEST_F(Tick, CountersOutsideTheirRangeKeepCounting) {
    run_dp();
    set<uint8_t>("dtmain.HM201", 1);
    set<uint8_t>("dtmain.num", 255);
    EXPECT_EQ(tick(), valve_write(0, 1) + "set dtmain.num = 0\n");  // wraps, no reset
    EXPECT_EQ(tick(), valve_write(1, 1) + "set dtmain.num = 1\n");
    for (int t = 0; t < 199; ++t) tick();
    EXPECT_EQ(get<uint8_t>("dtmain.num"), 200);
    EXPECT_EQ(tick(), valve_write(201, 1) + "set dtmain.num = 201\n");

    set<uint8_t>("dtmain.DP_AUTO", 0);
    run_dt();
    set<uint8_t>("dtmain.HM101", 1);
    set<uint8_t>("dtmain.num2", 200);  // above the line: the next step wraps it
    std::string closing;
    for (int n = 100; n <= 110; ++n) closing += valve_write(n, 0);
    EXPECT_EQ(tick(), valve_write(201, 1) + closing + "set dtmain.num2 = 100\n");
}

TEST_F(Tick, TheLastValveThenTheWrap) {
    run_dp();
    set<uint8_t>("dtmain.HM201", 1);
    set<uint8_t>("dtmain.num", 221);
    EXPECT_EQ(tick(), valve_write(222, 1) + "set dtmain.num = 222\n");
    std::string closing = valve_write(223, 1);
    for (int n = 200; n <= 222; ++n) closing += valve_write(n, 0);
    EXPECT_EQ(tick(), closing + "set dtmain.num = 200\n");
}

TEST_F(Tick, WindowEventsRaiseAndLowerThePageFlags) {
    set<uint8_t>("main.can3", 0);
    fire("12_window_open");
    EXPECT_EQ(trace(), "set main.can3 = 1\nset dtmain.dp_web_flag = 1\n");
    fire("12_window_open");
    EXPECT_EQ(trace(), "");
    fire("12_window_close");
    EXPECT_EQ(trace(), "set main.can3 = 0\nset dtmain.dp_web_flag = 0\n");
    set<uint8_t>("main.can3", 1);
    fire("12_window_close");
    EXPECT_EQ(trace(), "set main.can3 = 0\n");
}

}  // namespace
}  // namespace hmi::test
