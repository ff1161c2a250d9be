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
    frmWallPaper form{reg, *this, {store.root(), pics.string()}};
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
        form.UseDesktop(desktop);
        view = std::make_unique<MainWindowView>(form);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    void TearDown() override { view.reset(); }
    template <class W> W* get(const char* name) { return view->findChild<W*>(name); }
    // The entry of a list whose text matches `text`.
    static QModelIndexList find(QListView* list, const char* text, Qt::MatchFlags how) {
        QAbstractItemModel* model = list->model();
        return model->match(model->index(0, 0), Qt::DisplayRole, QString::fromUtf8(text), -1, how);
    }
    // Double-clicks the entry of a list whose text ends in `text`, scrolled into view first.
    void open(QListView* list, const char* text) {
        const auto found = find(list, text, Qt::MatchEndsWith);
        ASSERT_EQ(found.size(), 1) << text;
        list->scrollTo(found[0]);
        const QPoint at = list->visualRect(found[0]).center();
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
    void click(QListView* list, const char* text, Qt::KeyboardModifiers mods = {},
               Qt::MouseButton button = Qt::LeftButton) {
        const auto found = find(list, text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text;
        QTest::mouseClick(list->viewport(), button, mods, list->visualRect(found[0]).center());
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
    EXPECT_TRUE(form.filWinBmps.Selected(0)); // a right press drags
    EXPECT_TRUE(form.filWinBmps.Selected(2));

    for (const char* type : {"text/uri-list", MainWindowView::kDragMimeType}) {
        QMimeData mime;
        mime.setData(QString::fromLatin1(type), QByteArray());
        QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QApplication::sendEvent(get<QListView>("lstRotateBmps")->viewport(), &enter);
        QApplication::sendEvent(get<QListView>("lstRotateBmps")->viewport(), &drop);
        const bool ours = type == MainWindowView::kDragMimeType; // only ours enters and drops
        EXPECT_EQ(enter.isAccepted() + drop.isAccepted(), ours ? 2 : 0) << type;
        EXPECT_EQ(form.lstRotateBmps.ListCount(), ours ? 2 : 0) << type;
    }
}

TEST_F(View, EachControlStandsWhereTheLayoutPutsItOutsideFrameLinesWithItsSpokenName) {
    ASSERT_TRUE(view->grab().save(QStringLiteral(VELUM_SCREENSHOT)));
    QWidget* client = view->centralWidget();
    EXPECT_EQ(client->size(), QSize(view->px(7155), view->px(6225)));
    for (const ControlLayout& c : WindowControls()) {
        auto* w = get<QWidget>(c.name.c_str());
        ASSERT_NE(w, nullptr) << c.name;
        const QRect at(w->mapTo(client, QPoint(0, 0)), w->size()); // imgThumb's follows the picture
        if (c.name == "imgThumb")
            continue;
        EXPECT_EQ(at,
                  QRect(view->px(c.left), view->px(c.top), view->px(c.width), view->px(c.height)))
            << c.name;
    }
    std::map<std::string, std::string> names;
    for (QWidget* w : client->findChildren<QWidget*>()) {
        const std::string name = w->objectName().toStdString();
        if (name.empty() || name.starts_with("qt_"))
            continue;
        // A combo box's name is its text, so a screen reader says its label or the fallback.
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        const auto labels = a->relations(QAccessible::Label);
        names[name] = (a->role() != QAccessible::ComboBox ? a->text(QAccessible::Name)
                       : labels.isEmpty()                 ? a->text(QAccessible::Description)
                                          : labels.front().first->text(QAccessible::Name))
                          .toStdString();
        const QRect r(w->mapTo(client, QPoint()), w->size());
        for (const CaptionFrame* frame : client->findChildren<CaptionFrame*>()) {
            const QRect outer = frame->border().translated(frame->pos());
            const int k = CaptionFrame::kLine;
            if (w == frame || !w->isVisible() || qobject_cast<QMenu*>(w))
                continue;
            EXPECT_FALSE(frame->caption().translated(frame->pos()).intersects(r))
                << name << " covers the caption of " << frame->title().toStdString();
            EXPECT_TRUE(outer.adjusted(k, k, -k, -k).contains(r) || !outer.intersects(r))
                << name << " crosses " << frame->title().toStdString();
        }
    }
    std::string said;
    for (const auto& [control, name] : names)
        said += control + "=" + name + "|";
    EXPECT_EQ(said, "Dir1=Folders|Drive1=Drive|Frame1=Wallpaper Style|Frame2=Cycle Frequency|"
                    "Label2=Previous Bitmaps:|Label3=H|Label4=M|Label5=Bitmaps to cycle:|"
                    "Label6=Collection:|Label7=D|chkAutoView=Preview|cmbCollection=Collection:|"
                    "cmbLastBmps=Previous Bitmaps:|cmdAdd=Add|cmdAddAll=Add All|cmdApply=Apply|"
                    "cmdRemove=Remove|cmdRemoveAll=Remove All|cmdUpdate=Next|filWinBmps=Bitmap "
                    "files|frmCycle=Cycle Order|imgThumb=Preview picture|lstRotateBmps=Bitmaps to "
                    "cycle|optAscending=Ascending|optCenter=Center|optDescending=Descending|"
                    "optNone=None|optRandom=Random|optTile=Tile|txtDays=Days|txtHours=Hours|"
                    "txtMinutes=Minutes|");
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
    EXPECT_EQ(form.cmbCollection.ListIndex(), selector->findText("Nature"));
}

TEST_F(View, AnAccessKeyMovesTheFocusSoATypedNameIsTakenBeforeTheButtonActs) {
    click(get<QListView>("filWinBmps"), "a.bmp");
    auto* selector = get<QComboBox>("cmbCollection");
    selector->setFocus(Qt::MouseFocusReason);
    selector->lineEdit()->selectAll();
    QTest::keyClicks(selector, "Nature");
    key(Qt::Key_D, Qt::AltModifier); // A&dd
    EXPECT_EQ(focused(), "cmdAdd");
    EXPECT_EQ(form.LoadedCollectionName, "Nature"); // taken before the button acts
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.lstRotateBmps.ListCount() == 1; }, 2000));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(StoredBitmapsOf(store.root(), "Nature"), std::vector{(pics / "a.bmp").string()});
}

