#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// The window's controls as plain state. Setting a control's state from code runs its handler at
// once, before the next statement, exactly as a person's action in the window does.
namespace velum {

// A list box with extended selection.
class ListBox {
  public:
    std::function<void()> Click;
    bool enabled = true;

    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    const std::vector<std::string>& items() const { return items_; }
    void AddItem(const std::string& text);
    void RemoveItem(int i);
    void Clear();

    bool Selected(int i) const { return selected_.at(static_cast<std::size_t>(i)); }
    // Selects or deselects an entry; runs Click.
    void SetSelected(int i, bool on);
    // The entry with the focus, -1 when none.
    int ListIndex() const { return listIndex_; }

  private:
    std::vector<std::string> items_;
    std::vector<bool> selected_;
    int listIndex_ = -1;
};

// A combo box: a list and an editable text.
class ComboBox {
  public:
    std::function<void()> Click;
    std::function<void()> Change;

    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int i) const { return items_.at(static_cast<std::size_t>(i)); }
    const std::vector<std::string>& items() const { return items_; }
    void AddItem(const std::string& text);
    void RemoveItem(int i);
    void Clear();

    const std::string& Text() const { return text_; }
    // Replaces the text and selects the entry it names, if any; runs Change when it differs.
    void SetText(const std::string& text);
    // The selected entry, -1 when none.
    int ListIndex() const { return listIndex_; }
    // Selects an entry and shows its text; runs Click.
    void SetListIndex(int i);

  private:
    std::vector<std::string> items_;
    std::string text_;
    int listIndex_ = -1;
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

// An option button of an exclusive group.
class OptionButton {
  public:
    std::function<void()> Click;
    bool Value() const { return value_; }

  private:
    friend class OptionGroup;
    bool value_ = false;
};

// The buttons of one exclusive group.
class OptionGroup {
  public:
    OptionGroup(std::initializer_list<OptionButton*> buttons) : buttons_(buttons) {}
    // Selects `button`, clears the others, then runs its Click.
    void Select(OptionButton& button);

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

enum class MousePointer { Default = 0, Hourglass = 11 };

} // namespace velum
