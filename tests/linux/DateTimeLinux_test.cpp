#include "common/DateTime.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <optional>
#include <string>

namespace velum {
namespace {

// Switches the process's locale for one scope.
class LocaleGuard {
  public:
    LocaleGuard() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
    bool Use(const std::string& name) { return std::setlocale(LC_ALL, name.c_str()) != nullptr; }

  private:
    std::string saved_;
};

// An installed locale other than C, whose date forms differ from the C ones; nullopt when none.
std::optional<std::string> OtherLocale() {
    std::FILE* list = ::popen("locale -a 2>/dev/null", "r");
    if (!list)
        return std::nullopt;
    std::optional<std::string> found;
    char line[256];
    while (!found && std::fgets(line, sizeof line, list)) {
        std::string name(line);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
            name.pop_back();
        if (name.empty() || name == "POSIX" || name == "C" || name.rfind("C.", 0) == 0)
            continue;
        LocaleGuard probe;
        if (probe.Use(name))
            found = name;
    }
    ::pclose(list);
    return found;
}

const DateTime kMoment{2026, 12, 6, 19, 4, 5};

TEST(DateTimeLinux, StoredTextIsIsoWhateverTheLocale) {
    LocaleGuard locale;
    ASSERT_TRUE(locale.Use("C"));
    EXPECT_EQ(DateTimeToStoredText(kMoment), "2026-12-06 19:04:05");
    EXPECT_EQ(DateTimeToStoredText(DateTime{100, 1, 2, 3, 4, 5}), "0100-01-02 03:04:05");

    auto other = OtherLocale();
    if (!other)
        GTEST_SKIP() << "no locale other than C is installed";
    ASSERT_TRUE(locale.Use(*other));
    EXPECT_EQ(DateTimeToStoredText(kMoment), "2026-12-06 19:04:05") << *other;
    EXPECT_EQ(DateTimeFromText("2026-12-06 19:04:05"), kMoment) << *other;
}

TEST(DateTimeLinux, FromTextReadsIsoAndUsFormsAndRejectsGarbage) {
    LocaleGuard locale;
    ASSERT_TRUE(locale.Use("C"));
    EXPECT_EQ(DateTimeFromText("2026-12-06 19:04:05"), kMoment);
    EXPECT_EQ(DateTimeFromText("2026-12-06T19:04:05"), kMoment);
    EXPECT_EQ(DateTimeFromText("12/6/2026 7:04:05 PM"), kMoment);
    EXPECT_EQ(DateTimeFromText(" 12/06/26 19:04:05 "), kMoment);
    EXPECT_EQ(DateTimeFromText("12/6/26"), (DateTime{2026, 12, 6, 0, 0, 0}));
    for (const char* text : {"", "garbage", "2026-12-06 19:04:05 and more", "2/30/2024",
                             "2026-02-30", "12/06/26 25:00:00", "12/06/26 19:04:05 xyz"})
        EXPECT_EQ(DateTimeFromText(text), std::nullopt) << '"' << text << '"';
}

TEST(DateTimeLinux, DisplayTextFollowsTheLocaleAndReadsBack) {
    LocaleGuard locale;
    ASSERT_TRUE(locale.Use("C"));
    EXPECT_EQ(DateTimeToDisplayText(kMoment), "12/06/26 19:04:05");
    EXPECT_EQ(DateTimeFromText(DateTimeToDisplayText(kMoment)), kMoment);

    auto other = OtherLocale();
    if (!other)
        GTEST_SKIP() << "no locale other than C is installed";
    ASSERT_TRUE(locale.Use(*other));
    // Days above 12: in a day-first locale "06/12/26" reads as the US form, which comes first.
    for (DateTime dt : {DateTime{2026, 12, 16, 19, 4, 5}, DateTime{2024, 2, 29, 0, 0, 0},
                        DateTime{2001, 1, 13, 23, 59, 1}})
        EXPECT_EQ(DateTimeFromText(DateTimeToDisplayText(dt)), dt)
            << *other << ": " << DateTimeToDisplayText(dt);
}

} // namespace
} // namespace velum
