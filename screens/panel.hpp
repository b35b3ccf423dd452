// What the scripts of several screens share: the message box's confirming answer and
// notice title, and their factor from degrees to radians.
#pragma once

namespace hmi {

// What msgbox answers when the operator confirms a question (7 when they decline).
constexpr int kYes = 6;

constexpr char kNotice[] = "\xcc\xe1\xca\xbe";  // 提示 (notice), the title of notices

// Degrees to radians as the scripts write it, in single precision: their results
// follow this constant, not pi / 180 worked out anew.
constexpr float kRadiansPerDegree = 0.017453292f;

}  // namespace hmi
