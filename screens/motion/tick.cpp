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
constexpr float kRadiansPerDegree = 0.017453292f;
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

}  // namespace

void motion_tick() {
    Script s;
    auto& allow = s.u8("kelvor.allow_alarm");
    auto& run_flag = s.u8("kelvor.run_flag");
    auto& temp = s.u8("kelvor.temp");
    auto& run_time = s.u32("kelvor.run_time");
    auto& origin_request = s.u8("kelvor.star_Location");
    auto& hold = s.u8("kelvor.save_flag");
    auto& x = s.f32("kelvor.x_Real");
    auto& y = s.f32("kelvor.y_Real");
    auto& pause = s.u8("kelvor.pause");
    auto& stop = s.u8("kelvor.stop");
    auto& stopped = s.u8("kelvor.runState");
    auto& start_request = s.u8("kelvor.star_Run");
    auto& cycles = s.u16("kelvor.num_complate");
    auto& resume = s.u8("kelvor.continue");
    auto& clear_request = s.u8("kelvor.clear_cmp");
    auto& phase = s.u8("kelvor.state_flag");
    auto& direction = s.u8("kelvor.direction");
    auto& rows_entered = s.u8("kelvor.temp2");
    auto& temp1 = s.u8("kelvor.temp1");
    auto& center_x = s.f32("kelvor.c_center_x");
    auto& radius = s.f32("kelvor.radius");
    auto& angle_deg = s.f32("kelvor.cur_angle");
    auto& center_y = s.f32("kelvor.c_center_y");
    auto& points = s.i32("kelvor.sum_point");
    auto& automatic = s.u8("kelvor.automatic");

    if (allow == 0) return;  // the gate: nothing is written

    run_flag = 1;
    if (temp >= kLastSubTick) {
        temp = 0;
        run_time += 1;
    } else {
        temp += 1;
    }
    if (run_time > kLongestRunTime) run_time = 0;

    // The requests, each written as soon as it is taken.
    if (origin_request == 1) {
        hold = kAtOriginOrStopped;
        origin_request = 0;
        x = 0.0f;
        y = 0.0f;
        s.write_back();
    }
    if (pause == 1) {  // the pause stays latched until a continue takes it
        hold = kPaused;
        s.write_back();
    }
    if (stop == 1) {
        hold = kAtOriginOrStopped;
        stopped = 1;
        stop = 0;
        start_request = 0;
        cycles = 0;
        s.write_back();
    }
    if (resume == 1 && pause == 1) {  // a continue without a pause waits for one
        resume = 0;
        hold = kFree;
        pause = 0;
        s.write_back();
    }
    if (clear_request == 1) {
        clear_request = 0;
        cycles = 0;
        s.write_back();
    }
    if (start_request == 1) {
        hold = kStarted;
        x = kStartX;
        y = kStartY;
        phase = kColumns;
        start_request = 0;
        s.write_back();
    }

    // Held: only the running flag goes out; this tick's count is kept only if a
    // request above wrote it.
    if (hold != kFree) {
        run_flag = 0;
        s.write_back(&run_flag);
        return;
    }

    if (phase == kColumns) {
        sweep(y, direction, kColumnSweep);
        if (y > kColumnHigh || y < kColumnLow) {  // turn into the next column
            x += kColumnStep;
            if (y > kColumnHigh) {
                y -= kColumnSweep;
            } else {
                y += kColumnSweep;
            }
            direction = negated(direction);
        }
    }
    if (x > kLastColumn && phase == kColumns) {
        phase = kRows;
        if (rows_entered == 0) {  // the rows begin at the rest point, on the next tick
            x = kRestX;
            y = kRestY;
            rows_entered = 1;
            direction = 0;
            s.write_back();
            return;
        }
    }
    if (phase == kRows) {
        sweep(x, direction, kRowSweep);
        if (x > kRowHigh || x < kRowLow) {  // turn into the next row
            y += kRowStep;
            if (x > kRowTurnBack) {
                x -= kRowSweep;
            } else {
                x += kRowSweep;
            }
            direction = negated(direction);
        }
    }
    if (y > kLastRow && phase == kRows) {  // the circle takes over in this same tick
        phase = kCircle;
        temp1 = 0;
        rows_entered = 0;
    }
    if (phase == kCircle) {
        float angle = angle_deg * kRadiansPerDegree;  // single precision
        double sine = sin(static_cast<double>(angle));
        double cosine = cos(static_cast<double>(angle));
        x = static_cast<float>(static_cast<double>(center_x) + static_cast<double>(radius) * sine);
        y = static_cast<float>(static_cast<double>(center_y) +
                               static_cast<double>(radius) * cosine);
        angle_deg += kAngleStep;
    }
    if (phase == kCircle && angle_deg >= kCycleEndAngle) {  // the cycle ends
        angle_deg = 0.0f;
        phase = kColumns;
        x = kRestX;
        y = kRestY;
        cycles += 1;
        points = 0;
        if (automatic == 1) {
            hold = kStarted;
        } else {
            hold = kPaused;
            start_request = 0;
        }
    }
    // A 4-byte counter that wraps rather than overflowing.
    points = static_cast<int32_t>(static_cast<uint32_t>(points) + 1u);
    s.write_back();
}

}  // namespace hmi::motion
