#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <filesystem>
#include <sys/wait.h>

#include "mainwindow/WindowLayout.h"
#include "mainwindow/qt/CaptionFrame.h"
#include "mainwindow/qt/MainWindowView.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;

// Failures show the text, not its bytes.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The fixture answers No to every question and runs a hook while the question is open.
struct View : ::testing::Test, Dialogs {
    std::function<void()> whileAsking = [] {};
    bool AskYesNo(const std::string&, const std::string&) override { return whileAsking(), false; }
    void ShowMessage(const std::string&, const std::string&) override {}
    TempStore store;
    MemoryRegistry reg;
    FakeDesktop desktop{reg};
    fs::path start = fs::current_path(), pics = fs::path(store.root()) / "pics";
    frmWallPaper form{reg, *this};
    std::unique_ptr<MainWindowView> view;

    void SetUp() override {
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            WriteBmp24((pics / name).string(), 40, 30, std::vector<std::uint32_t>(1200, 0x3366aa));
        WriteBmp24((pics / "sub" / "d.bmp").string(), 40, 30,
                   std::vector<std::uint32_t>(1200, 0xc03020));
        // A bitmap cut short in its pixels, and bytes that only begin like one.
        const std::string whole = ReadWholeFile((pics / "sub" / "d.bmp").string());
        WriteWholeFile((pics / "truncated.bmp").string(), whole.substr(0, 54 + 700));
        WriteWholeFile((pics / "garbage.bmp").string(), "BM" + std::string(900, '\x7f'));
        fs::current_path(pics); // the browser opens on the folder the program starts in
        form.UseDesktop(desktop);
        view = std::make_unique<MainWindowView>(form);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    void TearDown() override { view.reset(), fs::current_path(start); }
    template <class W> W* get(const char* name) { return view->findChild<W*>(name); }
    QPoint centre(QListWidget* list, int i) { return list->visualItemRect(list->item(i)).center(); }
    // Double-clicks the entry of a list whose text ends in `text`, scrolled into view first.
    void open(QListWidget* list, const char* text) {
        const auto found = list->findItems(QString::fromUtf8(text), Qt::MatchEndsWith);
        ASSERT_EQ(found.size(), 1) << text;
        list->scrollToItem(found[0]);
        const QPoint at = list->visualItemRect(found[0]).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at); // QTest sends no press
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // Keys as the window system delivers them: to the control with the focus.
    void key(int k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods);
    }
    // Types a new name over the selector's text and leaves it with Tab, as a person names one.
    void name(const char* text) {
        get<QComboBox>("cmbCollection")->setFocus(Qt::MouseFocusReason);
        get<QComboBox>("cmbCollection")->lineEdit()->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), text);
        key(Qt::Key_Tab);
    }
    void click(QListWidget* list, const char* text, Qt::KeyboardModifiers mods = {}) {
        const auto found = list->findItems(QString::fromUtf8(text), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, mods,
                          list->visualItemRect(found[0]).center());
    }
    // Chooses an entry from a combo box's drop-down with the mouse.
    void choose(QComboBox* box, const char* text) {
        const int i = box->findText(QString::fromUtf8(text));
        ASSERT_GE(i, 0) << text;
        box->showPopup();
        QAbstractItemView* popup = box->view();
        QTest::mouseClick(popup->viewport(), Qt::LeftButton, {},
                          popup->visualRect(popup->model()->index(i, 0)).center());
    }
    std::string focused() {
        QWidget* w = QApplication::focusWidget();
        while (w && w->objectName().startsWith(QStringLiteral("qt_")))
            w = w->parentWidget();
        return w ? w->objectName().toStdString() : "";
    }
};

} // namespace

