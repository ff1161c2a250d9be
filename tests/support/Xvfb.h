#pragma once

#include <csignal>
#include <optional>
#include <string>
#include <utility>

#include "engine/Bitmap.h"

namespace velum::test {

// A private X server for tests, on a free display number, stopped when the object goes.
class Xvfb {
  public:
    // Starts a screen of `screen` (width x height x depth, such as "40x30x24"), with `options`
    // for the server (such as "-extension MIT-SHM"); throws std::runtime_error when none starts.
    explicit Xvfb(const std::string& screen, const std::string& options = "");
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // The DISPLAY text of the server, such as ":91".
    const std::string& display() const { return display_; }
    // Sends `signal` to the server: SIGKILL to lose the display, SIGSTOP to freeze it.
    void Signal(int signal) { kill(pid_, signal); }

  private:
    int pid_ = -1;
    std::string display_;
};

// The root window's pixels of `display`, each 0x00RRGGBB; nullopt when it cannot be read.
std::optional<Picture> ReadRootPixels(const std::string& display);

// The pixmap a property of the root window names; 0 when it is absent or not a pixmap.
unsigned long RootPixmapProperty(const std::string& display, const char* name);

// The width and height of a drawable; nullopt when the server knows no such drawable.
std::optional<std::pair<int, int>> DrawableSize(const std::string& display, unsigned long id);

} // namespace velum::test
