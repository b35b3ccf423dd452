// The answers of a message box as the panel numbers them.
#pragma once

namespace hmi::sim {

constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;
constexpr int kAnswerOk = 1;

}  // namespace hmi::sim
