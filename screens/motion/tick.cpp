// One tick of the motion screen's timer: count the run time, take the operator's
// requests, and, while the hold code is 0, move the tool one point along its path:
// columns x = 200..2100 swept in y, then rows y = 100..1000 swept in x, then a circle
// in 10-degree steps, after which the cycle ends at (100, 100).
//
// Each request that is taken is written at once, so the host sees the hold code
// and the request cleared even when the tick then stops at the hold.
#include <math.h>

#include "plugin/script.hpp"
#include "screens/motion/motion.hpp"
#include "screens/panel.hpp"

namespace hmi::motion {
namespace {

// The path, in panel units; positions and steps are single precision.
constexpr float kColumnStep = 100.0f;  // from one column to the next
constexpr float kColumnSweep = 200.0f;
constexpr float kColumnLow = 100.0f, kColumnHigh = 1100.0f;
constexpr float kLastColumn = 2100.0f;
constexpr float kRowStep = 100.0f;
constexpr float kRowSweep = 200.0f;
constexpr float kRowLow = 100.0f, kRowHigh = 2300.0f;
constexpr float kRowTurnBack = 1100.0f;  // a turn beyond this x steps back, below it forward
constexpr float kLastRow = 1000.0f;
constexpr float kAngleStep = 10.0f;  // degrees
constexpr float kCycleEndAngle = 362.0f;
constexpr float kRestX = 100.0f, kRestY = 100.0f;  // where a cycle ends and the rows begin
constexpr float kStartX = 200.0f, kStartY = 0.0f;

constexpr uint8_t kLastSubTick = 120;  // the run-time sub-counter runs 0..120
constexpr uint32_t kLongestRunTime = 60000;

// One step of a sweep: direction 0 increases, 1 decreases, anything else stays.
void sweep(float& coordinate, uint8_t direction, float step) {
    if (direction == 0) {
        coordinate += step;
    } else if (direction == 1) {
        coordinate -= step;
    }
}

// The tick's tags, read in this order when the tick begins.
struct Tick {
    Script s;
    uint8_t& allow = s.u8("kelvor.allow_alarm");
    uint8_t& run_flag = s.u8("kelvor.run_flag");
    uint8_t& temp = s.u8("kelvor.temp");
    uint32_t& run_time = s.u32("kelvor.run_time");
    uint8_t& origin_request = s.u8("kelvor.star_Location");
    uint8_t& hold = s.u8("kelvor.save_flag");
    float& x = s.f32("kelvor.x_Real");
    float& y = s.f32("kelvor.y_Real");
    uint8_t& pause = s.u8("kelvor.pause");
    uint8_t& stop = s.u8("kelvor.stop");
    uint8_t& stopped = s.u8("kelvor.runState");
    uint8_t& start_request = s.u8("kelvor.star_Run");
    uint16_t& cycles = s.u16("kelvor.num_complate");
    uint8_t& resume = s.u8("kelvor.continue");
    uint8_t& clear_request = s.u8("kelvor.clear_cmp");
    uint8_t& phase = s.u8("kelvor.state_flag");
    uint8_t& direction = s.u8("kelvor.direction");
    uint8_t& rows_entered = s.u8("kelvor.temp2");
    uint8_t& temp1 = s.u8("kelvor.temp1");
    float& center_x = s.f32("kelvor.c_center_x");
    float& radius = s.f32("kelvor.radius");
    float& angle_deg = s.f32("kelvor.cur_angle");
    float& center_y = s.f32("kelvor.c_center_y");
    int32_t& points = s.i32("kelvor.sum_point");
    uint8_t& automatic = s.u8("kelvor.automatic");
};

// The run time counts one unit every 121 ticks and starts again after its longest.
void count_run_time(Tick& t) {
    t.run_flag = 1;
    if (t.temp >= kLastSubTick) {
        t.temp = 0;
        t.run_time += 1;
    } else {
        t.temp += 1;
    }
    if (t.run_time > kLongestRunTime) t.run_time = 0;
}

// The requests, each written as soon as it is taken.
void take_requests(Tick& t) {
    if (t.origin_request == 1) {
        t.hold = kAtOriginOrStopped;
        t.origin_request = 0;
        t.x = 0.0f;
        t.y = 0.0f;
        t.s.write_back();
    }
    if (t.pause == 1) {  // the pause stays latched until a continue takes it
        t.hold = kPaused;
        t.s.write_back();
    }
    if (t.stop == 1) {
        t.hold = kAtOriginOrStopped;
        t.stopped = 1;
        t.stop = 0;
        t.start_request = 0;
        t.cycles = 0;
        t.s.write_back();
    }
    if (t.resume == 1 && t.pause == 1) {  // a continue without a pause waits for one
        t.resume = 0;
        t.hold = kFree;
        t.pause = 0;
        t.s.write_back();
    }
    if (t.clear_request == 1) {
        t.clear_request = 0;
        t.cycles = 0;
        t.s.write_back();
    }
    if (t.start_request == 1) {
        t.hold = kStarted;
        t.x = kStartX;
        t.y = kStartY;
        t.phase = kColumns;
        t.start_request = 0;
        t.s.write_back();
    }
}

// Held: only the running flag goes out, and the tick ends; this tick's count is kept
// only if a request wrote it.
bool stops_at_hold(Tick& t) {
    if (t.hold == kFree) return false;
    t.run_flag = 0;
    t.s.write_back(&t.run_flag);
    return true;
}

// One step up or down a column, turning into the next column at either end. After
// the last column the rows take over; on their first entry the tool goes to the rest
// point, and the rows begin on the next tick: true then, and the tick ends.
bool sweep_columns(Tick& t) {
    if (t.phase == kColumns) {
        sweep(t.y, t.direction, kColumnSweep);
        if (t.y > kColumnHigh || t.y < kColumnLow) {
            t.x += kColumnStep;
            if (t.y > kColumnHigh) {
                t.y -= kColumnSweep;
            } else {
                t.y += kColumnSweep;
            }
            t.direction = negated(t.direction);
        }
    }
    if (t.x > kLastColumn && t.phase == kColumns) {
        t.phase = kRows;
        if (t.rows_entered == 0) {
            t.x = kRestX;
            t.y = kRestY;
            t.rows_entered = 1;
            t.direction = 0;
            t.s.write_back();
            return true;
        }
    }
    return false;
}

// One step along a row, turning into the next row at either end; after the last row
// the circle takes over in this same tick.
void sweep_rows(Tick& t) {
    if (t.phase == kRows) {
        sweep(t.x, t.direction, kRowSweep);
        if (t.x > kRowHigh || t.x < kRowLow) {
            t.y += kRowStep;
            if (t.x > kRowTurnBack) {
                t.x -= kRowSweep;
            } else {
                t.x += kRowSweep;
            }
            t.direction = negated(t.direction);
        }
    }
    if (t.y > kLastRow && t.phase == kRows) {
        t.phase = kCircle;
        t.temp1 = 0;
        t.rows_entered = 0;
    }
}

// The cycle ends at the rest point: one more cycle counted, and the tool waits for a
// start (manual mode) or starts again (automatic mode).
void end_cycle(Tick& t) {
    t.angle_deg = 0.0f;
    t.phase = kColumns;
    t.x = kRestX;
    t.y = kRestY;
    t.cycles += 1;
    t.points = 0;
    if (t.automatic == 1) {
        t.hold = kStarted;
    } else {
        t.hold = kPaused;
        t.start_request = 0;
    }
}

// One point of the circle, then the next angle; a full turn ends the cycle.
void trace_circle(Tick& t) {
    if (t.phase == kCircle) {
        float angle = t.angle_deg * kRadiansPerDegree;  // single precision
        double sine = sin(static_cast<double>(angle));
        double cosine = cos(static_cast<double>(angle));
        t.x = static_cast<float>(static_cast<double>(t.center_x) +
                                 static_cast<double>(t.radius) * sine);
        t.y = static_cast<float>(static_cast<double>(t.center_y) +
                                 static_cast<double>(t.radius) * cosine);
        t.angle_deg += kAngleStep;
    }
    if (t.phase == kCircle && t.angle_deg >= kCycleEndAngle) end_cycle(t);
}

}  // namespace

void motion_tick() {
    Tick t;
    if (t.allow == 0) return;  // the gate: nothing is written

    count_run_time(t);
    take_requests(t);
    if (stops_at_hold(t)) return;
    if (sweep_columns(t)) return;
    sweep_rows(t);
    trace_circle(t);
    // A 4-byte counter that wraps rather than overflowing.
    t.points = static_cast<int32_t>(static_cast<uint32_t>(t.points) + 1u);
    t.s.write_back();
}

}  // namespace hmi::motion
