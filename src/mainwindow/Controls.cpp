#include "mainwindow/Controls.h"

namespace velum {

namespace {
void Run(const std::function<void()>& handler) {
    if (handler)
        handler();
}
} // namespace

void ListBox::AddItem(const std::string& text) {
    items_.push_back(text);
    selected_.push_back(false);
}

void ListBox::RemoveItem(int i) {
    items_.erase(items_.begin() + i);
    selected_.erase(selected_.begin() + i);
    if (listIndex_ == i)
        listIndex_ = -1;
    else if (listIndex_ > i)
        --listIndex_;
}

void ListBox::Clear() {
    items_.clear();
    selected_.clear();
    listIndex_ = -1;
}

void ListBox::SetSelected(int i, bool on) {
    selected_.at(static_cast<std::size_t>(i)) = on;
    listIndex_ = i;
    Run(Click);
}

void ComboBox::AddItem(const std::string& text) {
    items_.push_back(text);
}

void ComboBox::RemoveItem(int i) {
    items_.erase(items_.begin() + i);
    if (listIndex_ == i)
        listIndex_ = -1;
    else if (listIndex_ > i)
        --listIndex_;
}

void ComboBox::Clear() {
    items_.clear();
    listIndex_ = -1;
}

void ComboBox::SetText(const std::string& text) {
    if (text == text_)
        return;
    text_ = text;
    // The list's selection follows the text: the entry it names, or none.
    listIndex_ = -1;
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == text_) {
            listIndex_ = static_cast<int>(i);
            break;
        }
    Run(Change);
}

void ComboBox::SetListIndex(int i) {
    listIndex_ = i;
    if (i >= 0)
        text_ = items_.at(static_cast<std::size_t>(i));
    Run(Click);
}

void TextBox::SetText(const std::string& text) {
    if (text == text_)
        return;
    text_ = text;
    Run(Change);
}

void OptionGroup::Select(OptionButton& button) {
    for (OptionButton* b : buttons_)
        b->value_ = (b == &button);
    Run(button.Click);
}

void CheckBox::SetValue(int value) {
    if (value == value_)
        return;
    value_ = value;
    Run(Click);
}

} // namespace velum
