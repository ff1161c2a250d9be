// The Qt window over the form, driven through its widgets as a person drives them.
#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <filesystem>
#include <sys/wait.h>

#include "common/RegistrySettings.h"
#include "mainwindow/WindowLayout.h"
#include "mainwindow/qt/CaptionFrame.h"
#include "mainwindow/qt/MainWindowView.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// The fixture answers No to every question.
struct View : ::testing::Test, Dialogs {
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void ShowMessage(const std::string&, const std::string&) override {}
    TempFolder store;
    MemoryRegistry reg;
    FakeDesktop desktop{reg};
    fs::path pics = fs::path(store.root()) / "pics";
    std::unique_ptr<frmWallPaper> form;
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
        Open();
    }
    void TearDown() override { view.reset(); }
    // The window over the store as it now is.
    void Open() {
        view.reset();
        form = std::make_unique<frmWallPaper>(reg, *this, FormPlaces{store.root(), pics.string()});
        form->UseDesktop(desktop);
        view = std::make_unique<MainWindowView>(*form);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    template <class W> W* get(const char* name) { return view->findChild<W*>(name); }
    // Clicks the entry of a list whose text ends in `text`, scrolled into view; twice opens it.
    void click(QListView* list, const char* text, Qt::KeyboardModifiers mods = {},
               Qt::MouseButton button = Qt::LeftButton, bool twice = false) {
        QAbstractItemModel* model = list->model();
        const auto found = model->match(model->index(0, 0), Qt::DisplayRole,
                                        QString::fromUtf8(text), -1, Qt::MatchEndsWith);
        ASSERT_EQ(found.size(), 1) << text;
        list->scrollTo(found[0]);
        const QPoint at = list->visualRect(found[0]).center();
        QTest::mouseClick(list->viewport(), button, mods, at); // QTest sends no press
        if (twice)
            QTest::mouseDClick(list->viewport(), button, mods, at);
    }
    // Keys as the window system delivers them: to the control with the focus.
    void key(int k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), mods);
    }
    // Types over the selector's text, as a person names a collection; Tab leaves it.
    void name(const char* text, bool leave = true) {
        get<QComboBox>("cmbCollection")->setFocus(Qt::MouseFocusReason);
        get<QComboBox>("cmbCollection")->lineEdit()->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), text);
        if (leave)
            key(Qt::Key_Tab);
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
TEST_F(View, ARightPressDragsAndOnlyOurDropIsTaken) {
    auto* files = get<QListView>("filWinBmps");
    click(files, "a.bmp");
    click(files, "c.bmp", Qt::ControlModifier);
    click(files, "b.bmp", {}, Qt::RightButton);
    EXPECT_TRUE(form->filWinBmps.Selected(0)); // a right press drags
    EXPECT_TRUE(form->filWinBmps.Selected(2));
    for (const char* type : {"text/uri-list", MainWindowView::kDragMimeType}) {
        QMimeData mime;
        mime.setData(QString::fromLatin1(type), QByteArray());
        QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QApplication::sendEvent(get<QListView>("lstRotateBmps")->viewport(), &enter);
        QApplication::sendEvent(get<QListView>("lstRotateBmps")->viewport(), &drop);
        const bool ours = type == MainWindowView::kDragMimeType; // only ours enters and drops
        EXPECT_EQ(enter.isAccepted() + drop.isAccepted(), ours ? 2 : 0) << type;
        EXPECT_EQ(form->lstRotateBmps.ListCount(), ours ? 2 : 0) << type;
    }
}