// The offscreen platform ends a QDrag at once, so the drop is sent as the drag would send it.
TEST_F(View, ARightPressDragsOnlyOurDropIsTakenAndThePreviewSwitchesSize) {
    auto* files = get<QListWidget>("filWinBmps");
    QTest::mouseClick(get<QCheckBox>("chkAutoView"), Qt::LeftButton);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, centre(files, 0));
    QTest::mouseDClick(get<QLabel>("imgThumb"), Qt::LeftButton); // the picture at its own size
    EXPECT_EQ(get<QLabel>("imgThumb")->geometry(), QRect(view->px(5040), view->px(1800), 40, 30));
    QTest::mouseDClick(get<QLabel>("imgThumb"), Qt::LeftButton);
    EXPECT_EQ(get<QLabel>("imgThumb")->size(), QSize(view->px(2055), view->px(1365)));
    QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::ControlModifier, centre(files, 2));
    QTest::mouseClick(files->viewport(), Qt::RightButton, {}, centre(files, 1));
    EXPECT_TRUE(form.filWinBmps.Selected(0) && form.filWinBmps.Selected(2)); // a right press drags

    for (const char* type : {"text/uri-list", MainWindowView::kDragMimeType}) {
        QMimeData mime;
        mime.setData(QString::fromLatin1(type), QByteArray());
        QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QApplication::sendEvent(get<QListWidget>("lstRotateBmps")->viewport(), &enter);
        QApplication::sendEvent(get<QListWidget>("lstRotateBmps")->viewport(), &drop);
        const bool ours = type == MainWindowView::kDragMimeType; // only ours enters and drops
        EXPECT_EQ(enter.isAccepted() + drop.isAccepted(), ours ? 2 : 0) << type;
        EXPECT_EQ(form.lstRotateBmps.ListCount(), ours ? 2 : 0) << type;
    }
}

TEST_F(View, StartsInPlaceAndCtrlSSaves) {
    ASSERT_TRUE(view->grab().save(QStringLiteral(VELUM_SCREENSHOT)));
    EXPECT_EQ(view->centralWidget()->size(), QSize(view->px(7155), view->px(6225)));
    EXPECT_EQ(WEXITSTATUS(std::system("env -i " VELUM_BIN_DIR "/velumdesk 2>err")), 1);
    EXPECT_EQ(ReadWholeFile("err"), "velumdesk: no display to show the window on\n");
    QTest::keyClick(view.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(FileExists(store.file("velum.cfg")));
}

TEST_F(View, EveryControlStandsWhereTheSharedLayoutPutsIt) {
    QWidget* client = view->centralWidget();
    for (const ControlSpec& c : WindowControls()) {
        auto* w = get<QWidget>(c.name.c_str());
        ASSERT_NE(w, nullptr) << c.name;
        if (c.name == "imgThumb")
            continue; // its size follows the picture
        const QRect at(w->mapTo(client, QPoint(0, 0)), w->size());
        EXPECT_EQ(at,
                  QRect(view->px(c.left), view->px(c.top), view->px(c.width), view->px(c.height)))
            << c.name;
    }
}

TEST_F(View, TheWindowIsCentredByItsOuterFrame) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = view->frameGeometry();
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1);
}

TEST_F(View, TheSelectorTakesATypedNameOnlyWhenTheFocusMovesToAnotherControl) {
    auto* selector = get<QComboBox>("cmbCollection");
    selector->setFocus();
    selector->lineEdit()->selectAll();
    QTest::keyClicks(selector->lineEdit(), "Two");
    selector->showPopup(); // its own drop-down takes the focus
    selector->hidePopup();
    QTest::keyClick(view.get(), Qt::Key_F, Qt::AltModifier); // and a menu
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    EXPECT_EQ(form.cmbCollection.ListCount(), 1);
    selector->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Tab);
    EXPECT_EQ(form.LoadedCollectionName, "Two");

    // Back to Default while Two has unsaved changes: a tick during the question waits.
    std::vector<bool> tickedWhileAsking;
    whileAsking = [&] { view->tick(), tickedWhileAsking.push_back(!form.TickTime.empty()); };
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    EXPECT_EQ(tickedWhileAsking, std::vector{false});
    EXPECT_FALSE(form.TickTime.empty());
    QTest::mouseClick(get<QPushButton>("cmdAddAll"), Qt::LeftButton);
    EXPECT_TRUE(view->close());
    view->endSession();
    EXPECT_EQ(tickedWhileAsking.size(), 2u); // closing asks once about the added bitmap
}

