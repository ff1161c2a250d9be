#include "mainwindow/qt/MainWindowView.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDrag>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

#include "common/Files.h"
#include "engine/Bitmap.h"
#include "mainwindow/WindowLayout.h"
#include "mainwindow/qt/CaptionFrame.h"

namespace velum {

namespace {

const int kThumbLeft = WindowControl("imgThumb").left;
const int kThumbTop = WindowControl("imgThumb").top;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// A control at its place in the window's layout, inside its frame when it has one.
template <class W> W* Place(QWidget* parent, const MainWindowView& view, const char* name) {
    const ControlLayout& place = WindowControl(name);
    int left = place.left, top = place.top;
    if (!place.frame.empty() && parent->objectName() == QString::fromStdString(place.frame)) {
        left -= WindowControl(place.frame).left;
        top -= WindowControl(place.frame).top;
    }
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(view.px(left), view.px(top), view.px(place.width), view.px(place.height));
    return w;
}

bool SameItems(const QComboBox* w, const std::vector<std::string>& items) {
    if (w->count() != static_cast<int>(items.size()))
        return false;
    for (int i = 0; i < w->count(); ++i)
        if (w->itemText(i) != Q(items[static_cast<std::size_t>(i)]))
            return false;
    return true;
}

bool SameItems(const QListWidget* w, const std::vector<std::string>& items) {
    if (w->count() != static_cast<int>(items.size()))
        return false;
    for (int i = 0; i < w->count(); ++i)
        if (w->item(i)->text() != Q(items[static_cast<std::size_t>(i)]))
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

void SyncList(QListWidget* w, const ListBox& list) {
    const QSignalBlocker block(w);
    if (!SameItems(w, list.items())) {
        w->clear();
        QStringList texts;
        for (const auto& item : list.items())
            texts.append(Q(item));
        w->addItems(texts);
    }
    QItemSelectionModel* model = w->selectionModel();
    QItemSelection selection;
    bool same = true;
    for (int i = 0; i < list.ListCount(); ++i) {
        const QModelIndex index = w->model()->index(i, 0);
        same = same && model->isSelected(index) == list.Selected(i);
        if (list.Selected(i))
            selection.select(index, index);
    }
    // Left alone when equal, so a selection the person is still dragging out goes on.
    if (!same)
        model->select(selection, QItemSelectionModel::ClearAndSelect);
    const int current = list.ListIndex() < list.ListCount() ? list.ListIndex() : -1;
    if (w->currentRow() != current)
        model->setCurrentIndex(w->model()->index(current, 0), QItemSelectionModel::NoUpdate);
    w->setEnabled(list.enabled);
}

// A sheet with a picture on it, drawn under the pointer while bitmaps are dragged.
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

} // namespace

MainWindowView::MainWindowView(frmWallPaper& form, QWidget* parent)
    : QMainWindow(parent), form_(form), driver_(form) {
    driver_.Sync = [this] { syncFromForm(); };
    driver_.Quit = [this] {
        timer_.stop();
        QCoreApplication::quit();
    };
    driver_.CancelModal = [] { QDrag::cancel(); };
    driver_.Complain = [](const std::string& what) {
        std::fprintf(stderr, "velumdesk: %s\n", what.c_str());
    };
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        scale_ = screen->logicalDotsPerInch() / 96.0;
    setWindowTitle(Q(form_.Caption));
    buildControls();
    buildMenus();
    connectControls();

    formLoadPicture_ = form_.LoadPicture;
    form_.LoadPicture = [this](const std::string& path) { return loadPicture(path); };
    form_.MousePointerChanged = [this](MousePointer pointer) {
        const bool wait = pointer == MousePointer::Hourglass;
        if (wait == waitCursor_)
            return;
        waitCursor_ = wait;
        if (wait)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };

    timer_.setInterval(frmWallPaper::kTimerIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &MainWindowView::tick);

    run([this] { form_.Form_Load(); });

    // Not resizable: the window keeps the size of its menu bar and client area.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
    centreOnScreen();
}

void MainWindowView::centreOnScreen() {
    // By the outer frame, which is known once the window is shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize outer = frameGeometry().size();
        move(area.left() + (area.width() - outer.width()) / 2,
             area.top() + (area.height() - outer.height()) / 2);
    }
}

void MainWindowView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
}

