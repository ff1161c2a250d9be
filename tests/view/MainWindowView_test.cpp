#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <filesystem>
#include <functional>
#include <sys/wait.h>

#include "common/RegistrySettings.h"
#include "mainwindow/qt/MainWindowView.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;

namespace {

// The fixture gives one answer to every question and runs a hook while the question is open.
struct View : ::testing::Test, Dialogs {
    bool answer = false;
    std::function<void()> whileAsking = [] {};
    bool AskYesNo(const std::string&, const std::string&) override { return whileAsking(), answer; }
    void ShowMessage(const std::string&, const std::string&) override {}
    TempStore store;
    MemoryRegistry reg;
    FakeDesktop desktop{reg};
    FakeClock clock;
    fs::path start = fs::current_path(), pics = fs::path(store.root()) / "pics";
    frmWallPaper form{reg, *this};
    std::unique_ptr<MainWindowView> view;

    void SetUp() override {
        fs::create_directories(pics / "sub");
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
            WriteBmp24((pics / name).string(), 40, 30, std::vector<std::uint32_t>(1200, 0x3366aa));
        fs::current_path(pics); // the browser opens on the folder the program starts in
        form.UseDesktop(desktop);
        form.UseClock(clock);
        view = std::make_unique<MainWindowView>(form);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    void TearDown() override { view.reset(), fs::current_path(start); }
    template <class W> W* get(const char* name) { return view->findChild<W*>(name); }
    void click(QListWidget* list, int i, Qt::KeyboardModifiers keys = {}, bool twice = false) {
        const QPoint at = list->visualItemRect(list->item(i)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, at);
        if (twice) // a double-click, as a real one arrives
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    std::string config() { return ReadWholeFile(store.file("velum.cfg")); }
};

} // namespace

// The offscreen platform ends a QDrag at once, so the drop is sent as the drag would send it.
TEST_F(View, ClicksDropsAndDoubleClicksReachTheFormAndThePreviewSwitchesSize) {
    auto* files = get<QListWidget>("filWinBmps");
    auto* rotate = get<QListWidget>("lstRotateBmps");
    auto* thumb = get<QLabel>("imgThumb");
    QTest::mouseClick(get<QCheckBox>("chkAutoView"), Qt::LeftButton);
    click(files, 0);
    QTest::mouseDClick(thumb, Qt::LeftButton); // the picture at its own size
    EXPECT_EQ(thumb->geometry(), QRect(view->px(5040), view->px(1800), 40, 30));
    QTest::mouseDClick(thumb, Qt::LeftButton);
    EXPECT_EQ(thumb->size(), QSize(view->px(2055), view->px(1365)));
    click(files, 2, Qt::ControlModifier);
    QTest::mouseClick(files->viewport(), Qt::RightButton, {},
                      files->visualItemRect(files->item(1)).center());
    EXPECT_TRUE(form.filWinBmps.Selected(0) && form.filWinBmps.Selected(2)); // a right press drags

    for (const char* type : {"text/uri-list", MainWindowView::kDragMimeType}) {
        QMimeData mime;
        mime.setData(QString::fromLatin1(type), QByteArray());
        QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QApplication::sendEvent(rotate->viewport(), &enter);
        QApplication::sendEvent(rotate->viewport(), &drop);
        const bool ours = type == MainWindowView::kDragMimeType; // only ours enters and drops
        EXPECT_EQ(enter.isAccepted() + drop.isAccepted(), ours ? 2 : 0) << type;
        EXPECT_EQ(form.lstRotateBmps.ListCount(), ours ? 2 : 0) << type;
    }

    click(rotate, 1);
    click(files, 0);
    click(rotate, 1); // the same selection again, yet it is a click
    EXPECT_EQ(form.LastClickedList, "Rotate");
    click(files, 1, {}, true); // each apply calls the desktop twice
    EXPECT_EQ(desktop.calls.at(1).text, (pics / "b.bmp").string());
    click(rotate, 1, {}, true);
    EXPECT_EQ(desktop.calls.at(3).text, (pics / "c.bmp").string());
    auto* dirs = get<QListWidget>("Dir1"); // into the empty folder
    click(dirs, dirs->count() - 1, {}, true);
    EXPECT_EQ(files->count(), 0);
}

TEST_F(View, StartsInPlaceAndMenusAccessKeysCtrlSAndDelWork) {
    ASSERT_TRUE(view->grab().save(QStringLiteral(VELUM_SCREENSHOT)));
    EXPECT_EQ(view->centralWidget()->size(), QSize(view->px(7155), view->px(6225)));
    const std::string err = store.root() + "/err"; // without a display: one line, and it ends
    EXPECT_EQ(WEXITSTATUS(std::system(("env -i " VELUM_BIN_DIR "/velumdesk 2>" + err).c_str())), 1);
    EXPECT_EQ(ReadWholeFile(err), "velumdesk: no display to show the window on\n");
    QTest::keyClick(view.get(), Qt::Key_E, Qt::AltModifier); // Edit > Add All to list
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_L);
    QTest::keyClick(view.get(), Qt::Key_F, Qt::AltModifier); // File > Apply Next Bitmap
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_N);
    EXPECT_EQ(desktop.calls.at(1).text, (pics / "a.bmp").string());
    QTest::keyClick(view.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_NE(config().find(R"("Max","Default",3)"), std::string::npos);

    get<QLineEdit>("txtDays")->setFocus();
    QTest::keySequence(view->focusWidget(), QKeySequence("1, 2, Home, Del"));
    EXPECT_EQ(form.txtDays.Text(), "2");
    EXPECT_EQ(form.cmbCollection.ListCount(), 1);
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
    bool tickedWhileAsking = true; // stays true unless the question is asked
    int asked = 0;
    answer = true;
    whileAsking = [&] { view->tick(), ++asked, tickedWhileAsking = !form.TickTime.empty(); };
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    EXPECT_FALSE(tickedWhileAsking);
    EXPECT_FALSE(form.TickTime.empty());
    EXPECT_NE(config().find(R"("Max","Two",0)"), std::string::npos);
    EXPECT_EQ(selector->currentText(), "Default");

    answer = false; // closing asks once about the added bitmap; No leaves it unsaved
    QTest::mouseClick(get<QPushButton>("cmdAddAll"), Qt::LeftButton);
    EXPECT_TRUE(view->close());
    view->endSession();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(config().find(R"("Max","Default")"), std::string::npos);
    EXPECT_NE(reg.Raw(kOptionsKey, "Current").find("Default"), std::string::npos);
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