TEST_F(View, TypingInTheMiddleOfANameKeepsTheCaretAndTheSelection) {
    name("Nature");
    auto* selector = get<QComboBox>("cmbCollection");
    choose(selector, "Nature"); // the entry chosen, as at start
    ASSERT_EQ(form.cmbCollection.ListIndex(), selector->findText("Nature"));
    QLineEdit* edit = selector->lineEdit();
    selector->setFocus(Qt::MouseFocusReason);
    edit->setCursorPosition(2);
    QTest::keyClicks(selector, "XY");
    EXPECT_EQ(edit->text(), "NaXYture");
    EXPECT_EQ(edit->cursorPosition(), 4);
    EXPECT_EQ(form.cmbCollection.Text(), "NaXYture");

    // A selection made leftwards keeps its caret at its left end through a tick.
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    view->tick();
    EXPECT_EQ(edit->selectedText(), "XY");
    EXPECT_EQ(edit->cursorPosition(), 2);
    key(Qt::Key_Backspace); // back to a name of the list, which becomes its entry
    EXPECT_EQ(edit->text(), "Nature");
    EXPECT_EQ(edit->cursorPosition(), 2);
    EXPECT_EQ(form.cmbCollection.ListIndex(), selector->findText("Nature"));
    QTest::keyClicks(selector, "t");
    EXPECT_EQ(edit->text(), "Natture");
    key(Qt::Key_Z, Qt::ControlModifier); // the edits since the caret moved are undone
    EXPECT_EQ(edit->text(), "NaXYture");
    EXPECT_EQ(form.cmbCollection.Text(), "NaXYture");

    auto* history = get<QComboBox>("cmbLastBmps"); // the history's text box too
    history->setFocus(Qt::MouseFocusReason);
    history->lineEdit()->selectAll();
    QTest::keyClicks(history, "/a.bmp");
    key(Qt::Key_Home);
    key(Qt::Key_Right);
    QTest::keyClicks(history, "pics/");
    EXPECT_EQ(history->lineEdit()->text(), "/pics/a.bmp");
    EXPECT_EQ(history->lineEdit()->cursorPosition(), 6);
}

TEST_F(View, AnAccessKeyMovesTheFocusSoATypedNameIsTakenBeforeTheButtonActs) {
    auto* files = get<QListWidget>("filWinBmps");
    click(files, "a.bmp");
    auto* selector = get<QComboBox>("cmbCollection");
    selector->setFocus(Qt::MouseFocusReason);
    selector->lineEdit()->selectAll();
    QTest::keyClicks(selector, "Nature");
    key(Qt::Key_D, Qt::AltModifier); // A&dd
    EXPECT_EQ(focused(), "cmdAdd");
    EXPECT_EQ(form.LoadedCollectionName, "Nature"); // taken before the button acts
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.lstRotateBmps.ListCount() == 1; }, 2000));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(StoredBitmapsOf("Nature"), std::vector{(pics / "a.bmp").string()});

    // Every button's access key: the focus goes to it and it acts.
    const std::tuple<Qt::Key, const char*, std::function<bool()>> keys[] = {
        {Qt::Key_L, "cmdAddAll", [&] { return form.lstRotateBmps.ListCount() == 5; }},
        {Qt::Key_M, "cmdRemoveAll", [&] { return form.lstRotateBmps.ListCount() == 0; }},
        {Qt::Key_A, "cmdApply", [&] { return !desktop.calls.empty(); }},
        {Qt::Key_N, "cmdUpdate", [&] { return !form.LastChanged.empty(); }},
    };
    click(files, "b.bmp");
    for (const auto& [k, button, acted] : keys) {
        if (std::string(button) == "cmdUpdate")
            key(Qt::Key_L, Qt::AltModifier); // Next needs bitmaps to cycle
        QTest::qWait(300);
        key(k, Qt::AltModifier);
        EXPECT_EQ(focused(), button);
        EXPECT_TRUE(QTest::qWaitFor(acted, 2000)) << button;
    }
    selector->setFocus(Qt::MouseFocusReason);
    key(Qt::Key_R, Qt::AltModifier); // &Remove, with a bitmap selected in the rotation list
    EXPECT_EQ(focused(), "cmdRemove");
}

