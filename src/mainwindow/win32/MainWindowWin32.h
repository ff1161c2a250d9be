#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/PictureFile.h"
#include "mainwindow/FormDriver.h"
#include "mainwindow/WindowLayout.h"
#include "mainwindow/frmWallPaper.h"

namespace velum {

// The Win32 window of frmWallPaper, made of Windows' own controls. It draws the form's state
// and hands each action of the person to the form's handler through the FormDriver; after a
// handler returns every control is drawn again from the form.
class MainWindowWin32 {
  public:
    // Creates the window (hidden) and centres it on the work area of the monitor under the
    // pointer, where the person started it. The form's Form_Load runs once the window is
    // painted (a message posted now), or first thing when anything reaches the form earlier.
    // `Complain` of the driver is left to the caller.
    explicit MainWindowWin32(frmWallPaper& form, HINSTANCE instance);
    ~MainWindowWin32();
    MainWindowWin32(const MainWindowWin32&) = delete;
    MainWindowWin32& operator=(const MainWindowWin32&) = delete;

    HWND hwnd() const { return hwnd_; }
    // A control by its object name (cmdAdd, lstRotateBmps, ...); null for an unknown name.
    HWND control(const std::string& name) const;
    // The control's rectangle in client coordinates.
    RECT controlRect(const std::string& name) const;
    FormDriver& driver() { return driver_; }
    // Runs the form's Form_Load unless it ran: the store and the folder read, the lists filled.
    void Load();

    // Help, About.
    std::function<void()> onAbout;
    // Told first when the session ends, so that no question is put any more.
    std::function<void()> onSessionEnding;

    // Twips to pixels at the window's DPI.
    int px(int twips) const;
    // The window moved to a monitor of another scale: every control is laid out and given a
    // font for `dpi`, and the window takes `suggested` (as WM_DPICHANGED brings them).
    void ChangeDpi(int dpi, const RECT& suggested);
    // The keyboard message goes to the window's accelerators and dialog keys (Tab, arrows,
    // access keys); true when it was handled and must not be dispatched.
    bool PreTranslate(MSG& msg);
    // Draws every control from the form.
    void SyncFromForm();
    // The end of the session: the exit sequence at once, without a question.
    void EndSession();

    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kLoadMessage = WM_APP + 1;
    // The collection box left by a click elsewhere, handled once the clicked control is done;
    // lParam is the box's row.
    static constexpr UINT kFocusLeftMessage = WM_APP + 2;
    static constexpr int kFirstControlId = 100;
    static constexpr int kFirstMenuId = 1000;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

    void CreateControls();
    // Names the controls that have a spoken name in the table but no label or caption, through
    // Active Accessibility's annotation; ClearNames takes the names back.
    void NameUnlabelled();
    void ClearNames();
    // Places every control for the current scale and gives it the font.
    void LayOut();
    // The message font at `dpi` (the system's own metrics are at the system's DPI).
    void MakeFont(int dpi);
    void CreateMenus();
    // The table row of one of the window's own controls; null for any other window.
    const ControlLayout* RowOf(HWND w) const;
    // The control with the focus, or the one whose edit part has it; empty for none.
    std::string FocusedName() const;
    void OnCommand(const ControlLayout& row, int code, HWND from);
    // The collection box has lost the focus: the form hears it now, or after a click is done.
    void LeaveCombo(const ControlLayout& row, HWND combo);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void PushSelection(const ControlLayout& row, HWND list);
    void Drag(const ControlLayout& row, POINT start);
    void SyncControl(const ControlLayout& row, HWND w);
    // Puts the entries in a list or combo box unless it shows them already: those of the
    // form's list `source` at its revision, else these very entries.
    void Fill(HWND w, const std::vector<std::string>& items, bool combo,
              const ItemList* source = nullptr);
    void SyncList(HWND list, const ListBox& box);
    void SyncFolders(HWND list, const DirListBox& box);
    void SyncPreview(const ControlLayout& row, HWND picture, const ImageBox& box);
    void PaintFolder(const DRAWITEMSTRUCT& item);
    void PaintPreview(const ImageBox& box, HDC dc, const RECT& rect);
    bool LoadPicture(const std::string& path);
    // The most of a picture the preview can show: its box when stretched, else the window.
    SIZE PreviewLimit(const ImageBox& box) const;

    frmWallPaper& form_;
    FormDriver driver_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HWND tooltip_ = nullptr;
    // The control that had the focus when the window was last left, given back on return.
    HWND lastFocus_ = nullptr;
    double scale_ = 1.0;
    int systemDpi_ = 96;
    bool syncing_ = false;
    bool loaded_ = false;
    bool comStarted_ = false;
    bool waitCursor_ = false;
    std::map<std::string, HWND> controls_;
    std::vector<HWND> annotated_; // the controls given a name through the annotation service
    std::vector<const ControlLayout*> rows_; // control id - kFirstControlId -> its row
    // What each list or combo box holds, so a sync compares in memory and sends only changes:
    // asking a control for 32,767 entries one message at a time would make every sync slow. The
    // entries are known by a fingerprint, so thousands of them are not held twice, and a form's
    // list by its revision, so they are not even read again while it stays the same.
    struct Shown {
        const ItemList* source = nullptr;
        std::uint64_t revision = 0;
        std::size_t count = 0;
        std::uint64_t fingerprint = 0;
        std::vector<bool> selected;
    };
    std::map<HWND, Shown> shown_;
    std::vector<const MenuEntry*> menuIds_; // menu id - kFirstMenuId -> its entry
    std::vector<FolderRow> folders_;        // the folder list's lines as shown
    std::string cachedPath_;
    Picture cached_;
    // What the cached picture was decoded for: the preview's box, or the window's client area.
    SIZE cachedLimit_{};
    bool cachedFit_ = false;
    std::function<bool(const std::string&)> formLoadPicture_;
};

} // namespace velum
