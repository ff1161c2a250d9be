#include "common/CommandLine.h"

#include <iostream>

namespace velum {

std::optional<int> AnswerCommandLine(int argc, char** argv, const ProgramInfo& info) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return AnswerOptions(args, info, std::cout, std::cerr);
}

} // namespace velum
