#include "common/CommandLine.h"

#include <ostream>

namespace velum {

std::optional<int> AnswerOptions(const std::vector<std::string>& args, const ProgramInfo& info,
                                 std::ostream& out, std::ostream& err) {
    const std::string usage = "Usage: " + info.name + " [--help | --version]";
    for (const auto& arg : args) {
        if (arg == "--help") {
            out << usage << "\n" << info.help;
            return 0;
        }
        if (arg == "--version") {
            out << info.name << " " << info.version << "\n";
            return 0;
        }
    }
    if (!info.refuseOtherOptions)
        return std::nullopt;
    for (const auto& arg : args)
        if (arg.size() > 1 && arg[0] == '-') {
            err << info.name << ": unknown option " << arg << "; " << usage << "\n";
            return 2;
        }
    return std::nullopt;
}

} // namespace velum
