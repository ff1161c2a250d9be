#pragma once

#include <string>

namespace velum {

// Starts the program detached, in its own window with the focus; false when it cannot be started.
bool StartProgram(const std::string& path);

} // namespace velum
