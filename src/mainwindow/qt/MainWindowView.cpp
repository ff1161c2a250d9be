#include "mainwindow/qt/MainWindowView.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDrag>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "mainwindow/qt/CaptionFrame.h"
#include "mainwindow/qt/QtControls.h"

namespace velum {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
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
    driver_.SwitchTimer = [this](bool on) {
        if (on)
            timer_.start();
        else
            timer_.stop();
    };
    driver_.Close = [this] { close(); };
    driver_.About = [this] {
        if (onAbout)
            onAbout();
    };
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        scale_ = screen->logicalDotsPerInch() / 96.0;
    setWindowTitle(Q(form_.Caption));
    buildControls();
    buildMenus();

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

    driver_.Run([this] { form_.Form_Load(); });

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
        // The lists were filled before they had their size: each one's first entry to show
        // is brought into view once they are laid out.
        QTimer::singleShot(0, this, [this] {
            for (const auto& [c, w] : controls_)
                if (c->kind == ControlKind::List) {
                    auto* list = static_cast<QListView*>(w);
                    list->scrollTo(list->model()->index(c->state(form_).list->TopIndex, 0));
                }
        });
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

    // Frames first, as the controls they hold are their children; labels after the controls
    // they name.
    std::set<std::string> labelled;
    for (const auto& c : WindowControls())
        if (!c.labelFor.empty())
            labelled.insert(c.labelFor);
    std::vector<const ControlLayout*> order;
    for (const auto& c : WindowControls())
        if (c.kind == ControlKind::Frame)
            order.push_back(&c);
    for (const auto& c : WindowControls())
        if (c.kind != ControlKind::Frame)
            order.push_back(&c);
    std::map<std::string, QButtonGroup*> groups;
    for (const ControlLayout* c : order) {
        const ControlLayout* frame = c->frame.empty() ? nullptr : FindControl(c->frame);
        QWidget* parent = frame && frame->holdsControls ? byName_.at(frame->name) : client;
        QWidget* w = createControl(*c, parent);
        int left = c->left, top = c->top;
        if (parent != client) {
            left -= frame->left;
            top -= frame->top;
        }
        w->setObjectName(Q(c->name));
        w->setGeometry(px(left), px(top), px(c->width), px(c->height));
        if (!c->tip.empty())
            w->setToolTip(Q(c->tip));
        if (!c->spoken.empty())
            w->setAccessibleName(Q(c->spoken));
        // A combo box's name is its text: one with no label says its name as a description.
        if (c->kind == ControlKind::DriveList && !labelled.count(c->name))
            w->setAccessibleDescription(Q(c->spoken));
        if (!c->labelFor.empty())
            static_cast<QLabel*>(w)->setBuddy(byName_.at(c->labelFor));
        if (c->kind == ControlKind::Option) {
            QButtonGroup*& group = groups[c->frame];
            if (!group) {
                group = new QButtonGroup(this);
                groups_.push_back(group);
            }
            group->addButton(static_cast<QRadioButton*>(w));
        }
        byName_[c->name] = w;
        connectControl(*c, w);
    }
    for (const auto& c : WindowControls())
        controls_.push_back({&c, byName_.at(c.name)});

