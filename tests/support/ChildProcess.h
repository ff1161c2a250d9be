#pragma once

#include <functional>

namespace velum::test {

// How much `work`, run in a child of its own (so that the test's own peak does not count), grew
// the peak resident size, in KiB, of that child or, with `ofItsChildren`, of the largest program
// it ran; more than any limit when it fails or the child dies.
long PeakGrowthKiB(const std::function<bool()>& work, bool ofItsChildren = false);

// A sanitizer build's own bookkeeping counts in its peak: the limits, set for the normal build,
// are multiplied by this.
extern const long kMemorySlack;

} // namespace velum::test