MainWindowView::~MainWindowView() {
    form_.MousePointerChanged = nullptr;
    form_.LoadPicture = formLoadPicture_;
    if (waitCursor_)
        QApplication::restoreOverrideCursor();
}

int MainWindowView::px(int twips) const {
    return qRound(twips * scale_ / kTwipsPerPixel);
}

void MainWindowView::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(kClientWidthTwips), px(kClientHeightTwips));
    setCentralWidget(client);
    // The controls are small; the font keeps the captions inside them.
    QFont font = client->font();
    font.setPixelSize(std::max(9, px(165)));
    client->setFont(font);

    auto button = [&](const char* name, const char* text) {
        auto* b = Place<QPushButton>(client, *this, name);
        b->setText(QString::fromUtf8(text));
        return b;
    };
    auto label = [&](QWidget* parent, const char* name, const char* text, const char* tip) {
        auto* lbl = Place<QLabel>(parent, *this, name);
        lbl->setText(QString::fromUtf8(text));
        lbl->setToolTip(QString::fromUtf8(tip));
        return lbl;
    };
    auto option = [&](QWidget* parent, const char* name, const char* text) {
        auto* o = Place<QRadioButton>(parent, *this, name);
        o->setText(QString::fromUtf8(text));
        return o;
    };
    auto textBox = [&](QWidget* parent, const char* name, const char* tip) {
        auto* e = Place<QLineEdit>(parent, *this, name);
        e->setToolTip(QString::fromUtf8(tip));
        return e;
    };
    auto combo = [](QComboBox* c) {
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setCompleter(nullptr);
        // Qt would choose the entry a typed text names when the box loses the focus; here only
        // the person's choice from the list does.
        QObject::disconnect(c->lineEdit(), &QLineEdit::editingFinished, c, nullptr);
        return c;
    };

    cmbCollection_ = combo(Place<QComboBox>(client, *this, "cmbCollection"));
    cmdAddAll_ = button("cmdAddAll", "Add A&ll");
    cmdRemoveAll_ = button("cmdRemoveAll", "Re&move All");

    auto* frame2 = Place<CaptionFrame>(client, *this, "Frame2");
    frame2->setTitle(QStringLiteral("Cycle Frequency"));
    frame2->setToolTip(QStringLiteral("How often to change wallpaper"));
    txtDays_ = textBox(frame2, "txtDays", "Days");
    txtHours_ = textBox(frame2, "txtHours", "Hours");
    txtMinutes_ = textBox(frame2, "txtMinutes", "Minutes");
    label(frame2, "Label4", "M", "Minutes")->setBuddy(txtMinutes_);
    label(frame2, "Label3", "H", "Hours")->setBuddy(txtHours_);
    label(frame2, "Label7", "D", "Days")->setBuddy(txtDays_);

    cmdUpdate_ = button("cmdUpdate", "&Next");

    auto* cycle = Place<CaptionFrame>(client, *this, "frmCycle");
    cycle->setTitle(QStringLiteral("Cycle Order"));
    optAscending_ = option(cycle, "optAscending", "Ascending");
    optDescending_ = option(cycle, "optDescending", "Descending");
    optRandom_ = option(cycle, "optRandom", "Random");

    cmdRemove_ = button("cmdRemove", "&Remove");
    cmdAdd_ = button("cmdAdd", "A&dd");

    lstRotateBmps_ = Place<QListWidget>(client, *this, "lstRotateBmps");
    lstRotateBmps_->setToolTip(QStringLiteral("Drop here!"));
    Dir1_ = Place<QListWidget>(client, *this, "Dir1");
    Dir1_->setToolTip(QStringLiteral("Find directory containing bmp files"));
    Drive1_ = Place<QComboBox>(client, *this, "Drive1");
    cmbLastBmps_ = combo(Place<QComboBox>(client, *this, "cmbLastBmps"));

    optNone_ = option(client, "optNone", "None");
    optCenter_ = option(client, "optCenter", "Center");
    optTile_ = option(client, "optTile", "Tile");
    auto* frame1 = Place<CaptionFrame>(client, *this, "Frame1");
    frame1->setTitle(QStringLiteral("Wallpaper Style"));
    frame1->lower(); // drawn around the style buttons, which belong to the window

    chkAutoView_ = Place<QCheckBox>(client, *this, "chkAutoView");
    chkAutoView_->setText(QStringLiteral("Preview"));
    chkAutoView_->setToolTip(QStringLiteral("Preview the bitmap"));
    filWinBmps_ = Place<QListWidget>(client, *this, "filWinBmps");
    filWinBmps_->setToolTip(QStringLiteral("Right-Click to Drag"));
    cmdApply_ = button("cmdApply", "&Apply");

    label(client, "Label6", "Collection:", "")->setBuddy(cmbCollection_);
    label(client, "Label5", "Bitmaps to cycle:", "")->setBuddy(lstRotateBmps_);
    label(client, "Label2", "Previous Bitmaps:", "")->setBuddy(cmbLastBmps_);

    imgThumb_ = Place<QLabel>(client, *this, "imgThumb");
    imgThumb_->setToolTip(QStringLiteral("Double-Click to Change Size"));
    imgThumb_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgThumb_->lower(); // a picture at its own size lies beneath the other controls

    styleButtons_ = new QButtonGroup(this);
    for (QRadioButton* b : {optTile_, optCenter_, optNone_})
        styleButtons_->addButton(b);
    orderButtons_ = new QButtonGroup(this);
    for (QRadioButton* b : {optAscending_, optRandom_, optDescending_})
        orderButtons_->addButton(b);

    for (QListWidget* list : {filWinBmps_, lstRotateBmps_}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setUniformItemSizes(true);
        list->viewport()->installEventFilter(this);
    }
    lstRotateBmps_->viewport()->setAcceptDrops(true);
    lstRotateBmps_->installEventFilter(this);
    for (QPushButton* b : {cmdAdd_, cmdRemove_, cmdUpdate_, cmdAddAll_, cmdRemoveAll_, cmdApply_})
        b->installEventFilter(this);
    Dir1_->setUniformItemSizes(true);
    Dir1_->setIconSize(QSize(px(240), px(240)));
    Drive1_->setIconSize(QSize(px(240), px(240)));
    cmbCollection_->installEventFilter(this);
    cmbCollection_->lineEdit()->installEventFilter(this);
    cmbLastBmps_->lineEdit()->installEventFilter(this);
    imgThumb_->installEventFilter(this);

    // Tab in reading order: the left column top to bottom, the buttons row by row, then the
    // right column. An option group is one stop (see syncTabStops), its buttons by arrow keys.
    const std::vector<QWidget*> order = {
        cmbCollection_, filWinBmps_,   Drive1_,        Dir1_,         cmbLastBmps_, cmdAdd_,
        cmdRemove_,     cmdUpdate_,    cmdAddAll_,     cmdRemoveAll_, cmdApply_,    lstRotateBmps_,
        optTile_,       optCenter_,    optNone_,       chkAutoView_,  txtDays_,     txtHours_,
        txtMinutes_,    optAscending_, optDescending_, optRandom_};
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    // What a screen reader announces: the label beside a control, else its caption or tooltip.
    const std::pair<QWidget*, const char*> names[] = {{cmbCollection_, "Collection"},
                                                      {filWinBmps_, "Bitmap files"},
                                                      {Drive1_, "Drive"},
                                                      {Dir1_, "Folders"},
                                                      {cmbLastBmps_, "Previous Bitmaps"},
                                                      {lstRotateBmps_, "Bitmaps to cycle"},
                                                      {txtDays_, "Days"},
                                                      {txtHours_, "Hours"},
                                                      {txtMinutes_, "Minutes"},
                                                      {imgThumb_, "Preview picture"}};
    for (const auto& [widget, name] : names)
        widget->setAccessibleName(QString::fromUtf8(name));
    // On Linux a combo box's name is its text; the drive list has no label to point to it.
    Drive1_->setAccessibleDescription(QStringLiteral("Drive"));
}

