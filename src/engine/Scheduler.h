#pragma once

#include <cstdint>

#include "common/Clock.h"
#include "common/DateTime.h"

namespace velum {

// The cycle order codes, as CycleOrder and velum.cfg's CycleOptions hold them.
namespace order {
inline constexpr std::int16_t kAscending = 0;
inline constexpr std::int16_t kRandom = 1;
inline constexpr std::int16_t kDescending = 2;
} // namespace order

// The wallpaper style codes, as WallpaperStyle and velum.cfg's TileWallpaper hold them. Stretch,
// Fit and Fill are the numbers Windows gives them in its own WallpaperStyle value.
namespace style {
inline constexpr std::int16_t kCenter = 0;
inline constexpr std::int16_t kTile = 1;
inline constexpr std::int16_t kStretch = 2;
inline constexpr std::int16_t kFit = 6;
inline constexpr std::int16_t kFill = 10;
inline constexpr std::int16_t kNone = 99;
} // namespace style

// True when the frequency has passed since the last change. The two moments are compared field
// by field (minutes, hours, days, months) with borrows, a month counting the days of the last
// change's month (February always 28), and a change in another month always due; the year is
// not compared.
bool ChangeDue(const DateTime& lastChange, const DateTime& now, double days, double hours,
               double minutes);

// The position to apply in a list of `count`: `next` itself inside the list; otherwise the
// order's start (0 ascending, the last descending, |next| mod (count-1) random, 0 for a list
// of one or none).
int RepairIndex(int next, int count, std::int16_t cycleOrder);

// The position after `current` in a list of `count`: one on ascending (staying at 32767), one
// back descending (past 0 to -1, repaired next time), a fresh draw from `random` for random.
std::int16_t AdvanceIndex(std::int16_t current, int count, std::int16_t cycleOrder,
                          RandomSource& random);

} // namespace velum