    // Tab in the table's order: the left column top to bottom, the buttons row by row, then
    // the right column. An option group is one stop (see syncTabStops), its buttons by arrows.
    QWidget* previous = nullptr;
    for (const auto& [c, w] : controls_) {
        if (!c->TakesFocus())
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

QWidget* MainWindowView::createControl(const ControlLayout& c, QWidget* parent) {
    const QString caption = Q(c.caption);
    switch (c.kind) {
    case ControlKind::Button:
        return new QPushButton(caption, parent);
    case ControlKind::Label:
        return new QLabel(caption, parent);
    case ControlKind::Option:
        return new QRadioButton(caption, parent);
    case ControlKind::CheckBox:
        return new QCheckBox(caption, parent);
    case ControlKind::TextBox:
        return new QLineEdit(parent);
    case ControlKind::Frame: {
        auto* frame = new CaptionFrame(parent);
        frame->setTitle(caption);
        if (!c.holdsControls)
            frame->lower(); // drawn around controls that belong to the window
        return frame;
    }
    case ControlKind::Combo: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        // Qt would choose the entry a typed text names when the box loses the focus; here only
        // the person's choice from the list does.
        QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
        return combo;
    }
    case ControlKind::DriveList: {
        auto* drives = new QComboBox(parent);
        drives->setIconSize(QSize(px(240), px(240)));
        return drives;
    }
    case ControlKind::FolderList: {
        auto* folders = new QListWidget(parent);
        folders->setUniformItemSizes(true);
        folders->setIconSize(QSize(px(240), px(240)));
        return folders;
    }
    case ControlKind::List: {
        auto* list = new QListView(parent);
        list->setModel(new LinesModel(list));
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setUniformItemSizes(true);
        return list;
    }
    case ControlKind::Picture: {
        auto* picture = new QLabel(parent);
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->lower(); // a picture at its own size lies beneath the other controls
        return picture;
    }
    }
    return new QWidget(parent);
}

void MainWindowView::watch(QObject* object, const ControlLayout& c, Part part) {
    watched_[object] = {&c, part};
    object->installEventFilter(this);
}

void MainWindowView::connectControl(const ControlLayout& c, QWidget* w) {
    const std::string name = c.name;
    switch (c.kind) {
    case ControlKind::Button:
        watch(w, c, Part::Self); // its access key
        [[fallthrough]];
    case ControlKind::Option:
        connect(static_cast<QAbstractButton*>(w), &QAbstractButton::clicked, this,
                [this, name] { driver_.Raise(name, ControlEvent::Click); });
        break;
    case ControlKind::CheckBox:
        connect(static_cast<QCheckBox*>(w), &QCheckBox::clicked, this,
                [this, name](bool on) { driver_.Check(name, on); });
        break;
    case ControlKind::TextBox:
        connect(static_cast<QLineEdit*>(w), &QLineEdit::textEdited, this,
                [this, name](const QString& t) { driver_.Edit(name, t.toStdString()); });
        break;
    case ControlKind::Combo: {
        auto* combo = static_cast<QComboBox*>(w);
        connect(combo, &QComboBox::activated, this, [this, name](int i) { driver_.Pick(name, i); });
        connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                [this, name](const QString& t) { driver_.Edit(name, t.toStdString()); });
        if (c.CallOn(ControlEvent::LostFocus))
            watch(combo, c, Part::Self);
        if (c.CallOn(ControlEvent::LostFocus) || c.CallOn(ControlEvent::DblClick))
            watch(combo->lineEdit(), c, Part::Edit);
        break;
    }
    case ControlKind::DriveList:
        connect(static_cast<QComboBox*>(w), &QComboBox::activated, this,
                [this, name](int i) { driver_.Pick(name, i); });
        break;
    case ControlKind::FolderList: {
        auto* folders = static_cast<QListWidget*>(w);
        connect(folders, &QListWidget::itemActivated, this,
                [this, name, folders](auto* item) { driver_.Pick(name, folders->row(item)); });
        break;
    }
    case ControlKind::List: {
        auto* list = static_cast<QListView*>(w);
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, name, list] {
                    selectionPushed_ = true;
                    pushSelection(name, list);
                });
        // A click that leaves the selection as it was is still a click.
        connect(list, &QAbstractItemView::pressed, this, [this, name, list] {
            if (!selectionPushed_)
                pushSelection(name, list);
            selectionPushed_ = true;
        });
        connect(list, &QAbstractItemView::doubleClicked, this,
                [this, name] { driver_.Raise(name, ControlEvent::DblClick); });
        watch(list->viewport(), c, Part::Viewport);
        if (c.CallOn(ControlEvent::Drop))
            list->viewport()->setAcceptDrops(true);
        if (c.CallOn(ControlEvent::DeleteKey))
            watch(list, c, Part::Self);
        break;
    }
    case ControlKind::Picture:
        if (c.CallOn(ControlEvent::DblClick))
            watch(w, c, Part::Self);
        break;
    case ControlKind::Label:
    case ControlKind::Frame:
        break;
    }
}

