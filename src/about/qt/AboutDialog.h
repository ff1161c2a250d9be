#pragma once

#include "common/Dialogs.h"
#include "common/Registry.h"

class QWidget;

namespace velum {

// Shows the About window without blocking `parent`; while one is open it is raised and
// activated instead of opening a second. OK, Enter or Esc closes and deletes it.
void ShowAboutDialog(QWidget* parent, Registry& reg, Dialogs& dialogs);

} // namespace velum
