#pragma once

#include <string>

namespace velum {

// Field `n` (from 1) of `text` split at `delimiter`, with TrimField applied. Quotes are not
// honoured: a delimiter inside a quoted value ends the field there.
std::string GetField(short n, const std::string& text, const std::string& delimiter);

// `text` without any number of double quotes at its start and its end.
std::string TrimField(const std::string& text);

} // namespace velum
