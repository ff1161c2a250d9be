#include "common/DateValue.h"

namespace velum {

std::string DateValue::StoredText() const {
    switch (kind) {
    case Kind::Text:
        return text;
    case Kind::Date:
        return DateTimeToStoredText(date);
    case Kind::Empty:
        break;
    }
    return {};
}

DateTime DateValue::Moment() const {
    if (kind == Kind::Date)
        return date;
    if (kind == Kind::Text) {
        if (auto d = DateTimeFromText(text))
            return *d;
    }
    return ZeroDate();
}

std::string DateValue::DisplayText() const {
    if (kind == Kind::Date)
        return DateTimeToDisplayText(date);
    if (kind == Kind::Text) {
        if (auto d = DateTimeFromText(text))
            return DateTimeToDisplayText(*d);
        return text;
    }
    return {};
}

} // namespace velum