TEST_F(View, DelRemovesFromTheRotationListEditsTextAndElsewhereDeletesTheCollection) {
    const int start = form.cmbCollection.ListCount();
    for (const char* n : {"One", "Two", "Three", "Four"})
        name(n);
    ASSERT_EQ(form.cmbCollection.ListCount(), start + 4);
    QTest::mouseClick(get<QPushButton>("cmdAddAll"), Qt::LeftButton);
    auto* rotation = get<QListWidget>("lstRotateBmps");
    click(rotation, (pics / "b.bmp").string().c_str());
    click(rotation, (pics / "garbage.bmp").string().c_str(), Qt::ControlModifier);
    key(Qt::Key_Delete);
    EXPECT_EQ(form.lstRotateBmps.items(),
              (std::vector{(pics / "a.bmp").string(), (pics / "c.bmp").string(),
                           (pics / "truncated.bmp").string()}));
    key(Qt::Key_Delete); // nothing selected: nothing goes
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 3);
    EXPECT_EQ(form.cmbCollection.ListCount(), start + 4);

    for (const char* field :
         {"txtDays", "txtHours", "txtMinutes", "cmbLastBmps", "cmbCollection"}) {
        get<QWidget>(field)->setFocus(Qt::MouseFocusReason);
        QLineEdit* edit = qobject_cast<QLineEdit*>(get<QWidget>(field));
        if (!edit)
            edit = get<QComboBox>(field)->lineEdit();
        edit->setText(QStringLiteral("Four"));
        edit->setCursorPosition(1);
        key(Qt::Key_Delete);
        EXPECT_EQ(edit->text(), "Fur") << field;
        EXPECT_EQ(form.cmbCollection.ListCount(), start + 4) << field;
        QTest::keyClick(edit, Qt::Key_O); // back to the name shown, which leaving takes
    }
    int left = start + 4;
    for (const char* control : {"filWinBmps", "Dir1", "Drive1"}) {
        get<QWidget>(control)->setFocus(Qt::MouseFocusReason);
        key(Qt::Key_Delete);
        EXPECT_EQ(form.cmbCollection.ListCount(), --left) << control;
    }
    // The menu entry deletes wherever the focus is.
    for (const char* control : {"lstRotateBmps", "txtDays"}) {
        get<QWidget>(control)->setFocus(Qt::MouseFocusReason);
        const std::string days = form.txtDays.Text();
        view->findChild<QAction*>("mnuDelete")->trigger();
        EXPECT_EQ(form.cmbCollection.ListCount(), --left) << control;
        EXPECT_EQ(form.txtDays.Text(), days) << control;
    }
}

