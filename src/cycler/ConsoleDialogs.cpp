#include "cycler/ConsoleDialogs.h"

#include <ostream>

namespace velum {

bool ConsoleDialogs::AskYesNo(const std::string&, const std::string&) {
    return false;
}

void ConsoleDialogs::ShowMessage(const std::string& text, const std::string&) {
    std::string line = program_ + ": ";
    bool blank = false;
    for (char c : text) {
        bool brk = c == '\n' || c == '\r';
        if (brk) {
            blank = true;
            continue;
        }
        if (blank && line.back() != ' ')
            line += ' ';
        blank = false;
        line += c;
    }
    out_ << line << '\n' << std::flush;
}

} // namespace velum
