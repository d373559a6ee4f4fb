#pragma once
// The day the tests of missed runs begin on and a minute, in the clock's milliseconds.
#include <cstdint>

namespace kivo::test {

inline constexpr std::int32_t Day0 = 45358; // 07-03-24
inline constexpr std::int64_t Min = 60'000;

} // namespace kivo::test
