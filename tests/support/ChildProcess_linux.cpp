#include "support/ChildProcess.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velum::test {

long InChild(const std::function<long()>& work) {
    int out[2];
    if (::pipe(out) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        const long result = work();
        [[maybe_unused]] ssize_t n = ::write(out[1], &result, sizeof result);
        ::_exit(0);
    }
    ::close(out[1]);
    long result = -1;
    if (child < 0 || ::read(out[0], &result, sizeof result) != sizeof result)
        result = -1;
    ::close(out[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return result;
}

long PeakGrowthKiB(const std::function<bool()>& work, bool ofItsChildren) {
    const int who = ofItsChildren ? RUSAGE_CHILDREN : RUSAGE_SELF;
    return InChild([&]() -> long {
        rusage before{}, after{};
        getrusage(who, &before);
        const bool ok = work();
        getrusage(who, &after);
        return ok ? after.ru_maxrss - before.ru_maxrss : 1L << 40;
    });
}

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
const long kMemorySlack = 4;
} // namespace velum::test
// Freed blocks wait in a quarantine before reuse, 256 MB of them by default: a peak measured
// with that much would be the quarantine's, not the code's.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}
namespace velum::test {
#else
const long kMemorySlack = 1;
#endif

} // namespace velum::test
