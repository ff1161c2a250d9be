#include "mainwindow/qt/QtControls.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QItemSelection>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

#include "engine/PictureFile.h"

namespace velum {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

bool SameItems(const QComboBox* w, const std::vector<std::string>& items) {
    if (w->count() != static_cast<int>(items.size()))
        return false;
    for (int i = 0; i < w->count(); ++i)
        if (w->itemText(i) != Q(items[static_cast<std::size_t>(i)]))
            return false;
    return true;
}

void SyncCombo(QComboBox* w, const ItemList& list, const std::string& text) {
    const QSignalBlocker block(w);
    // Choosing the entry resets the line edit; what the person is typing keeps its caret.
    QLineEdit* edit = w->lineEdit();
    const QString typed = edit ? edit->text() : QString();
    const int caret = edit ? edit->cursorPosition() : 0;
    const int selStart = edit ? edit->selectionStart() : -1;
    const int selLength = edit ? edit->selectionLength() : 0;
    if (!SameItems(w, list.items())) {
        w->clear();
        for (const auto& item : list.items())
            w->addItem(Q(item));
    }
    // Choosing no entry would empty the line edit and its undo steps: while the person types a
    // name that no entry has, the box keeps the entry last chosen until the focus leaves.
    const bool typing = edit && w->hasFocus() && typed == Q(text) && list.ListIndex() < 0;
    if (w->currentIndex() != list.ListIndex() && !typing)
        w->setCurrentIndex(list.ListIndex());
    if (!edit)
        return;
    if (edit->text() != Q(text))
        edit->setText(Q(text));
    const bool kept = edit->cursorPosition() == caret && edit->selectionStart() == selStart &&
                      edit->selectionLength() == selLength;
    if (edit->text() != typed || kept)
        return;
    if (selStart >= 0 && selLength > 0) {
        // The caret stays at the end the person dragged the selection to.
        if (caret == selStart)
            edit->setSelection(selStart + selLength, -selLength);
        else
            edit->setSelection(selStart, selLength);
    } else {
        edit->setCursorPosition(caret);
    }
}

void SyncText(QLineEdit* w, const TextBox& box) {
    const QSignalBlocker block(w);
    if (w->text() != Q(box.Text()))
        w->setText(Q(box.Text()));
}

void SyncDrives(QComboBox* w, const DriveListBox& drives) {
    const QSignalBlocker block(w);
    const auto& volumes = drives.volumes;
    if (!SameItems(w, volumes)) {
        w->clear();
        for (const auto& v : volumes)
            w->addItem(w->style()->standardIcon(QStyle::SP_DriveHDIcon), Q(v));
    }
    const auto at = std::find(volumes.begin(), volumes.end(), drives.Drive());
    w->setCurrentIndex(at == volumes.end() ? -1 : static_cast<int>(at - volumes.begin()));
}

void SyncTabStops(QButtonGroup* group) {
    // Tab stops on the chosen button; while one of them has the focus Qt keeps it there.
    const QList<QAbstractButton*> buttons = group->buttons();
    if (buttons.isEmpty() || std::any_of(buttons.begin(), buttons.end(),
                                         [](QAbstractButton* b) { return b->hasFocus(); }))
        return;
    QAbstractButton* stop = group->checkedButton() ? group->checkedButton() : buttons.front();
    for (QAbstractButton* b : buttons)
        b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void SyncFolders(QListWidget* list, const DirListBox& folders, std::vector<FolderRow>& shown) {
    std::vector<FolderRow> rows = folders.Rows();
    if (rows == shown)
        return;
    shown = std::move(rows);
    const QSignalBlocker block(list);
    list->clear();
    const QIcon open = list->style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = list->style()->standardIcon(QStyle::SP_DirIcon);
    int current = -1;
    for (const auto& row : shown) {
        new QListWidgetItem(row.open ? open : closed, Q(row.text), list);
        if (row.shown)
            current = list->count() - 1;
    }
    list->setCurrentRow(current);
}

std::optional<QImage> DecodePreview(const std::string& path, QSize limit, bool fit) {
    const std::optional<Picture> picture =
        DecodePictureFileFor(path, limit.width(), limit.height(), fit);
    if (!picture)
        return std::nullopt;
    QImage image(picture->width, picture->height, QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
    for (int y = 0; y < picture->height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture->width; ++x)
            line[x] = 0xff000000u | picture->at(x, y);
    }
    return image;
}

QPixmap DragPixmap() {
    QPixmap pixmap(28, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(1.5, 1.5, 25, 29));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 180, 230));
    p.drawRect(QRectF(5, 6, 18, 12));
    p.setBrush(QColor(70, 140, 70));
    p.drawPolygon(QPolygonF(
        {QPointF(5, 18), QPointF(12, 10), QPointF(18, 16), QPointF(23, 12), QPointF(23, 18)}));
    p.setBrush(QColor(240, 200, 60));
    p.drawEllipse(QPointF(18, 9), 2, 2);
    return pixmap;
}

void SyncList(QListView* w, const ListBox& list) {
    auto* model = static_cast<LinesModel*>(w->model());
    QItemSelectionModel* selection = w->selectionModel();
    const QSignalBlocker block(w), blockSelection(selection);
    model->follow(list);
    // Compared through the few rows selected, not row by row: a list may hold 32,767 entries.
    QItemSelection want;
    qsizetype wanted = 0;
    for (int i = 0; i < list.ListCount(); ++i)
        if (list.Selected(i)) {
            want.select(model->index(i, 0), model->index(i, 0));
            ++wanted;
        }
    const QModelIndexList have = selection->selectedIndexes();
    const bool same =
        have.size() == wanted && std::all_of(have.begin(), have.end(), [&](const QModelIndex& i) {
            return i.row() < list.ListCount() && list.Selected(i.row());
        });
    // Left alone when equal, so a selection the person is still dragging out goes on.
    if (!same)
        selection->select(want, QItemSelectionModel::ClearAndSelect);
    const int current = list.ListIndex() < list.ListCount() ? list.ListIndex() : -1;
    if (w->currentIndex().row() != current) {
        selection->setCurrentIndex(model->index(current, 0), QItemSelectionModel::NoUpdate);
        // The blocked selection model does not scroll to it as a person's move would.
        if (current >= 0)
            w->scrollTo(model->index(current, 0));
    }
    w->setEnabled(list.enabled);
}

} // namespace velum
