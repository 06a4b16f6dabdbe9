// The time the wizard's rules count in: a steady clock, which tests replace
// with one they move by hand.
#pragma once

#include <chrono>
#include <functional>

namespace base {

using TimePoint = std::chrono::steady_clock::time_point;
using Clock = std::function<TimePoint()>;

inline TimePoint SteadyNow() { return std::chrono::steady_clock::now(); }

}  // namespace base
