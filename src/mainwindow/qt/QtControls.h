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
class LinesModel final : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;
    const std::vector<std::string>& lines() const { return lines_; }
    void setLines(const std::vector<std::string>& lines) {
        beginResetModel();
        lines_ = lines;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount({}))
            return {};
        return QString::fromStdString(lines_[static_cast<std::size_t>(index.row())]);
    }

  private:
    std::vector<std::string> lines_;
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
