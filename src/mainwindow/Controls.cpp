#include "mainwindow/Controls.h"

#include <algorithm>

#include "common/Files.h"
#include "common/Folders.h"

namespace velum {

namespace {
void Run(const std::function<void()>& handler) {
    if (handler)
        handler();
}
} // namespace

void ItemList::RemoveItem(int i) {
    items_.erase(items_.begin() + i);
    if (listIndex_ == i)
        listIndex_ = -1;
    else if (listIndex_ > i)
        --listIndex_;
}

void ItemList::Clear() {
    items_.clear();
    listIndex_ = -1;
}

void ListBox::AddItem(const std::string& text) {
    ItemList::AddItem(text);
    selected_.push_back(false);
}

void ListBox::RemoveItem(int i) {
    ItemList::RemoveItem(i);
    selected_.erase(selected_.begin() + i);
}

void ListBox::Clear() {
    ItemList::Clear();
    selected_.clear();
}

void ListBox::SetSelected(int i, bool on) {
    selected_.at(static_cast<std::size_t>(i)) = on;
    listIndex_ = i;
    Run(Click);
}

void ListBox::SetSelection(const std::function<bool(int)>& want, int focus) {
    if (items_.empty())
        return;
    for (std::size_t i = 0; i < selected_.size(); ++i)
        selected_[i] = want(static_cast<int>(i));
    if (focus >= 0 && focus < ListCount())
        listIndex_ = focus;
    Run(Click);
}

bool ListBox::AnySelected() const {
    return std::find(selected_.begin(), selected_.end(), true) != selected_.end();
}

void DriveListBox::SetDrive(const std::string& drive) {
    if (drive == drive_)
        return;
    drive_ = drive;
    Run(Change);
}

void DirListBox::SetPath(const std::string& folder) {
    std::string normal = NormalizeFolder(folder);
    if (normal == path_)
        return;
    subfolders = ListSubfolders(normal);
    path_ = normal;
    Run(Change);
}

void FileListBox::SetPath(const std::string& folder) {
    path_ = folder;
    Clear();
    std::vector<std::string> names;
    try {
        names = ListBitmapFiles(folder);
    } catch (const std::exception&) {
        // An unreadable folder shows no files.
    }
    for (const auto& name : names)
        AddItem(name);
}

std::string FileListBox::FullPath(int i) const {
    return JoinPath(path_, List(i));
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

void OptionGroup::Preset(OptionButton& button) {
    for (OptionButton* b : buttons_)
        b->value_ = (b == &button);
}

void CheckBox::SetValue(int value) {
    if (value == value_)
        return;
    value_ = value;
    Run(Click);
}

} // namespace velum
