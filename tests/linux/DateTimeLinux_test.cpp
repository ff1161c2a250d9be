#include "common/DateTime.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace velum {
namespace {

struct LocaleGuard {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
};

// A common locale whose date forms differ from C's; empty when none is installed.
std::string OtherLocale() {
    for (const char* name : {"en_GB.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "ja_JP.UTF-8"})
        if (std::setlocale(LC_ALL, name))
            return name;
    return "";
}

const DateTime kMoment{2026, 12, 6, 19, 4, 5};

TEST(DateTimeLinux, StoredTextIsIsoAndTextsReadBackInAnyLocale) {
    LocaleGuard guard;
    ASSERT_TRUE(std::setlocale(LC_ALL, "C"));
    EXPECT_EQ(DateTimeToDisplayText(kMoment), "12/06/26 19:04:05");
    for (const char* text : {"2026-12-06T19:04:05", "12/6/2026 7:04:05 PM", " 12/06/26 19:04:05 "})
        EXPECT_EQ(DateTimeFromText(text), kMoment) << text;
    for (const char* text : {"garbage", "2/30/2024", "12/06/26 25:00:00", "12/06/26 19:04:05 xyz"})
        EXPECT_EQ(DateTimeFromText(text), std::nullopt) << text;

    const std::string other = OtherLocale();
    for (const std::string& name : {std::string("C"), other}) {
        if (name.empty() || !std::setlocale(LC_ALL, name.c_str()))
            continue;
        EXPECT_EQ(DateTimeToStoredText(kMoment), "2026-12-06 19:04:05") << name;
        EXPECT_EQ(DateTimeFromText("2026-12-06 19:04:05"), kMoment) << name;
        // Days above 12, so that a day-first form cannot pass for the US one.
        for (DateTime dt : {DateTime{2026, 12, 16, 19, 4, 5}, DateTime{2024, 2, 29, 0, 0, 0},
                            DateTime{2001, 1, 13, 23, 59, 1}})
            EXPECT_EQ(DateTimeFromText(DateTimeToDisplayText(dt)), dt)
                << name << ": " << DateTimeToDisplayText(dt);
    }
    if (other.empty())
        GTEST_SKIP() << "no locale other than C is installed";
}

} // namespace
} // namespace velum
