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
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "sub/d.bmp"})
            WriteBmp24((pics / name).string(), 40, 30,
                       std::vector<std::uint32_t>(1200, name[0] == 's' ? 0xc03020 : 0x3366aa));
        WriteWholeFile((pics / "cut.bmp").string(),
                       ReadWholeFile((pics / "a.bmp").string()).substr(0, 54 + 700));
        Open();
    }
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
    std::string focused() { return QApplication::focusWidget()->objectName().toStdString(); }
};

} // namespace

// Where the table puts it, clear of the frames' captions and lines, with a name a screen reader
// can say (a combo box's name is its text: its label's, or a description, is said instead).
TEST_F(View, EachControlStandsWhereTheLayoutPutsItWithItsSpokenNameAndTabGoesInReadingOrder) {
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
    const auto checked = [&](const char* option) {
        return get<QRadioButton>(option)->group()->checkedButton()->objectName().toStdString();
    };
    std::vector<std::string> visited;
    for (int i = 0; i < 19; ++i, key(Qt::Key_Tab))
        visited.push_back(focused());
    EXPECT_EQ(visited, (std::vector<std::string>{
                           "cmbCollection", "filWinBmps", "Drive1", "Dir1", "cmbLastBmps", "cmdAdd",
                           "cmdRemove", "cmdUpdate", "cmdAddAll", "cmdRemoveAll", "cmdApply",
                           "lstRotateBmps", checked("optTile"), "chkAutoView", "txtDays",
                           "txtHours", "txtMinutes", checked("optAscending"), "cmbCollection"}));
    const std::string err = store.file("err");
    EXPECT_EQ(WEXITSTATUS(std::system(("env -i " VELUM_BIN_DIR "/velumdesk 2>" + err).c_str())), 1);
    EXPECT_EQ(ReadWholeFile(err), "velumdesk: no display to show the window on\n");
}

// Del edits a text, elsewhere deletes the collection and in the rotation list removes from it; an
// access key moves the focus, so the name typed is taken before the button acts.
TEST_F(View, KeysActWhereTheFocusIsAndTypingInsideANameKeepsTheCaretAndTheSelection) {
    auto* selector = get<QComboBox>("cmbCollection");
    QLineEdit* edit = selector->lineEdit();
    const int collections = form->cmbCollection.ListCount();
    selector->setFocus(Qt::MouseFocusReason);
    edit->setCursorPosition(2);
    QTest::keyClicks(selector, "XY"); // the caret stays after the Y, so two steps left select XY
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    view->tick(); // a selection made leftwards keeps its caret at its left end
    EXPECT_EQ(edit->selectedText(), "XY");
    EXPECT_EQ(edit->cursorPosition(), 2);
    key(Qt::Key_Delete); // back to a name of the list, which becomes its entry
    EXPECT_EQ(edit->cursorPosition(), 2);
    EXPECT_EQ(form->cmbCollection.ListCount(), collections);
    EXPECT_EQ(form->cmbCollection.ListIndex(), selector->findText("Default"));
    get<QWidget>("filWinBmps")->setFocus(Qt::MouseFocusReason);
    key(Qt::Key_Delete);
    EXPECT_EQ(form->cmbCollection.ListCount(), collections - 1);
    selector->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClicks(selector, "Nature");
    key(Qt::Key_L, Qt::AltModifier); // Add A&ll
    EXPECT_EQ(focused(), "cmdAddAll");
    EXPECT_EQ(form->LoadedCollectionName, "Nature");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->lstRotateBmps.ListCount() == 4; }, 2000));
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(StoredBitmapsOf(store.root(), "Nature").size(), 4u);
    click(get<QListView>("lstRotateBmps"), "/c.bmp");
    key(Qt::Key_Delete);
    EXPECT_EQ(form->lstRotateBmps.ListCount(), 3);
}

// With the preview on, a picture that cannot be decoded leaves the last one up. A right press drags
// the selection, and only our drop is taken (the offscreen platform ends a QDrag at once, so the
// drop is sent as the drag would send it). A history entry in a subfolder shows that subfolder.
TEST_F(View, ThePreviewKeepsTheLastPictureARightPressDragsAndAHistoryEntryShowsItsFolder) {
    QTest::mouseClick(get<QCheckBox>("chkAutoView"), Qt::LeftButton);
    const auto shows = [&](QRgb colour) { // on every pixel of the box
        const QImage image = get<QLabel>("imgThumb")->grab().toImage();
        QImage all = image;
        all.fill(QColor::fromRgb(colour));
        return image == all;
    };
    auto* files = get<QListView>("filWinBmps");
    auto* folders = get<QListView>("Dir1");
    click(files, "a.bmp");
    click(files, "cut.bmp");
    EXPECT_TRUE(shows(0x3366aa));
    click(files, "a.bmp");
    click(files, "c.bmp", Qt::ControlModifier);
    click(files, "b.bmp", {}, Qt::RightButton); // drags the two, selecting nothing
    for (const char* type : {"text/uri-list", MainWindowView::kDragMimeType}) {
        QMimeData mime;
        mime.setData(QString::fromLatin1(type), QByteArray());
        QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QApplication::sendEvent(get<QListView>("lstRotateBmps")->viewport(), &enter);
        QApplication::sendEvent(get<QListView>("lstRotateBmps")->viewport(), &drop);
        const bool ours = type == MainWindowView::kDragMimeType;
        EXPECT_EQ(enter.isAccepted() + drop.isAccepted(), ours ? 2 : 0) << type;
        EXPECT_EQ(form->lstRotateBmps.ListCount(), ours ? 2 : 0) << type;
    }
    click(folders, "sub", {}, Qt::LeftButton, true);
    click(files, "d.bmp", {}, Qt::LeftButton, true); // into the history
    EXPECT_TRUE(shows(0xc03020));
    click(folders, "pics", {}, Qt::LeftButton, true);
    auto* history = get<QComboBox>("cmbLastBmps");
    history->showPopup();
    QAbstractItemView* popup = history->view();
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {},
                      popup->visualRect(popup->model()->index(0, 0)).center());
    EXPECT_EQ(folders->currentIndex().data().toString().trimmed(), "sub");
}

TEST_F(View, TheRotationListOpensScrolledToTheStoredPosition) {
    std::string cfg;
    for (int i = 0; i < 80; ++i)
        cfg += "\"Bmp\",\"Sky\",\"/r/" + std::to_string(i) + ".bmp\"\r\n";
    WriteWholeFile(store.file("velum.cfg"), cfg + "\"CurrentIndex\",\"Sky\",\" 70\"\r\n");
    reg.Put(kOptionsKey, "Current", reg::kSz, std::string("Sky", 4));
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
