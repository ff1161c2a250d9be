#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <filesystem>
#include <sys/wait.h>

#include "mainwindow/qt/MainWindowView.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;

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
        fs::current_path(pics); // the browser opens on the folder the program starts in
        form.UseDesktop(desktop);
        view = std::make_unique<MainWindowView>(form);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    void TearDown() override { view.reset(), fs::current_path(start); }
    template <class W> W* get(const char* name) { return view->findChild<W*>(name); }
    QPoint centre(QListWidget* list, int i) { return list->visualItemRect(list->item(i)).center(); }
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

TEST_F(View, StartsInPlaceCtrlSSavesAndDelFollowsTheFocus) {
    ASSERT_TRUE(view->grab().save(QStringLiteral(VELUM_SCREENSHOT)));
    EXPECT_EQ(view->centralWidget()->size(), QSize(view->px(7155), view->px(6225)));
    EXPECT_EQ(WEXITSTATUS(std::system("env -i " VELUM_BIN_DIR "/velumdesk 2>err")), 1);
    EXPECT_EQ(ReadWholeFile("err"), "velumdesk: no display to show the window on\n");
    QTest::keyClick(view.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(FileExists(store.file("velum.cfg")));

    get<QLineEdit>("txtDays")->setFocus(); // Del edits the text box it is typed in
    QTest::keySequence(view->focusWidget(), QKeySequence("1, 2, Home, Del"));
    EXPECT_EQ(form.txtDays.Text(), "2");
    get<QWidget>("lstRotateBmps")->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_EQ(get<QComboBox>("cmbCollection")->count(), 0);
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

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
