// The motion tick: the gate, the run-time count, the requests with their write-back
// points, the hold, and the path (columns, rows, circle, cycle end).
#include <cstdint>
#include <vector>

#include "tests/motion/fixture.hpp"

namespace hmi::test {
namespace {

// ---- the path as the panel draws it, computed here on its own ----

struct Point {
    float x, y;
    uint8_t phase;
    float angle;   // cur_angle after the tick
    bool counted;  // sum_point increased by this tick
};

float circle_angle(float degrees) {
    return degrees * 0.017453292f;  // single precision
}
float circle_x(float cx, float r, float degrees) {
    return static_cast<float>(double{cx} + double{r} * math_sin(circle_angle(degrees)));
}
float circle_y(float cy, float r, float degrees) {
    return static_cast<float>(double{cy} + double{r} * math_cos(circle_angle(degrees)));
}

// Every tick of one cycle after the start has put the tool at (200, 0), with a
// circle around (1000, 1000) of radius 500 that starts at angle 0.
std::vector<Point> one_cycle() {
    std::vector<Point> path;
    // Columns x = 200..2100, five points each: up, then down, then up...
    for (int k = 0; k < 20; ++k) {
        float x = 200.0f + 100.0f * k;
        for (int i = 0; i < 5; ++i) {
            float y = (k % 2 == 0) ? 200.0f + 200.0f * i : 1000.0f - 200.0f * i;
            path.push_back({x, y, 1, 0.0f, true});
        }
    }
    path.push_back({100.0f, 100.0f, 2, 0.0f, false});  // the rows begin at the rest point
    // Rows y = 100..1000: right along the first, then each row starts at its turn.
    for (int i = 1; i <= 11; ++i) path.push_back({100.0f + 200.0f * i, 100.0f, 2, 0.0f, true});
    for (int r = 1; r < 10; ++r) {
        float y = 100.0f + 100.0f * r;
        for (int i = 0; i < 12; ++i) {
            float x = (r % 2 == 1) ? 2300.0f - 200.0f * i : 100.0f + 200.0f * i;
            path.push_back({x, y, 2, 0.0f, true});
        }
    }
    // The circle from 0 to 350 degrees, then the cycle end at the rest point.
    for (int d = 0; d < 360; d += 10) {
        float deg = static_cast<float>(d);
        path.push_back(
            {circle_x(1000.0f, 500.0f, deg), circle_y(1000.0f, 500.0f, deg), 3, deg + 10.0f, true});
    }
    path.push_back({100.0f, 100.0f, 1, 0.0f, true});
    return path;
}

TEST_F(Motion, AManualCycleFromAStartFollowsThePath) {
    set<uint8_t>("kelvor.save_flag", 1);  // a manual cycle has ended
    set<float>("kelvor.x_Real", 100.0f);
    set<float>("kelvor.y_Real", 100.0f);
    set<uint8_t>("kelvor.state_flag", 3);
    set<uint8_t>("kelvor.temp", 0);
    set<uint32_t>("kelvor.run_time", 0);
    fire("18_picture34_click");
    EXPECT_EQ(trace(), "set kelvor.star_Run = 1\n");  // already at (100, 100)
    EXPECT_EQ(tick(),
              "set kelvor.state_flag = 1\nset kelvor.star_Run = 0\nset kelvor.y_Real = 0\n"
              "set kelvor.x_Real = 200\nset kelvor.save_flag = 3\nset kelvor.temp = 1\n"
              "set kelvor.run_flag = 0\n");
    set<uint8_t>("kelvor.save_flag", 0);  // the project's own configuration frees the hold

    int32_t points = get<int32_t>("kelvor.sum_point");
    const std::vector<Point> path = one_cycle();
    ASSERT_EQ(path.size(), 257u);
    for (size_t i = 0; i < path.size(); ++i) {
        const Point& p = path[i];
        fire("18_timer2_timer");
        EXPECT_EQ(get<float>("kelvor.x_Real"), p.x) << "tick " << i;
        EXPECT_EQ(get<float>("kelvor.y_Real"), p.y) << "tick " << i;
        EXPECT_EQ(get<uint8_t>("kelvor.state_flag"), p.phase) << "tick " << i;
        EXPECT_EQ(get<float>("kelvor.cur_angle"), p.angle) << "tick " << i;
        if (i + 1 < path.size()) {
            EXPECT_EQ(get<uint8_t>("kelvor.save_flag"), 0) << "tick " << i;
            if (p.counted) ++points;
            EXPECT_EQ(get<int32_t>("kelvor.sum_point"), points) << "tick " << i;
        }
    }
    // The cycle end: counted, held as a manual end, the count started afresh.
    EXPECT_EQ(get<uint16_t>("kelvor.num_complate"), 4);
    EXPECT_EQ(get<uint8_t>("kelvor.save_flag"), 1);
    EXPECT_EQ(get<int32_t>("kelvor.sum_point"), 1);
    // 258 ticks got past the gate and were written: two run-time units and 16.
    EXPECT_EQ(get<uint32_t>("kelvor.run_time"), 2u);
    EXPECT_EQ(get<uint8_t>("kelvor.temp"), 16);
    trace();
    EXPECT_EQ(tick(), "set kelvor.run_flag = 0\n");  // held: nothing else moves
    EXPECT_EQ(tick(), "");
}

// ---- the requests, one write-back point after each that is taken ----

struct Requests {
    const char* name;
    std::vector<const char*> flags;  // set to 1 before the tick
    const char* trace;
};

TEST_F(Motion, EachRequestIsWrittenWhenTakenAndTheHoldStopsTheTick) {
    const Requests cases[] = {
        {"none", {}, "set kelvor.sum_point = 11\nset kelvor.y_Real = 600\nset kelvor.temp = 6\n"},
        {"origin",
         {"kelvor.star_Location"},
         "set kelvor.y_Real = 0\nset kelvor.x_Real = 0\nset kelvor.save_flag = 4\n"
         "set kelvor.star_Location = 0\nset kelvor.temp = 6\nset kelvor.run_flag = 0\n"},
        {"pause",
         {"kelvor.pause"},
         "set kelvor.save_flag = 1\nset kelvor.temp = 6\nset kelvor.run_flag = 0\n"},
        {"stop",
         {"kelvor.stop"},
         "set kelvor.num_complate = 0\nset kelvor.runState = 1\nset kelvor.stop = 0\n"
         "set kelvor.save_flag = 4\nset kelvor.temp = 6\nset kelvor.run_flag = 0\n"},
        {"continue without a pause",  // stays pending, the tool moves
         {"kelvor.continue"},
         "set kelvor.sum_point = 11\nset kelvor.y_Real = 600\nset kelvor.temp = 6\n"},
        {"clear",
         {"kelvor.clear_cmp"},
         "set kelvor.clear_cmp = 0\nset kelvor.num_complate = 0\nset kelvor.temp = 6\n"
         "set kelvor.sum_point = 11\nset kelvor.y_Real = 600\n"},
        {"start",
         {"kelvor.star_Run"},
         "set kelvor.star_Run = 0\nset kelvor.y_Real = 0\nset kelvor.save_flag = 3\n"
         "set kelvor.temp = 6\nset kelvor.run_flag = 0\n"},
        {"pause and continue in one tick",
         {"kelvor.pause", "kelvor.continue"},
         "set kelvor.save_flag = 1\nset kelvor.temp = 6\n"
         "set kelvor.continue = 0\nset kelvor.pause = 0\nset kelvor.save_flag = 0\n"
         "set kelvor.sum_point = 11\nset kelvor.y_Real = 600\n"},
        {"stop cancels a start",
         {"kelvor.stop", "kelvor.star_Run"},
         "set kelvor.num_complate = 0\nset kelvor.star_Run = 0\nset kelvor.runState = 1\n"
         "set kelvor.stop = 0\nset kelvor.save_flag = 4\nset kelvor.temp = 6\n"
         "set kelvor.run_flag = 0\n"},
        {"origin then start",
         {"kelvor.star_Location", "kelvor.star_Run"},
         "set kelvor.y_Real = 0\nset kelvor.x_Real = 0\nset kelvor.save_flag = 4\n"
         "set kelvor.star_Location = 0\nset kelvor.temp = 6\n"
         "set kelvor.star_Run = 0\nset kelvor.x_Real = 200\nset kelvor.save_flag = 3\n"
         "set kelvor.run_flag = 0\n"},
        {"stop then clear",
         {"kelvor.stop", "kelvor.clear_cmp"},
         "set kelvor.num_complate = 0\nset kelvor.runState = 1\nset kelvor.stop = 0\n"
         "set kelvor.save_flag = 4\nset kelvor.temp = 6\n"
         "set kelvor.clear_cmp = 0\nset kelvor.run_flag = 0\n"},
    };
    for (const Requests& c : cases) {
        reset();
        for (const char* flag : c.flags) set<uint8_t>(flag, 1);
        EXPECT_EQ(tick(), c.trace) << c.name;
    }
}

TEST_F(Motion, AHeldTickDropsItsCountUnlessARequestWroteIt) {
    set<uint8_t>("kelvor.save_flag", 4);
    set<uint8_t>("kelvor.run_flag", 1);
    EXPECT_EQ(tick(), "set kelvor.run_flag = 0\n");
    EXPECT_EQ(tick(), "");
    EXPECT_EQ(get<uint8_t>("kelvor.temp"), 5);

    // A latched pause is taken on every tick, and its write-back carries the count.
    set<uint8_t>("kelvor.save_flag", 1);
    set<uint8_t>("kelvor.pause", 1);
    EXPECT_EQ(tick(), "set kelvor.temp = 6\nset kelvor.run_flag = 1\nset kelvor.run_flag = 0\n");
}

TEST_F(Motion, TheGateStopsEverything) {
    set<uint8_t>("kelvor.allow_alarm", 0);
    set<uint8_t>("kelvor.run_flag", 0);
    set<uint8_t>("kelvor.star_Run", 1);
    set<uint8_t>("kelvor.stop", 1);
    EXPECT_EQ(tick(), "");
}

struct RunTime {
    uint8_t temp;
    uint32_t run_time;
    const char* trace;
};

TEST_F(Motion, RunTimeCountsOneUnitPer121TicksAndWrapsAbove60000) {
    const RunTime cases[] = {
        {119, 7, "set kelvor.temp = 120\n"},
        {120, 7, "set kelvor.run_time = 8\nset kelvor.temp = 0\n"},
        {5, 60000, "set kelvor.temp = 6\n"},                             // 60000 itself stays
        {120, 60000, "set kelvor.run_time = 0\nset kelvor.temp = 0\n"},  // 60001 is 0 at once
        {5, 70000, "set kelvor.run_time = 0\nset kelvor.temp = 6\n"},    // found above: 0
        {200, 7, "set kelvor.run_time = 8\nset kelvor.temp = 0\n"},
    };
    for (const RunTime& c : cases) {
        set<uint8_t>("kelvor.temp", c.temp);
        set<uint32_t>("kelvor.run_time", c.run_time);
        set<uint8_t>("kelvor.state_flag", 0);  // no movement
        set<int32_t>("kelvor.sum_point", 10);
        EXPECT_EQ(tick(), std::string("set kelvor.sum_point = 11\n") + c.trace)
            << int{c.temp} << " " << c.run_time;
    }
}

// ---- the path's corners ----

TEST_F(Motion, ColumnsTurnAtTheirEndsAndAStrangeDirectionStandsStill) {
    set<float>("kelvor.y_Real", 1000.0f);
    EXPECT_EQ(tick(),
              "set kelvor.sum_point = 11\nset kelvor.direction = 1\nset kelvor.x_Real = 300\n"
              "set kelvor.temp = 6\n");  // y went to 1200 and back to 1000
    set<uint8_t>("kelvor.direction", 2);
    EXPECT_EQ(tick(), "set kelvor.sum_point = 12\nset kelvor.temp = 7\n");
}

TEST_F(Motion, TheEndOfTheColumnsRepositionsOnlyOnTheFirstEntry) {
    set<float>("kelvor.x_Real", 2100.0f);
    set<float>("kelvor.y_Real", 200.0f);
    set<uint8_t>("kelvor.direction", 1);
    EXPECT_EQ(tick(),
              "set kelvor.temp2 = 1\nset kelvor.direction = 0\nset kelvor.state_flag = 2\n"
              "set kelvor.y_Real = 100\nset kelvor.x_Real = 100\nset kelvor.temp = 6\n");

    // Marker already set: the rows start from the turn point (2200, 200) in this tick.
    set<uint8_t>("kelvor.state_flag", 1);
    set<float>("kelvor.x_Real", 2100.0f);
    set<float>("kelvor.y_Real", 200.0f);
    set<uint8_t>("kelvor.direction", 1);
    EXPECT_EQ(tick(),
              "set kelvor.sum_point = 11\nset kelvor.state_flag = 2\nset kelvor.y_Real = 300\n"
              "set kelvor.x_Real = 2200\nset kelvor.temp = 7\n");
}

TEST_F(Motion, TheTickThatEntersTheCircleShowsItsFirstPoint) {
    set<uint8_t>("kelvor.state_flag", 2);
    set<float>("kelvor.x_Real", 100.0f);
    set<float>("kelvor.y_Real", 1000.0f);
    set<uint8_t>("kelvor.direction", 1);
    set<uint8_t>("kelvor.temp1", 7);
    set<uint8_t>("kelvor.temp2", 1);
    EXPECT_EQ(tick(),
              "set kelvor.sum_point = 11\nset kelvor.cur_angle = 10\nset kelvor.temp1 = 0\n"
              "set kelvor.temp2 = 0\nset kelvor.direction = 0\nset kelvor.state_flag = 3\n"
              "set kelvor.y_Real = 1500\nset kelvor.x_Real = 1000\nset kelvor.temp = 6\n");
}

TEST_F(Motion, CirclePointsUseASinglePrecisionAngleAndCallSinThenCos) {
    set<uint8_t>("kelvor.state_flag", 3);
    set<float>("kelvor.c_center_x", 0.0f);  // a unit circle shows every bit of the angle
    set<float>("kelvor.c_center_y", 0.0f);
    set<float>("kelvor.radius", 1.0f);
    for (int d = 0; d < 360; d += 10) {
        float deg = static_cast<float>(d);
        TrigRecord calls{};
        record_trig(&calls);
        fire("18_timer2_timer");
        record_trig(nullptr);
        ASSERT_EQ(calls.count, 2) << d;
        EXPECT_EQ(calls.calls[0].function, 's') << d;
        EXPECT_EQ(calls.calls[1].function, 'c') << d;
        EXPECT_EQ(calls.calls[0].argument, double{circle_angle(deg)}) << d;
        EXPECT_EQ(calls.calls[1].argument, double{circle_angle(deg)}) << d;
        EXPECT_EQ(get<float>("kelvor.x_Real"), circle_x(0.0f, 1.0f, deg)) << d;
        EXPECT_EQ(get<float>("kelvor.y_Real"), circle_y(0.0f, 1.0f, deg)) << d;
    }
    EXPECT_EQ(get<float>("kelvor.cur_angle"), 360.0f);
}

struct CycleEnd {
    uint8_t automatic;
    uint8_t hold;
};

TEST_F(Motion, TheCycleEndsWhenTheAngleReaches362) {
    for (CycleEnd c : {CycleEnd{0, 1}, CycleEnd{1, 3}, CycleEnd{2, 1}}) {
        set<uint8_t>("kelvor.state_flag", 3);
        set<float>("kelvor.cur_angle", 355.0f);  // a start does not reset the angle
        set<uint8_t>("kelvor.automatic", c.automatic);
        set<uint8_t>("kelvor.save_flag", 0);
        set<uint16_t>("kelvor.num_complate", 65535);
        set<int32_t>("kelvor.sum_point", 10);
        set<float>("kelvor.x_Real", 7.0f);
        set<float>("kelvor.y_Real", 7.0f);
        TrigRecord calls{};
        record_trig(&calls);
        fire("18_timer2_timer");
        record_trig(nullptr);
        EXPECT_EQ(calls.count, 2);  // the 355-degree point is computed, then replaced
        EXPECT_EQ(get<float>("kelvor.x_Real"), 100.0f);
        EXPECT_EQ(get<float>("kelvor.y_Real"), 100.0f);
        EXPECT_EQ(get<float>("kelvor.cur_angle"), 0.0f);
        EXPECT_EQ(get<uint8_t>("kelvor.state_flag"), 1);
        EXPECT_EQ(get<uint16_t>("kelvor.num_complate"), 0);  // 16-bit count wraps
        EXPECT_EQ(get<int32_t>("kelvor.sum_point"), 1);
        EXPECT_EQ(get<uint8_t>("kelvor.save_flag"), c.hold) << int{c.automatic};
    }
    // 350 still draws: 360 is below the end.
    set<uint8_t>("kelvor.save_flag", 0);
    set<uint8_t>("kelvor.state_flag", 3);
    set<float>("kelvor.cur_angle", 350.0f);
    fire("18_timer2_timer");
    EXPECT_EQ(get<float>("kelvor.x_Real"), circle_x(1000.0f, 500.0f, 350.0f));
    EXPECT_EQ(get<float>("kelvor.y_Real"), circle_y(1000.0f, 500.0f, 350.0f));
    EXPECT_EQ(get<float>("kelvor.cur_angle"), 360.0f);
    EXPECT_EQ(get<uint8_t>("kelvor.state_flag"), 3);
}

TEST_F(Motion, AnAutomaticCycleEndHoldsAsAStart) {
    set<uint8_t>("kelvor.state_flag", 3);
    set<float>("kelvor.cur_angle", 360.0f);
    set<uint8_t>("kelvor.automatic", 1);
    EXPECT_EQ(tick(),
              "set kelvor.sum_point = 1\nset kelvor.cur_angle = 0\nset kelvor.state_flag = 1\n"
              "set kelvor.num_complate = 4\nset kelvor.y_Real = 100\nset kelvor.x_Real = 100\n"
              "set kelvor.save_flag = 3\nset kelvor.temp = 6\n");
}

TEST_F(Motion, ThePointCountWrapsInsteadOfOverflowing) {
    set<uint8_t>("kelvor.state_flag", 0);
    set<int32_t>("kelvor.sum_point", INT32_MAX);
    fire("18_timer2_timer");
    EXPECT_EQ(get<int32_t>("kelvor.sum_point"), INT32_MIN);
}

}  // namespace
}  // namespace hmi::test