void MainWindowView::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, const char* text,
                       std::function<void()> handler) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, handler] { run(handler); });
        return action;
    };
    auto menu = [this](const char* name, const char* text) {
        QMenu* m = menuBar()->addMenu(QString::fromUtf8(text));
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    QMenu* file = menu("mnuFile", "&File");
    item(file, "mnuApply", "&Apply Selected Bitmap", [this] { form_.mnuApply_Click(); });
    item(file, "mnuNext", "Apply &Next Bitmap", [this] { form_.mnuNext_Click(); });
    file->addSeparator();
    QAction* del = file->addAction(QStringLiteral("&Delete"));
    del->setObjectName(QStringLiteral("mnuDelete"));
    del->setShortcut(QKeySequence(Qt::Key_Delete));
    // A text field takes Del for its text and the rotation list for its selection before the
    // shortcut fires; a click on the entry always deletes the collection.
    connect(del, &QAction::triggered, this, [this] { run([this] { form_.mnuDelete_Click(); }); });
    file->addSeparator();
    item(file, "mnuSave", "&Save", [this] {
        form_.mnuSave_Click();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menu("mnuEdit", "&Edit");
    item(edit, "mnuAdd", "&Add selected to list", [this] { form_.mnuAdd_Click(); });
    item(edit, "mnuAddAll", "Add A&ll to list", [this] { form_.mnuAddAll_Click(); });
    item(edit, "mnuRemove", "&Remove selected from list", [this] { form_.mnuRemove_Click(); });
    item(edit, "mnuRemoveAll", "Remo&ve All from list", [this] { form_.mnuRemoveAll_Click(); });

    QMenu* help = menu("mnuHelp", "&Help");
    QAction* about = help->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, [this] {
        if (onAbout)
            onAbout();
    });
}

void MainWindowView::connectControls() {
    auto click = [this](QPushButton* b, void (frmWallPaper::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { run([this, handler] { (form_.*handler)(); }); });
    };
    click(cmdApply_, &frmWallPaper::cmdApply_click);
    click(cmdUpdate_, &frmWallPaper::cmdUpdate_click);
    click(cmdAdd_, &frmWallPaper::cmdAdd_click);
    click(cmdAddAll_, &frmWallPaper::cmdAddAll_click);
    click(cmdRemove_, &frmWallPaper::cmdRemove_click);
    click(cmdRemoveAll_, &frmWallPaper::cmdRemoveAll_click);

    auto text = [this](QLineEdit* e, TextBox& box) {
        connect(e, &QLineEdit::textEdited, this, [this, &box](const QString& t) {
            run([&box, s = t.toStdString()] { box.SetText(s); });
        });
    };
    text(txtDays_, form_.txtDays);
    text(txtHours_, form_.txtHours);
    text(txtMinutes_, form_.txtMinutes);

    auto option = [this](QRadioButton* b, OptionGroup& group, OptionButton& which) {
        connect(b, &QRadioButton::clicked, this,
                [this, &group, &which] { run([&group, &which] { group.Select(which); }); });
    };
    option(optTile_, form_.styleGroup, form_.optTile);
    option(optCenter_, form_.styleGroup, form_.optCenter);
    option(optNone_, form_.styleGroup, form_.optNone);
    option(optAscending_, form_.orderGroup, form_.optAscending);
    option(optRandom_, form_.orderGroup, form_.optRandom);
    option(optDescending_, form_.orderGroup, form_.optDescending);
    connect(chkAutoView_, &QCheckBox::clicked, this,
            [this](bool on) { run([this, on] { form_.chkAutoView.SetValue(on ? 1 : 0); }); });

    auto list = [this](QListWidget* w, ListBox& box, void (frmWallPaper::*dbl)()) {
        connect(w, &QListWidget::itemSelectionChanged, this, [this, w, &box] {
            selectionPushed_ = true;
            pushSelection(w, box);
        });
        // A click that leaves the selection as it was is still a click.
        connect(w, &QListWidget::pressed, this, [this, w, &box] {
            if (!selectionPushed_)
                pushSelection(w, box);
            selectionPushed_ = true;
        });
        connect(w, &QListWidget::doubleClicked, this,
                [this, dbl] { run([this, dbl] { (form_.*dbl)(); }); });
    };
    list(filWinBmps_, form_.filWinBmps, &frmWallPaper::filWinBmps_DblClick);
    list(lstRotateBmps_, form_.lstRotateBmps, &frmWallPaper::lstRotateBmps_DblClick);

    connect(Drive1_, &QComboBox::activated, this, [this](int i) {
        if (i >= 0 && i < static_cast<int>(form_.Drive1.volumes.size()))
            run([this, v = form_.Drive1.volumes[static_cast<std::size_t>(i)]] {
                form_.Drive1.SetDrive(v);
            });
    });
    connect(Dir1_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        run([this, path = item->data(Qt::UserRole).toString().toStdString()] {
            try {
                form_.Dir1.SetPath(path);
            } catch (const std::exception&) {
                // An unreadable folder leaves the list where it was.
            }
        });
    });

    connect(cmbCollection_, &QComboBox::activated, this,
            [this](int i) { run([this, i] { form_.cmbCollection.SetListIndex(i); }); });
    connect(cmbCollection_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) {
        run([this, s = t.toStdString()] { form_.cmbCollection.SetText(s); });
    });
    connect(cmbLastBmps_, &QComboBox::activated, this, [this](int i) {
        run([this, i] {
            if (i >= 0 && i < form_.cmbLastBmps.ListCount())
                form_.cmbLastBmps.SetText(form_.cmbLastBmps.List(i));
            form_.cmbLastBmps_Click();
        });
    });
    connect(cmbLastBmps_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) {
        run([this, s = t.toStdString()] { form_.cmbLastBmps.SetText(s); });
    });
}