TEST_F(View, APreviewThatCannotBeDecodedLeavesTheLastPictureUp) {
    WriteBmp24((pics / "b.bmp").string(), 40, 30, std::vector<std::uint32_t>(1200, 0x20a040));
    auto* files = get<QListWidget>("filWinBmps");
    auto* thumb = get<QLabel>("imgThumb");
    QTest::mouseClick(get<QCheckBox>("chkAutoView"), Qt::LeftButton);
    // Every pixel the box draws, as one colour, or 0 when they differ.
    auto shown = [&] {
        const QImage image = thumb->grab().toImage();
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != first)
                    return 0u;
        return first & 0xffffffu;
    };
    click(files, "a.bmp");
    EXPECT_EQ(shown(), 0x3366aau);
    for (const char* bad : {"truncated.bmp", "garbage.bmp", "truncated.bmp"}) {
        click(files, bad);
        EXPECT_EQ(shown(), 0x3366aau) << bad;
        EXPECT_EQ(form.imgThumb.picture, (pics / "a.bmp").string()) << bad;
    }
    QTest::mouseDClick(thumb, Qt::LeftButton); // at its own size as well
    click(files, "truncated.bmp");
    EXPECT_EQ(thumb->size(), QSize(40, 30));
    EXPECT_EQ(shown(), 0x3366aau);
    click(files, "b.bmp");
    EXPECT_EQ(shown(), 0x20a040u);
}

TEST_F(View, EachFrameCaptionStandsOnItsBorderAndNoControlCrossesIt) {
    QWidget* client = view->centralWidget();
    const auto frames = client->findChildren<CaptionFrame*>();
    ASSERT_EQ(frames.size(), 3);
    for (const CaptionFrame* frame : frames) {
        const QRect outer = frame->border().translated(frame->pos());
        const QRect inner = outer.adjusted(CaptionFrame::kLine, CaptionFrame::kLine,
                                           -CaptionFrame::kLine, -CaptionFrame::kLine);
        const QRect caption = frame->caption().translated(frame->pos());
        const std::string title = frame->title().toStdString();
        EXPECT_EQ(caption.width(), frame->fontMetrics().horizontalAdvance(frame->title())) << title;
        EXPECT_TRUE(caption.top() < outer.top() && caption.bottom() > inner.top()) << title;
        for (QWidget* w : client->findChildren<QWidget*>()) {
            const bool control = !w->objectName().isEmpty() &&
                                 !w->objectName().startsWith(QStringLiteral("qt_")) && w != frame &&
                                 !qobject_cast<QMenu*>(w) && w->isVisible();
            if (!control)
                continue;
            const QRect r(w->mapTo(client, QPoint()), w->size());
            EXPECT_TRUE(inner.contains(r) || !outer.intersects(r))
                << w->objectName().toStdString() << " crosses " << title;
            EXPECT_FALSE(caption.intersects(r)) << w->objectName().toStdString() << " on " << title;
        }
    }
    // What is drawn: the border line runs through the caption's middle row, not below it.
    CaptionFrame* cycle = view->findChild<CaptionFrame*>("frmCycle");
    const QImage image = cycle->grab().toImage();
    const int line = cycle->border().top();
    EXPECT_NE(image.pixel(1, line + 20), image.pixel(4, line + 20)); // left border
    EXPECT_NE(image.pixel(cycle->caption().right() + 8, line),
              image.pixel(cycle->caption().right() + 8, line + 4));
}

TEST_F(View, TabGoesInReadingOrderAndArrowsMoveInsideAnOptionGroup) {
    const auto checked = [&](QButtonGroup* g) {
        return g->checkedButton()->objectName().toStdString();
    };
    auto* style = get<QRadioButton>("optTile")->group();
    auto* order = get<QRadioButton>("optAscending")->group();
    get<QWidget>("cmbCollection")->setFocus(Qt::MouseFocusReason);
    std::vector<std::string> visited = {focused()};
    for (int i = 0; i < 18; ++i) {
        key(Qt::Key_Tab);
        visited.push_back(focused());
    }
    EXPECT_EQ(visited, (std::vector<std::string>{
                           "cmbCollection", "filWinBmps", "Drive1", "Dir1", "cmbLastBmps", "cmdAdd",
                           "cmdRemove", "cmdUpdate", "cmdAddAll", "cmdRemoveAll", "cmdApply",
                           "lstRotateBmps", checked(style), "chkAutoView", "txtDays", "txtHours",
                           "txtMinutes", checked(order), "cmbCollection"}));
    key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), checked(order));

    // Down chooses the next order, and Tab still stops once on the group.
    const std::string before = checked(order);
    key(Qt::Key_Down);
    EXPECT_NE(checked(order), before);
    EXPECT_EQ(focused(), checked(order));
    EXPECT_TRUE(form.CollectionDirty); // a person's choice, handled as a click
    key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focused(), "txtMinutes");
    key(Qt::Key_Tab);
    EXPECT_EQ(focused(), checked(order));
    key(Qt::Key_Tab);
    EXPECT_EQ(focused(), "cmbCollection");
}

