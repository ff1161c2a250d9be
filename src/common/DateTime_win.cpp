#include "common/DateTime.h"

#include <windows.h>

#include <oleauto.h> // needs windows.h first

#include "common/WideText.h"

namespace velum {

namespace {

// The OLE Automation date of a moment; nullopt outside its range.
std::optional<double> ToVariantTime(const DateTime& dt) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(dt.year);
    st.wMonth = static_cast<WORD>(dt.month);
    st.wDay = static_cast<WORD>(dt.day);
    st.wHour = static_cast<WORD>(dt.hour);
    st.wMinute = static_cast<WORD>(dt.minute);
    st.wSecond = static_cast<WORD>(dt.second);
    double date = 0;
    if (!IsValidDateTime(dt) || !SystemTimeToVariantTime(&st, &date))
        return std::nullopt;
    return date;
}

// The user's locale form, as the system's date conversion gives it.
std::string LocaleText(const DateTime& dt) {
    std::optional<double> date = ToVariantTime(dt);
    BSTR text = nullptr;
    if (!date || FAILED(VarBstrFromDate(*date, LOCALE_USER_DEFAULT, 0, &text)) || !text)
        return FormatIsoDateTime(dt);
    std::string out = Narrow(std::wstring_view(text, SysStringLen(text)));
    SysFreeString(text);
    return out;
}

} // namespace

std::string DateTimeToStoredText(const DateTime& dt) {
    return LocaleText(dt);
}

std::optional<DateTime> DateTimeFromText(const std::string& text) {
    // Files written on Linux hold ISO times; they read the same here.
    if (auto dt = ParseIsoDateTime(text))
        return dt;
    std::wstring wide = Widen(text);
    BSTR in = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    double date = 0;
    HRESULT hr = in ? VarDateFromStr(in, LOCALE_USER_DEFAULT, 0, &date) : E_OUTOFMEMORY;
    SysFreeString(in);
    SYSTEMTIME st{};
    if (FAILED(hr) || !VariantTimeToSystemTime(date, &st))
        return std::nullopt;
    DateTime dt{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    if (!IsValidDateTime(dt))
        return std::nullopt;
    return dt;
}

std::string DateTimeToDisplayText(const DateTime& dt) {
    return LocaleText(dt);
}

} // namespace velum
