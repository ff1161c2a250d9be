#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// The window's controls as plain state. Setting a control's state from code runs its handler at
// once, before the next statement, exactly as a person's action in the window does.
namespace velum {

// The entries of a list or a combo box, and the current one.
class ItemList {
  public:
    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    const std::vector<std::string>& items() const { return items_; }
    void AddItem(const std::string& text) {
        items_.push_back(text);
        ++revision_;
    }
    void RemoveItem(int i);
    void Clear();
    // The current entry, -1 when none.
    int ListIndex() const { return listIndex_; }
    // Changes with every change of the entries: a view shows them again only then.
    std::uint64_t revision() const { return revision_; }

  protected:
    std::vector<std::string> items_;
    int listIndex_ = -1;
    std::uint64_t revision_ = 0;
};

// A list box with extended selection.
class ListBox : public ItemList {
  public:
    std::function<void()> Click;
    bool enabled = true;
    int TopIndex = -1; // the entry a view first shows in view, -1 for none

    void AddItem(const std::string& text);
    void RemoveItem(int i);
    void Clear();
    // Replaces every entry by `items`, none selected: thousands of entries without a copy each.
    void SetItems(std::vector<std::string> items);
    // Empties the list, handing its entries over.
    std::vector<std::string> TakeItems();

    bool Selected(int i) const { return selected_.at(static_cast<std::size_t>(i)); }
    // Selects or deselects an entry; runs Click.
    void SetSelected(int i, bool on);
    // Selects the entries `want` names and deselects the rest, then runs Click once: a loop
    // over thousands of entries runs the handler once, not once per entry. `focus` becomes
    // the current entry when it is one. Nothing runs for an empty list.
    void SetSelection(const std::function<bool(int)>& want, int focus = -1);
    // Selects the entries `want` names, the first of them the current entry, as SetSelection.
    void SelectWhere(const std::function<bool(int)>& want);
    // Removes the selected entries; the number removed.
    int RemoveSelected();
    // True when any entry is selected.
    bool AnySelected() const;
    // The entry to apply or preview: the current one when selected, else the first selected
    // (a selection cleared from code leaves the current entry behind, naming nothing); -1
    // when nothing is selected.
    int ChosenEntry() const;

  private:
    std::vector<bool> selected_;
};

// A combo box: a list and an editable text.
class ComboBox : public ItemList {
  public:
    std::function<void()> Click;
    std::function<void()> Change;

    const std::string& Text() const { return text_; }
    // Replaces the text and selects the entry it names, if any; runs Change when it differs.
    void SetText(const std::string& text);
    // Selects an entry and shows its text; runs Click.
    void SetListIndex(int i);
    // Chooses the entry that holds `text`, as SetListIndex does; nothing when none holds it.
    void ChooseText(const std::string& text);

  private:
    std::string text_;
};

// A single-line text box.
class TextBox {
  public:
    std::function<void()> Change;

    const std::string& Text() const { return text_; }
    // Replaces the text; runs Change when it differs.
    void SetText(const std::string& text);

  private:
    std::string text_;
};

class OptionGroup;

// An option button of an exclusive group.
class OptionButton {
  public:
    std::function<void()> Click;
    bool Value() const { return value_; }
    // A person's click: selects this button in its group, clears the others, runs Click.
    void Choose();

  private:
    friend class OptionGroup;
    bool value_ = false;
    OptionGroup* group_ = nullptr;
};

// The buttons of one exclusive group.
class OptionGroup {
  public:
    OptionGroup(std::initializer_list<OptionButton*> buttons);
    OptionGroup(const OptionGroup&) = delete;
    OptionGroup& operator=(const OptionGroup&) = delete;
    // Selects `button`, clears the others, then runs its Click.
    void Select(OptionButton& button);
    // The design-time choice: selects `button` without running its Click.
    void Preset(OptionButton& button);

  private:
    std::vector<OptionButton*> buttons_;
};

// A check box: 0 cleared, 1 checked, 2 greyed.
class CheckBox {
  public:
    std::function<void()> Click;
    int Value() const { return value_; }
    // Sets the state; runs Click when it changes.
    void SetValue(int value);

  private:
    int value_ = 0;
};

// The drive list: the volumes that hold files.
class DriveListBox {
  public:
    std::function<void()> Change;
    std::vector<std::string> volumes;

    const std::string& Drive() const { return drive_; }
    // Chooses a volume; runs Change when it differs.
    void SetDrive(const std::string& drive);

  private:
    std::string drive_;
};

// One line of the directory list.
struct FolderRow {
    std::string text; // the folder's name, indented two spaces a level
    std::string path; // the folder it opens
    bool open;        // the folder shown or one above it
    bool shown;       // the folder shown
    bool operator==(const FolderRow&) const = default;
};

// The directory list: one folder and its subfolders.
class DirListBox {
  public:
    std::function<void()> Change;
    std::vector<std::string> subfolders;
    std::vector<std::string> bitmaps; // read with the folder, handed to the file list

    const std::string& Path() const { return path_; }
    // Shows a folder; runs Change when it differs. Throws IoFailure when it cannot be read,
    // leaving the list as it was.
    void SetPath(const std::string& folder);
    // The lines as the list shows them: the root, each folder down to the one shown, one step
    // further in each, then its subfolders.
    std::vector<FolderRow> Rows() const;
    // A person opens line `row`: an unreadable folder leaves the list as it was.
    void Open(int row);

  private:
    std::string path_;
};

// The file list: the bitmap files of one folder, with extended selection.
class FileListBox : public ListBox {
  public:
    const std::string& Path() const { return path_; }
    // Shows `names`, the bitmap files of `folder`.
    void Show(const std::string& folder, std::vector<std::string> names);
    // Full path of entry i: the folder, a separator unless it ends in one, the name.
    std::string FullPath(int i) const;

  private:
    std::string path_;
};

// The preview image.
struct ImageBox {
    static constexpr int kThumbWidth = 2055; // twips
    static constexpr int kThumbHeight = 1365;
    std::string picture; // the file shown, empty for none
    bool stretch = true;
    int width = kThumbWidth;
    int height = kThumbHeight;
};

enum class MousePointer { Default = 0, Hourglass = 11 };

// Shows the hourglass for the life of the guard, however the operation ends.
class Hourglass {
  public:
    Hourglass(MousePointer& pointer, const std::function<void(MousePointer)>& changed)
        : pointer_(pointer), changed_(changed) {
        Set(MousePointer::Hourglass);
    }
    ~Hourglass() { Set(MousePointer::Default); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

  private:
    void Set(MousePointer pointer) {
        pointer_ = pointer;
        if (changed_)
            changed_(pointer);
    }
    MousePointer& pointer_;
    const std::function<void(MousePointer)>& changed_;
};

} // namespace velum