// Where the table puts it, clear of the frames' captions and lines, with a name a screen reader
// can say (a combo box's name is its text: its label's, or a description, is said instead).
TEST_F(View, EachControlStandsWhereTheLayoutPutsItOutsideFrameLinesWithItsSpokenName) {
    ASSERT_TRUE(view->grab().save(QStringLiteral(VELUM_SCREENSHOT)));
    QWidget* client = view->centralWidget();
    EXPECT_EQ(client->size(), QSize(view->px(kClientWidthTwips), view->px(kClientHeightTwips)));
    for (const ControlLayout& c : WindowControls()) {
        auto* w = get<QWidget>(c.name.c_str());
        ASSERT_NE(w, nullptr) << c.name;
        const QRect at(w->mapTo(client, QPoint(0, 0)), w->size());
        if (c.name != "imgThumb") { // its size follows the picture
            EXPECT_EQ(
                at, QRect(view->px(c.left), view->px(c.top), view->px(c.width), view->px(c.height)))
                << c.name;
        }
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const auto labels = a->relations(QAccessible::Label);
        const QString said = a->role() != QAccessible::ComboBox ? a->text(QAccessible::Name)
                             : labels.isEmpty()                 ? a->text(QAccessible::Description)
                                                : labels.front().first->text(QAccessible::Name);
        EXPECT_FALSE(said.isEmpty()) << c.name;
        EXPECT_FALSE(said.contains(u'&')) << c.name;
        for (const CaptionFrame* frame : client->findChildren<CaptionFrame*>()) {
            const QRect outer = frame->border().translated(frame->pos());
            const int k = CaptionFrame::kLine;
            if (w == frame || !w->isVisible())
                continue;
            EXPECT_FALSE(frame->caption().translated(frame->pos()).intersects(at))
                << c.name << " covers the caption of " << frame->title().toStdString();
            EXPECT_TRUE(outer.adjusted(k, k, -k, -k).contains(at) || !outer.intersects(at))
                << c.name << " crosses " << frame->title().toStdString();
        }
    }
    const QPoint off = view->frameGeometry().center() -
                       QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(std::abs(off.x()) + std::abs(off.y()), 2); // centred by its outer frame
    const std::string err = store.file("err");
    EXPECT_EQ(WEXITSTATUS(std::system(("env -i " VELUM_BIN_DIR "/velumdesk 2>" + err).c_str())), 1);
    EXPECT_EQ(ReadWholeFile(err), "velumdesk: no display to show the window on\n");
}

TEST_F(View, TypingInTheMiddleOfANameKeepsTheCaretAndTheSelection) {
    name("Nature");
    auto* selector = get<QComboBox>("cmbCollection");
    choose(selector, "Nature"); // the entry chosen, as at start
    QLineEdit* edit = selector->lineEdit();
    selector->setFocus(Qt::MouseFocusReason);
    edit->setCursorPosition(2);
    QTest::keyClicks(selector, "XY");
    EXPECT_EQ(edit->text(), "NaXYture");
    EXPECT_EQ(edit->cursorPosition(), 4);
    // A selection made leftwards keeps its caret at its left end through a tick.
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    view->tick();
    EXPECT_EQ(edit->selectedText(), "XY");
    EXPECT_EQ(edit->cursorPosition(), 2);
    key(Qt::Key_Backspace); // back to a name of the list, which becomes its entry
    EXPECT_EQ(edit->cursorPosition(), 2);
    EXPECT_EQ(form->cmbCollection.ListIndex(), selector->findText("Nature"));
}

TEST_F(View, AnAccessKeyMovesTheFocusSoATypedNameIsTakenBeforeTheButtonActs) {
    click(get<QListView>("filWinBmps"), "a.bmp");
    name("Nature", false);
    key(Qt::Key_D, Qt::AltModifier); // A&dd
    EXPECT_EQ(focused(), "cmdAdd");
    EXPECT_EQ(form->LoadedCollectionName, "Nature");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->lstRotateBmps.ListCount() == 1; }, 2000));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(StoredBitmapsOf(store.root(), "Nature"), std::vector{(pics / "a.bmp").string()});
}

