#include "support/ChildProcess.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velum::test {

long PeakGrowthKiB(const std::function<bool()>& work, bool ofItsChildren) {
    constexpr long kFailed = 1L << 40;
    int out[2];
    if (::pipe(out) != 0)
        return kFailed;
    const pid_t child = ::fork();
    if (child == 0) {
        const int who = ofItsChildren ? RUSAGE_CHILDREN : RUSAGE_SELF;
        rusage before{}, after{};
        getrusage(who, &before);
        const bool ok = work();
        getrusage(who, &after);
        const long grew = ok ? after.ru_maxrss - before.ru_maxrss : kFailed;
        [[maybe_unused]] ssize_t n = ::write(out[1], &grew, sizeof grew);
        ::_exit(0);
    }
    ::close(out[1]);
    long grew = kFailed; // also when the child died before it could tell
    if (child < 0 || ::read(out[0], &grew, sizeof grew) != sizeof grew)
        grew = kFailed;
    ::close(out[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return grew;
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