void MainWindowView::buildMenus() {
    for (const auto& menu : WindowMenus()) {
        QMenu* m = menuBar()->addMenu(Q(menu.caption));
        m->setObjectName(Q(menu.name));
        for (const auto& entry : menu.entries) {
            if (entry.name.empty()) {
                m->addSeparator();
                continue;
            }
            QAction* action = m->addAction(Q(entry.caption));
            action->setObjectName(Q(entry.name));
            if (!entry.shortcut.empty())
                action->setShortcut(QKeySequence(Q(entry.shortcut)));
            connect(action, &QAction::triggered, this,
                    [this, name = entry.name] { driver_.Menu(name); });
        }
    }
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

void MainWindowView::pushSelection(const std::string& name, QAbstractItemView* view) {
    std::vector<bool> chosen(static_cast<std::size_t>(view->model()->rowCount()), false);
    for (const QModelIndex& index : view->selectionModel()->selectedRows())
        chosen[static_cast<std::size_t>(index.row())] = true;
    driver_.Select(name, chosen, view->currentIndex().row());
}

void MainWindowView::startDrag(QWidget* source) {
    auto* drag = new QDrag(source); // Qt deletes it when the drag ends
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kDragMimeType), QByteArray());
    drag->setMimeData(mime);
    drag->setPixmap(DragPixmap());
    drag->setHotSpot(QPoint(4, 4));
    // The drag's own event loop runs one event at a time like a handler.
    driver_.Run([drag] { drag->exec(Qt::CopyAction); });
}

