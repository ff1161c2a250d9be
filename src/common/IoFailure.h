#pragma once

#include <stdexcept>
#include <string>

namespace velum {

// A file of the store could not be read or written. The file it names is left as it was.
class IoFailure : public std::runtime_error {
  public:
    IoFailure(const std::string& message, int code = 0)
        : std::runtime_error(message), code_(code) {}
    // The system's error number, 0 when there is none.
    int code() const { return code_; }

  private:
    int code_;
};

} // namespace velum
