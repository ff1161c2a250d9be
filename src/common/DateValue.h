#pragma once

#include <string>

#include "common/DateTime.h"

namespace velum {

// A rotation time: unset, a text as read from velum.cfg, or a moment.
struct DateValue {
    enum class Kind { Empty, Text, Date };
    Kind kind = Kind::Empty;
    std::string text;
    DateTime date;

    static DateValue FromText(std::string t) { return {Kind::Text, std::move(t), {}}; }
    static DateValue FromDate(const DateTime& d) { return {Kind::Date, {}, d}; }
    bool empty() const { return kind == Kind::Empty; }

    // The text velum.cfg holds for it: a text as read, a moment in the stored form, empty
    // for an unset time (read back as "never changed").
    std::string StoredText() const;
    // The moment it stands for; the zero date when it is unset or not readable as a date.
    DateTime Moment() const;
    // The text shown to a person: a readable date in their locale, else the text as it is.
    std::string DisplayText() const;
};

} // namespace velum
