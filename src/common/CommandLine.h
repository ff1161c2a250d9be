#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace velum {

// What a program tells about itself on the command line.
struct ProgramInfo {
    std::string name;    // velumspin
    std::string version; // 1.0.0
    std::string help;    // the lines after the usage line
    // True for a program with no options of its own: any other option is refused. False
    // passes other options on (velumdesk's go to its toolkit).
    bool refuseOtherOptions = true;
};

// Answers --help and --version on `out` (status 0) and refuses any other argument that begins
// with '-' with a one-line usage on `err` (status 2) when the program refuses options. Nothing
// when the program should go on as usual.
std::optional<int> AnswerOptions(const std::vector<std::string>& args, const ProgramInfo& info,
                                 std::ostream& out, std::ostream& err);

// Platform half: AnswerOptions over the program's arguments on Linux, where every program
// answers --help; nothing on Windows, where the programs ignore their arguments.
std::optional<int> AnswerCommandLine(int argc, char** argv, const ProgramInfo& info);

} // namespace velum
