#pragma once

#include <windows.h>

#include "common/Dialogs.h"
#include "common/Registry.h"

namespace velum {

// Shows the About window without blocking `owner`; while one is open it is brought to the
// front instead of opening a second. OK, Enter or Esc closes it.
void ShowAboutWindow(HWND owner, HINSTANCE instance, Registry& reg, Dialogs& dialogs,
                     const char* version);

// The About window while it is open, else null: the message loop gives it its dialog keys.
HWND OpenAboutWindow();

} // namespace velum