TEST_F(View, DelRemovesFromTheRotationListEditsTextAndElsewhereDeletesTheCollection) {
    name("Two");
    name("Three");
    int left = form->cmbCollection.ListCount();
    QTest::mouseClick(get<QPushButton>("cmdAddAll"), Qt::LeftButton);
    click(get<QListView>("lstRotateBmps"), "/b.bmp");
    key(Qt::Key_Delete);
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 4);
    QLineEdit* edit = get<QComboBox>("cmbCollection")->lineEdit();
    edit->setFocus(Qt::MouseFocusReason);
    edit->setCursorPosition(1);
    key(Qt::Key_Delete);
    EXPECT_EQ(edit->text(), "Tree");
    EXPECT_EQ(form->cmbCollection.ListCount(), left);
    QTest::keyClick(edit, Qt::Key_H); // back to the name shown, which leaving takes
    for (const char* control : {"filWinBmps", "Dir1"}) {
        get<QWidget>(control)->setFocus(Qt::MouseFocusReason);
        key(Qt::Key_Delete);
        EXPECT_EQ(form->cmbCollection.ListCount(), --left) << control;
    }
}

TEST_F(View, APreviewThatCannotBeDecodedLeavesTheLastPictureUp) {
    WriteBmp24((pics / "b.bmp").string(), 40, 30, std::vector<std::uint32_t>(1200, 0x20a040));
    QTest::mouseClick(get<QCheckBox>("chkAutoView"), Qt::LeftButton);
    // Every pixel the box draws, as one colour, or 0 when they differ.
    auto shown = [&] {
        const QImage image = get<QLabel>("imgThumb")->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != image.pixel(0, 0))
                    return 0u;
        return image.pixel(0, 0) & 0xffffffu;
    };
    auto* files = get<QListView>("filWinBmps");
    click(files, "a.bmp");
    for (const char* bad : {"truncated.bmp", "garbage.bmp"}) {
        click(files, bad);
        EXPECT_EQ(shown(), 0x3366aau) << bad;
    }
    click(files, "b.bmp");
    EXPECT_EQ(shown(), 0x20a040u);
}

TEST_F(View, TabGoesInReadingOrder) {
    const auto checked = [&](const char* option) {
        return get<QRadioButton>(option)->group()->checkedButton()->objectName().toStdString();
    };
    get<QWidget>("cmbCollection")->setFocus(Qt::MouseFocusReason);
    std::vector<std::string> visited = {focused()};
    for (int i = 0; i < 18; ++i) {
        key(Qt::Key_Tab);
        visited.push_back(focused());
    }
    EXPECT_EQ(visited, (std::vector<std::string>{
                           "cmbCollection", "filWinBmps", "Drive1", "Dir1", "cmbLastBmps", "cmdAdd",
                           "cmdRemove", "cmdUpdate", "cmdAddAll", "cmdRemoveAll", "cmdApply",
                           "lstRotateBmps", checked("optTile"), "chkAutoView", "txtDays",
                           "txtHours", "txtMinutes", checked("optAscending"), "cmbCollection"}));
}

TEST_F(View, AHistoryEntryInASubfolderHighlightsThatSubfolder) {
    QTest::mouseClick(get<QRadioButton>("optCenter"), Qt::LeftButton);
    auto* folders = get<QListView>("Dir1");
    click(folders, "sub", {}, Qt::LeftButton, true);
    click(get<QListView>("filWinBmps"), "d.bmp", {}, Qt::LeftButton, true); // into the history
    click(folders, "pics", {}, Qt::LeftButton, true);
    choose(get<QComboBox>("cmbLastBmps"), (pics / "sub" / "d.bmp").string().c_str());
    EXPECT_EQ(folders->currentIndex().data().toString().trimmed(), "sub");
}

TEST_F(View, TheRotationListOpensScrolledToTheStoredPosition) {
    std::vector<std::string> records;
    for (int i = 0; i < 80; ++i)
        records.push_back("\"Bmp\",\"Sky\",\"/r/" + std::to_string(i) + ".bmp\"");
    records.push_back(R"("CurrentIndex","Sky"," 70")");
    WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
    reg.Put(kOptionsKey, "Current", reg::kSz, "Sky"s + '\0');
    Open();
    QTest::qWait(50);
    auto* list = get<QListView>("lstRotateBmps");
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(list->model()->index(70, 0))));
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
