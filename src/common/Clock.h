#pragma once

#include <memory>

#include "common/DateTime.h"

namespace velum {

// The present moment, injected so that tests can move time.
class Clock {
  public:
    virtual ~Clock() = default;
    // The present local date and time.
    virtual DateTime Now() = 0;
};

// A random source that can be re-seeded from the clock, injected so that tests can pick.
class RandomSource {
  public:
    virtual ~RandomSource() = default;
    // Starts a new sequence from the system clock.
    virtual void Randomize() = 0;
    // A number drawn uniformly from [0, 1).
    virtual double Next() = 0;
};

// Platform half: the system's clock in local time.
std::unique_ptr<Clock> CreateSystemClock();

// A generator re-seeded from the system clock.
std::unique_ptr<RandomSource> CreateClockRandom();

} // namespace velum