bool MainWindowView::eventFilter(QObject* watched, QEvent* event) {
    const auto found = watched_.find(watched);
    if (found == watched_.end())
        return QMainWindow::eventFilter(watched, event);
    const ControlLayout& c = *found->second.first;
    const Part part = found->second.second;
    const QEvent::Type type = event->type();
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;

    if (c.kind == ControlKind::Button && type == QEvent::Shortcut) {
        // An access key is a click: the focus moves to the button first, so the control left
        // behind runs its lost-focus step before the button acts.
        auto* b = static_cast<QPushButton*>(watched);
        if (b->isEnabled() && b->focusPolicy() != Qt::NoFocus)
            b->setFocus(Qt::ShortcutFocusReason);
    } else if (part == Part::Self && c.kind == ControlKind::List &&
               (type == QEvent::ShortcutOverride || type == QEvent::KeyPress)) {
        // Del here has the list's own meaning, before the menu's key takes it.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            if (type == QEvent::KeyPress)
                driver_.Raise(c.name, ControlEvent::DeleteKey);
            return true;
        }
    } else if (part == Part::Viewport) {
        if (press && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton &&
            !c.dropTarget.empty()) {
            startDrag(byName_.at(c.name));
            return true;
        }
        if (press)
            selectionPushed_ = false;
        if (c.CallOn(ControlEvent::Drop) &&
            (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData()->hasFormat(QString::fromLatin1(kDragMimeType))) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            if (type == QEvent::Drop)
                driver_.Raise(c.name, ControlEvent::Drop);
            return true;
        }
    } else if (part == Part::Self && c.kind == ControlKind::Combo && type == QEvent::FocusOut) {
        // Only a move to another control of this window, not the drop-down, a menu or
        // another program.
        QWidget* self = byName_.at(c.name);
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* now = QApplication::focusWidget();
        const bool moved = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason ||
                           reason == Qt::OtherFocusReason;
        driver_.FocusLeft(c.name, moved && now && now != self && !self->isAncestorOf(now) &&
                                      now->window() == this);
    } else if (part == Part::Edit && type == QEvent::KeyPress &&
               c.CallOn(ControlEvent::LostFocus)) {
        // Enter does not choose an entry; leaving the box takes the typed name.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    } else if (part == Part::Edit && type == QEvent::MouseButtonDblClick) {
        driver_.Raise(c.name, ControlEvent::DblClick);
    } else if (c.kind == ControlKind::Picture && type == QEvent::MouseButtonDblClick) {
        driver_.Raise(c.name, ControlEvent::DblClick);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindowView::loadPicture(const std::string& path) {
    // A picture larger than the window is decoded only as far as it can be seen.
    const ImageBox& box = form_.imgThumb;
    const bool fit = box.stretch;
    const QSize limit = fit ? QSize(px(box.width), px(box.height)) : size();
    std::optional<QImage> image = DecodePreview(path, limit, fit);
    if (!image)
        return false;
    cachedPath_ = path;
    cachedImage_ = std::move(*image);
    cachedLimit_ = limit;
    cachedFit_ = fit;
    return true;
}

void MainWindowView::syncFromForm() {
    setWindowTitle(Q(form_.Caption));
    for (const auto& [c, w] : controls_)
        syncControl(*c, w);
    for (QButtonGroup* group : groups_)
        SyncTabStops(group);
}

void MainWindowView::syncControl(const ControlLayout& c, QWidget* w) {
    if (!c.state)
        return;
    const ControlState s = c.state(form_);
    switch (c.kind) {
    case ControlKind::Combo:
        SyncCombo(static_cast<QComboBox*>(w), *s.combo, s.combo->Text());
        break;
    case ControlKind::TextBox:
        SyncText(static_cast<QLineEdit*>(w), *s.text);
        break;
    case ControlKind::Option:
        if (s.option->Value()) {
            const QSignalBlocker block(w);
            static_cast<QRadioButton*>(w)->setChecked(true);
        }
        break;
    case ControlKind::CheckBox: {
        const QSignalBlocker block(w);
        const int v = s.check->Value();
        static_cast<QCheckBox*>(w)->setCheckState(v == 1   ? Qt::Checked
                                                  : v == 2 ? Qt::PartiallyChecked
                                                           : Qt::Unchecked);
        break;
    }
    case ControlKind::DriveList:
        SyncDrives(static_cast<QComboBox*>(w), *s.drives);
        break;
    case ControlKind::FolderList:
        SyncFolders(static_cast<QListWidget*>(w), *s.folders, folderRows_);
        break;
    case ControlKind::List:
        SyncList(static_cast<QListView*>(w), *s.list);
        break;
    case ControlKind::Picture:
        syncPreview(static_cast<QLabel*>(w), c, *s.picture);
        break;
    case ControlKind::Button:
    case ControlKind::Label:
    case ControlKind::Frame:
        break;
    }
}

void MainWindowView::syncPreview(QLabel* w, const ControlLayout& c, const ImageBox& box) {
    const QSize limit = box.stretch ? QSize(px(box.width), px(box.height)) : size();
    if (!box.picture.empty() &&
        (box.picture != cachedPath_ || box.stretch != cachedFit_ || limit != cachedLimit_))
        loadPicture(box.picture);
    const QPoint at(px(c.left), px(c.top));
    if (box.picture.empty() || box.picture != cachedPath_) {
        w->clear();
        w->setGeometry(QRect(at, QSize(px(box.width), px(box.height))));
        return;
    }
    const QPixmap picture = QPixmap::fromImage(cachedImage_);
    if (box.stretch) {
        const QSize size(px(box.width), px(box.height));
        w->setGeometry(QRect(at, size));
        w->setPixmap(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        w->setGeometry(QRect(at, picture.size()));
        w->setPixmap(picture);
    }
}

} // namespace velum
