#pragma once

#include <functional>

namespace velum::test {

// Runs `work` in a child process of its own, so that what it does to the process (its peak
// memory, say) is measured apart from the test's: what it returned, or -1 when the child
// could not tell.
long InChild(const std::function<long()>& work);

} // namespace velum::test
