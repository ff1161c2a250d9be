#include "mainwindow/Controls.h"

#include <algorithm>

#include "common/Files.h"
#include "common/Folders.h"
#include "common/IoFailure.h"

namespace velum {

namespace {
void Run(const std::function<void()>& handler) {
    if (handler)
        handler();
}
} // namespace

void ItemList::RemoveItem(int i) {
    items_.erase(items_.begin() + i);
    ++revision_;
    if (listIndex_ == i)
        listIndex_ = -1;
    else if (listIndex_ > i)
        --listIndex_;
}

void ItemList::Clear() {
    items_.clear();
    ++revision_;
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

void ListBox::SetItems(std::vector<std::string> items) {
    Clear();
    items_ = std::move(items);
    selected_.assign(items_.size(), false);
}

std::vector<std::string> ListBox::TakeItems() {
    std::vector<std::string> items = std::move(items_);
    Clear();
    return items;
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

void ListBox::SelectWhere(const std::function<bool(int)>& want) {
    int focus = -1;
    for (int i = 0; i < ListCount() && focus < 0; ++i)
        if (want(i))
            focus = i;
    SetSelection(want, focus);
}

int ListBox::ChosenEntry() const {
    const int current = ListIndex();
    if (current >= 0 && current < ListCount() && Selected(current))
        return current;
    const auto first = std::find(selected_.begin(), selected_.end(), true);
    return first == selected_.end() ? -1 : static_cast<int>(first - selected_.begin());
}

int ListBox::RemoveSelected() {
    // One pass: removing entries one by one would move the rest of 32,767 entries each time.
    std::size_t kept = 0;
    int current = -1;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (selected_[i])
            continue;
        if (static_cast<int>(i) == listIndex_)
            current = static_cast<int>(kept);
        if (kept != i)
            items_[kept] = std::move(items_[i]);
        selected_[kept] = false;
        ++kept;
    }
    const int removed = static_cast<int>(items_.size() - kept);
    items_.resize(kept);
    ++revision_;
    selected_.resize(kept);
    listIndex_ = current;
    return removed;
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
    FolderContents contents = ReadFolderContents(normal);
    subfolders = std::move(contents.subfolders);
    bitmaps = std::move(contents.bitmaps);
    path_ = normal;
    Run(Change);
}

std::vector<FolderRow> DirListBox::Rows() const {
    std::vector<FolderRow> rows;
    if (path_.empty())
        return rows;
    const char sep = PathSeparator();
    const std::size_t first = path_.find(sep);
    std::size_t pos = first == std::string::npos ? path_.size() : first + 1;
    rows.push_back({path_.substr(0, pos), path_.substr(0, pos), true, false});
    while (pos < path_.size()) {
        std::size_t end = path_.find(sep, pos);
        if (end == std::string::npos)
            end = path_.size();
        if (end > pos)
            rows.push_back({std::string(2 * rows.size(), ' ') + path_.substr(pos, end - pos),
                            path_.substr(0, end), true, false});
        pos = end + 1;
    }
    rows.back().shown = true;
    const std::string indent(2 * rows.size(), ' ');
    for (const auto& name : subfolders)
        rows.push_back({indent + name, JoinPath(path_, name), false, false});
    return rows;
}

void DirListBox::Open(int row) {
    const std::vector<FolderRow> rows = Rows();
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return;
    try {
        SetPath(rows[static_cast<std::size_t>(row)].path);
    } catch (const IoFailure&) {
        // An unreadable folder leaves the list where it was.
    }
}

void FileListBox::Show(const std::string& folder, std::vector<std::string> names) {
    path_ = folder;
    SetItems(std::move(names));
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

void ComboBox::ChooseText(const std::string& text) {
    for (int i = 0; i < ListCount(); ++i)
        if (List(i) == text)
            SetListIndex(i);
}

void TextBox::SetText(const std::string& text) {
    if (text == text_)
        return;
    text_ = text;
    Run(Change);
}

OptionGroup::OptionGroup(std::initializer_list<OptionButton*> buttons) : buttons_(buttons) {
    for (OptionButton* b : buttons_)
        b->group_ = this;
}

void OptionButton::Choose() {
    if (group_)
        group_->Select(*this);
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
