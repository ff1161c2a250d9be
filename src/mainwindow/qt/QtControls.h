#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QPixmap>
#include <optional>
#include <string>
#include <vector>

#include "mainwindow/Controls.h"

class QButtonGroup;
class QComboBox;
class QListWidget;
class QLineEdit;
class QListView;

// How Qt's widgets show the form's controls, for the Qt window.
namespace velum {

// The entries of a long list, turned into text only for the rows the view draws: 32,767
// entries cost a copy of their strings, not an item each.
// The entries of a list of the form, read where they are: a copy of 32,767 paths would cost
// more than the rows a view ever shows.
class LinesModel final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;
    // Shows `list`'s entries when they changed since the last call.
    void follow(const ItemList& list) {
        if (&list == list_ && list.revision() == revision_)
            return;
        beginResetModel();
        list_ = &list;
        revision_ = list.revision();
        rows_ = list.ListCount();
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    QVariant data(const QModelIndex& index, int role) const override {
        // A handler may have changed the list before the next follow, as a message box's loop
        // paints: rows past its end show nothing until then.
        if (role != Qt::DisplayRole || !index.isValid() || !list_ ||
            index.row() >= list_->ListCount())
            return {};
        return QString::fromStdString(list_->List(index.row()));
    }

  private:
    const ItemList* list_ = nullptr;
    std::uint64_t revision_ = 0;
    int rows_ = 0;
};

// True when the combo box holds exactly `items`.
bool SameItems(const QComboBox* w, const std::vector<std::string>& items);
// Shows a combo box's entries, current entry and text, keeping the caret of a person typing.
void SyncCombo(QComboBox* w, const ItemList& list, const std::string& text);
void SyncText(QLineEdit* w, const TextBox& box);
// Shows a list's entries and selection; the view's model is a LinesModel.
void SyncList(QListView* w, const ListBox& list);
// Tab stops on the chosen button of an option group, so the group is one stop; while one of
// its buttons has the focus, Qt keeps it there.
void SyncTabStops(QButtonGroup* group);
// Shows the folder list's lines, when they differ from `shown`, the folder shown current.
void SyncFolders(QListWidget* list, const DirListBox& folders, std::vector<FolderRow>& shown);
// Shows the volumes and the one chosen.
void SyncDrives(QComboBox* w, const DriveListBox& drives);
// The picture of a bitmap file, read by our own decoder as the desktop call reads it: a bitmap
// it refuses fails whole instead of showing a half-read picture. Only what a box of `limit`
// shows is decoded: the whole picture sampled down to it when `fit`, else its top left corner.
std::optional<QImage> DecodePreview(const std::string& path, QSize limit, bool fit);
// A sheet with a picture on it, drawn under the pointer while bitmaps are dragged.
QPixmap DragPixmap();

} // namespace velum
