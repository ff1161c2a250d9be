#include "common/Clock.h"

#include <windows.h>

namespace velum {

namespace {

class SystemClock final : public Clock {
  public:
    DateTime Now() override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    }
};

} // namespace

std::unique_ptr<Clock> CreateSystemClock() {
    return std::make_unique<SystemClock>();
}

} // namespace velum
