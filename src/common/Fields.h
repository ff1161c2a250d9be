#pragma once

#include <string_view>

namespace velum {

// Field `n` (from 1) of `text` split at `delimiter`, with TrimField applied; a view into `text`.
// Quotes are not honoured: a delimiter inside a quoted value ends the field there.
std::string_view GetField(short n, std::string_view text, std::string_view delimiter);

// `text` without any number of double quotes at its start and its end.
std::string_view TrimField(std::string_view text);

} // namespace velum
