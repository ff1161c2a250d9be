#pragma once

// How Windows' own controls show the form's controls, for the Win32 window.

#include <windows.h>

#include <string>

#include "engine/Bitmap.h"
#include "mainwindow/Controls.h"
#include "mainwindow/WindowLayout.h"

namespace velum {

// The window class and styles of a kind of control; an option button that starts its group is
// the group's one tab stop.
struct Win32Class {
    const wchar_t* cls;
    DWORD style;
};
Win32Class ClassOf(ControlKind kind, bool startsGroup);

// A menu entry's shortcut text ("Ctrl+S", "Del") as an accelerator; false for one it cannot
// read.
bool ParseShortcut(std::string text, ACCEL& key);
// True for an edit control: a text field, or the text of a combo box.
bool IsEdit(HWND w);
std::string WindowText(HWND w);

// Draws a line of the folder list: the folder icon, open or closed, indented by its level.
void PaintFolderRow(const DRAWITEMSTRUCT& item, const FolderRow& folder);
// Draws the preview: the picture stretched into `rect` (halftone), or the dialog colour alone.
void PaintPicture(HDC dc, const RECT& rect, const Picture* picture);

} // namespace velum