TEST_F(View, AHistoryEntryInASubfolderHighlightsThatSubfolder) {
    QTest::mouseClick(get<QRadioButton>("optCenter"), Qt::LeftButton);
    auto* folders = get<QListWidget>("Dir1");
    open(folders, "sub");
    open(get<QListWidget>("filWinBmps"), "d.bmp"); // applied: now in the history
    open(folders, "pics");
    ASSERT_EQ(form.filWinBmps.Path(), pics.string());
    ASSERT_EQ(form.cmbLastBmps.items(), std::vector{(pics / "sub" / "d.bmp").string()});

    choose(get<QComboBox>("cmbLastBmps"), (pics / "sub" / "d.bmp").string().c_str());
    EXPECT_EQ(form.filWinBmps.Path(), (pics / "sub").string());
    ASSERT_TRUE(folders->currentItem());
    EXPECT_EQ(folders->currentItem()->data(Qt::UserRole).toString().toStdString(),
              (pics / "sub").string());
    EXPECT_EQ(folders->currentItem()->text().trimmed(), "sub");
}

TEST_F(View, EveryControlHasTheNameAScreenReaderAnnounces) {
    QWidget* client = view->centralWidget();
    std::map<std::string, std::string> names;
    for (QWidget* w : client->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_TRUE(a) << w->objectName().toStdString();
        // A combo box's name is its text: a screen reader says the label that points to it,
        // or else its description.
        QString said = a->text(QAccessible::Name);
        if (a->role() == QAccessible::ComboBox) {
            const auto labels = a->relations(QAccessible::Label);
            said = labels.isEmpty() ? a->text(QAccessible::Description)
                                    : labels.front().first->text(QAccessible::Name);
        }
        names[w->objectName().toStdString()] = said.toStdString();
    }
    const std::map<std::string, std::string> want = {{"cmbCollection", "Collection:"},
                                                     {"cmdAddAll", "Add All"},
                                                     {"cmdRemoveAll", "Remove All"},
                                                     {"Frame2", "Cycle Frequency"},
                                                     {"txtDays", "Days"},
                                                     {"txtHours", "Hours"},
                                                     {"txtMinutes", "Minutes"},
                                                     {"Label4", "M"},
                                                     {"Label3", "H"},
                                                     {"Label7", "D"},
                                                     {"cmdUpdate", "Next"},
                                                     {"frmCycle", "Cycle Order"},
                                                     {"optAscending", "Ascending"},
                                                     {"optDescending", "Descending"},
                                                     {"optRandom", "Random"},
                                                     {"cmdRemove", "Remove"},
                                                     {"cmdAdd", "Add"},
                                                     {"lstRotateBmps", "Bitmaps to cycle"},
                                                     {"Dir1", "Folders"},
                                                     {"Drive1", "Drive"},
                                                     {"cmbLastBmps", "Previous Bitmaps:"},
                                                     {"optNone", "None"},
                                                     {"optCenter", "Center"},
                                                     {"optTile", "Tile"},
                                                     {"Frame1", "Wallpaper Style"},
                                                     {"chkAutoView", "Preview"},
                                                     {"filWinBmps", "Bitmap files"},
                                                     {"cmdApply", "Apply"},
                                                     {"Label6", "Collection:"},
                                                     {"Label5", "Bitmaps to cycle:"},
                                                     {"Label2", "Previous Bitmaps:"},
                                                     {"imgThumb", "Preview picture"}};
    EXPECT_EQ(names, want);
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