void MainWindowView::run(const std::function<void()>& handler) {
    driver_.Run(handler);
}

void MainWindowView::tick() {
    driver_.Tick();
}

void MainWindowView::endSession() {
    driver_.End();
}

void MainWindowView::closeEvent(QCloseEvent* event) {
    // A handler still running below a question: the window goes once it returns.
    if (driver_.Ended() || driver_.End())
        event->accept();
    else
        event->ignore();
}

void MainWindowView::pushSelection(QListWidget* widget, ListBox& list) {
    if (widget->count() != list.ListCount())
        return;
    std::vector<bool> chosen(static_cast<std::size_t>(list.ListCount()), false);
    for (const QModelIndex& index : widget->selectionModel()->selectedRows())
        chosen[static_cast<std::size_t>(index.row())] = true;
    const int current = widget->currentRow();
    run([&] {
        list.SetSelection([&](int i) { return chosen[static_cast<std::size_t>(i)]; }, current);
    });
}

void MainWindowView::startFileDrag() {
    auto* drag = new QDrag(filWinBmps_); // Qt deletes it when the drag ends
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kDragMimeType), QByteArray());
    drag->setMimeData(mime);
    drag->setPixmap(DragPixmap());
    drag->setHotSpot(QPoint(4, 4));
    // The drag's own event loop runs one event at a time like a handler.
    run([drag] { drag->exec(Qt::CopyAction); });
}

