#include "common/CommandLine.h"

namespace velum {

// The Windows programs take no arguments and ignore any they are given, as they always have.
std::optional<int> AnswerCommandLine(int, char**, const ProgramInfo&) {
    return std::nullopt;
}

} // namespace velum
