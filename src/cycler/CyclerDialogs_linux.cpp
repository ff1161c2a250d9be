#include "cycler/CyclerDialogs.h"

#include <iostream>

#include "cycler/ConsoleDialogs.h"

namespace velum {

std::unique_ptr<Dialogs> CreateCyclerDialogs() {
    return std::make_unique<ConsoleDialogs>(std::cerr, "velumspin");
}

} // namespace velum
