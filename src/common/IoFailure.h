#pragma once

#include <stdexcept>
#include <string>

namespace velum {

// The one error type of the programs: a file or setting of the store could not be read or
// written. It carries the system's text and error number and is caught where a person is told;
// the file it names is left as it was. The registry calls themselves return Win32 status codes.
class IoFailure : public std::runtime_error {
  public:
    // The error number of a missing file or key: ENOENT and ERROR_FILE_NOT_FOUND are both 2.
    static constexpr int kNotFound = 2;

    IoFailure(const std::string& message, int code = 0)
        : std::runtime_error(message), code_(code) {}
    // The system's error number, 0 when there is none.
    int code() const { return code_; }

  private:
    int code_;
};

} // namespace velum