bool MainWindowView::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Shortcut && qobject_cast<QPushButton*>(watched)) {
        // An access key is a click: the focus moves to the button first, so the control left
        // behind runs its lost-focus step before the button acts.
        auto* b = static_cast<QPushButton*>(watched);
        if (b->isEnabled() && b->focusPolicy() != Qt::NoFocus)
            b->setFocus(Qt::ShortcutFocusReason);
        return false;
    }
    if (watched == lstRotateBmps_ &&
        (type == QEvent::ShortcutOverride || type == QEvent::KeyPress)) {
        // Del in the rotation list removes its selected bitmaps, not the whole collection.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            if (type == QEvent::KeyPress)
                run([this] { form_.cmdRemove_click(); });
            return true;
        }
        return false;
    }
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    if (watched == filWinBmps_->viewport() || watched == lstRotateBmps_->viewport()) {
        if (press && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton &&
            watched == filWinBmps_->viewport()) {
            startFileDrag();
            return true;
        }
        if (press)
            selectionPushed_ = false;
        if (watched == lstRotateBmps_->viewport() &&
            (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData()->hasFormat(QString::fromLatin1(kDragMimeType))) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            if (type == QEvent::Drop)
                run([this] { form_.lstRotateBmps_DragDrop(); });
            return true;
        }
    } else if (watched == cmbCollection_ && type == QEvent::FocusOut) {
        // Only a move to another control of this window, not the drop-down, a menu or
        // another program.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* now = QApplication::focusWidget();
        const bool moved = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason ||
                           reason == Qt::OtherFocusReason;
        driver_.SelectorFocusMoved(moved && now && now != cmbCollection_ &&
                                   !cmbCollection_->isAncestorOf(now) && now->window() == this);
    } else if (watched == cmbCollection_->lineEdit() && type == QEvent::KeyPress) {
        // Enter does not choose an entry; leaving the box takes the typed name.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    } else if (watched == cmbLastBmps_->lineEdit() && type == QEvent::MouseButtonDblClick) {
        run([this] { form_.cmbLastBmps_DblClick(); });
    } else if (watched == imgThumb_ && type == QEvent::MouseButtonDblClick) {
        run([this] { form_.imgThumb_DblClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindowView::loadPicture(const std::string& path) {
    // Our own decoder, as the desktop call reads the file: a bitmap it refuses fails whole
    // instead of showing a half-read picture.
    const std::optional<Picture> picture = DecodeBitmapFile(path);
    if (!picture)
        return false;
    QImage image(picture->width, picture->height, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    for (int y = 0; y < picture->height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture->width; ++x)
            line[x] = 0xff000000u | picture->at(x, y);
    }
    cachedPath_ = path;
    cachedImage_ = std::move(image);
    return true;
}

void MainWindowView::syncFromForm() {
    setWindowTitle(Q(form_.Caption));
    SyncCombo(cmbCollection_, form_.cmbCollection, form_.cmbCollection.Text());
    SyncCombo(cmbLastBmps_, form_.cmbLastBmps, form_.cmbLastBmps.Text());
    SyncText(txtDays_, form_.txtDays);
    SyncText(txtHours_, form_.txtHours);
    SyncText(txtMinutes_, form_.txtMinutes);
    const std::pair<QRadioButton*, const OptionButton*> options[] = {
        {optTile_, &form_.optTile},     {optCenter_, &form_.optCenter},
        {optNone_, &form_.optNone},     {optAscending_, &form_.optAscending},
        {optRandom_, &form_.optRandom}, {optDescending_, &form_.optDescending}};
    for (const auto& [widget, option] : options) {
        const QSignalBlocker block(widget);
        if (option->Value())
            widget->setChecked(true);
    }
    syncTabStops(styleButtons_);
    syncTabStops(orderButtons_);
    {
        const QSignalBlocker block(chkAutoView_);
        const int v = form_.chkAutoView.Value();
        chkAutoView_->setCheckState(v == 1   ? Qt::Checked
                                    : v == 2 ? Qt::PartiallyChecked
                                             : Qt::Unchecked);
    }
    {
        const QSignalBlocker block(Drive1_);
        const auto& volumes = form_.Drive1.volumes;
        if (!SameItems(Drive1_, volumes)) {
            Drive1_->clear();
            for (const auto& v : volumes)
                Drive1_->addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), Q(v));
        }
        const auto found = std::find(volumes.begin(), volumes.end(), form_.Drive1.Drive());
        Drive1_->setCurrentIndex(
            found == volumes.end() ? -1 : static_cast<int>(found - volumes.begin()));
    }
    syncDirectories();
    SyncList(filWinBmps_, form_.filWinBmps);
    SyncList(lstRotateBmps_, form_.lstRotateBmps);
    syncPreview();
    if (form_.TimerEnabled && !timer_.isActive() && !driver_.Ended())
        timer_.start();
    else if (!form_.TimerEnabled || driver_.Ended())
        timer_.stop();
}

void MainWindowView::syncTabStops(QButtonGroup* group) {
    // Tab stops on the chosen button; while one of them has the focus Qt keeps it there.
    const QList<QAbstractButton*> buttons = group->buttons();
    if (buttons.isEmpty() || std::any_of(buttons.begin(), buttons.end(),
                                         [](QAbstractButton* b) { return b->hasFocus(); }))
        return;
    QAbstractButton* stop = group->checkedButton() ? group->checkedButton() : buttons.front();
    for (QAbstractButton* b : buttons)
        b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void MainWindowView::syncDirectories() {
    // The folder's ancestors from the root, each one step further in, then its subfolders.
    struct Entry {
        QString text;
        QString path;
        bool open;
    };
    std::vector<Entry> entries;
    const std::string& path = form_.Dir1.Path();
    const char sep = PathSeparator();
    if (!path.empty()) {
        const std::size_t first = path.find(sep);
        std::size_t pos = first == std::string::npos ? path.size() : first + 1;
        entries.push_back({Q(path.substr(0, pos)), Q(path.substr(0, pos)), true});
        while (pos < path.size()) {
            std::size_t end = path.find(sep, pos);
            if (end == std::string::npos)
                end = path.size();
            if (end > pos)
                entries.push_back({QString(2 * static_cast<int>(entries.size()), u' ') +
                                       Q(path.substr(pos, end - pos)),
                                   Q(path.substr(0, end)), true});
            pos = end + 1;
        }
        const QString indent(2 * static_cast<int>(entries.size()), u' ');
        for (const auto& name : form_.Dir1.subfolders)
            entries.push_back({indent + Q(name), Q(JoinPath(path, name)), false});
    }
    const QSignalBlocker block(Dir1_);
    // A folder and its only subfolder list the same lines; which ones are open tells them apart.
    constexpr int kOpenRole = Qt::UserRole + 1;
    bool same = Dir1_->count() == static_cast<int>(entries.size());
    for (int i = 0; same && i < Dir1_->count(); ++i) {
        const Entry& e = entries[static_cast<std::size_t>(i)];
        same = Dir1_->item(i)->text() == e.text &&
               Dir1_->item(i)->data(Qt::UserRole).toString() == e.path &&
               Dir1_->item(i)->data(kOpenRole).toBool() == e.open;
    }
    if (!same) {
        Dir1_->clear();
        const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
        const QIcon closed = style()->standardIcon(QStyle::SP_DirIcon);
        int current = -1;
        for (const auto& e : entries) {
            auto* item = new QListWidgetItem(e.open ? open : closed, e.text, Dir1_);
            item->setData(Qt::UserRole, e.path);
            item->setData(kOpenRole, e.open);
            if (e.open)
                current = Dir1_->count() - 1;
        }
        Dir1_->setCurrentRow(current);
    }
}

void MainWindowView::syncPreview() {
    const ImageBox& box = form_.imgThumb;
    if (!box.picture.empty() && box.picture != cachedPath_)
        loadPicture(box.picture);
    if (box.picture.empty() || box.picture != cachedPath_) {
        imgThumb_->clear();
        imgThumb_->setGeometry(px(kThumbLeft), px(kThumbTop), px(box.width), px(box.height));
        return;
    }
    const QPixmap picture = QPixmap::fromImage(cachedImage_);
    if (box.stretch) {
        const QSize size(px(box.width), px(box.height));
        imgThumb_->setGeometry(QRect(QPoint(px(kThumbLeft), px(kThumbTop)), size));
        imgThumb_->setPixmap(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        imgThumb_->setGeometry(QRect(QPoint(px(kThumbLeft), px(kThumbTop)), picture.size()));
        imgThumb_->setPixmap(picture);
    }
}

} // namespace velum
