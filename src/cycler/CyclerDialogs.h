#pragma once

#include <memory>

#include "common/Dialogs.h"

namespace velum {

// How velumspin, which has no window, shows a message: a line on the error stream on Linux,
// a message box on Windows.
std::unique_ptr<Dialogs> CreateCyclerDialogs();

} // namespace velum
