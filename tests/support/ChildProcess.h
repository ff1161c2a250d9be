#pragma once

#include <functional>

namespace velum::test {

// Runs `work` in a child process of its own, so that what it does to the process (its peak
// memory, say) is measured apart from the test's: what it returned, or -1 when the child
// could not tell.
long InChild(const std::function<long()>& work);

// How much `work`, run in a child of its own, grew the peak resident size, in KiB, of that
// child or, with `ofItsChildren`, of the largest program it ran; more than any limit when it
// fails.
long PeakGrowthKiB(const std::function<bool()>& work, bool ofItsChildren = false);

// A sanitizer build's own bookkeeping counts in its peak: the limits, set for the normal build,
// are multiplied by this.
extern const long kMemorySlack;

} // namespace velum::test