TEST_F(View, DelRemovesFromTheRotationListEditsTextAndElsewhereDeletesTheCollection) {
    name("Two");
    name("Three");
    int left = form.cmbCollection.ListCount();
    QTest::mouseClick(get<QPushButton>("cmdAddAll"), Qt::LeftButton);
    click(get<QListView>("lstRotateBmps"), (pics / "b.bmp").string().c_str());
    key(Qt::Key_Delete);
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 4);
    QLineEdit* edit = get<QComboBox>("cmbCollection")->lineEdit();
    edit->setFocus(Qt::MouseFocusReason);
    edit->setCursorPosition(1);
    key(Qt::Key_Delete);
    EXPECT_EQ(edit->text(), "Tree");
    EXPECT_EQ(form.cmbCollection.ListCount(), left);
    QTest::keyClick(edit, Qt::Key_H); // back to the name shown, which leaving takes
    for (const char* control : {"filWinBmps", "Dir1"}) {
        get<QWidget>(control)->setFocus(Qt::MouseFocusReason);
        key(Qt::Key_Delete);
        EXPECT_EQ(form.cmbCollection.ListCount(), --left) << control;
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
    open(folders, "sub");
    open(get<QListView>("filWinBmps"), "d.bmp"); // applied: now in the history
    open(folders, "pics");
    choose(get<QComboBox>("cmbLastBmps"), (pics / "sub" / "d.bmp").string().c_str());
    EXPECT_EQ(form.filWinBmps.Path(), (pics / "sub").string());
    EXPECT_EQ(folders->currentIndex().data().toString().trimmed(), "sub");
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

TEST_F(View, TheRotationListOpensScrolledToTheStoredPosition) {
    view.reset();
    std::vector<std::string> records;
    for (int i = 0; i < 80; ++i)
        records.push_back("\"Bmp\",\"Sky\",\"/r/" + std::to_string(i) + ".bmp\"");
    records.push_back(R"("CurrentIndex","Sky"," 70")");
    records.push_back(R"("Index","Sky"," 71")");
    WriteWholeFile(JoinPath(store.root(), "velum.cfg"), CrlfJoin(records));
    reg.Put(kOptionsKey, "Collections", reg::kSz, "Sky"s + '\0');
    reg.Put(kOptionsKey, "Current", reg::kSz, "Sky"s + '\0');
    frmWallPaper loaded{reg, *this, {store.root(), pics.string()}};
    loaded.UseDesktop(desktop);
    MainWindowView window(loaded);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);
    auto* list = window.findChild<QListView*>("lstRotateBmps");
    const QModelIndex stored = list->model()->index(70, 0);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(stored)));
}
