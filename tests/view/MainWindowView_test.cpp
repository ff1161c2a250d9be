#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <filesystem>
#include <sys/wait.h>

#include "common/RegistrySettings.h"
#include "mainwindow/qt/MainWindowView.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
namespace fs = std::filesystem;

namespace {

// Gives one answer to every question and runs a hook while the question is open.
struct HookDialogs final : Dialogs {
    bool answer = false;
    std::function<void()> whileAsking = [] {};
    bool AskYesNo(const std::string&, const std::string&) override {
        whileAsking();
        return answer;
    }
    void ShowMessage(const std::string&, const std::string&) override {}
};

struct View : ::testing::Test {
    TempStore store;
    MemoryRegistry reg;
    FakeDesktop desktop{reg};
    FakeClock clock;
    HookDialogs dialogs;
    fs::path start = fs::current_path();
    fs::path pics = fs::path(store.root()) / "pics";
    frmWallPaper form{reg, dialogs};
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
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    void TearDown() override {
        view.reset();
        fs::current_path(start);
    }
    template <class W> W* get(const char* name) { return view->findChild<W*>(name); }
    QPoint row(QListWidget* list, int i) { return list->visualItemRect(list->item(i)).center(); }
    void click(QListWidget* list, int i, Qt::KeyboardModifiers keys = {}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, row(list, i));
    }
    void doubleClick(QListWidget* list, int i) {
        click(list, i);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row(list, i));
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, row(list, i));
    }
    void menu(Qt::Key menuKey, Qt::Key itemKey) {
        QTest::keyClick(view.get(), menuKey, Qt::AltModifier);
        QTest::keyClick(QApplication::activePopupWidget(), itemKey);
    }
    std::string config() { return ReadWholeFile(store.file("velum.cfg")); }
};

} // namespace

TEST_F(View, StartsWithEveryControlInPlaceAndWritesAScreenshot) {
    ASSERT_TRUE(view->grab().save(QStringLiteral(VELUM_SCREENSHOT)));
    EXPECT_EQ(view->minimumSize(), view->maximumSize()); // not resizable
    EXPECT_EQ(view->centralWidget()->size(), QSize(view->px(7155), view->px(6225)));
    EXPECT_EQ(get<QLineEdit>("txtMinutes")->geometry(), // inside its frame
              QRect(view->px(1200), view->px(600), view->px(375), view->px(285)));
    EXPECT_EQ(get<QLineEdit>("txtMinutes")->parentWidget(), get<QGroupBox>("Frame2"));

    auto* files = get<QListWidget>("filWinBmps");
    ASSERT_EQ(files->item(2)->text(), "c.bmp");
    auto* dirs = get<QListWidget>("Dir1");
    EXPECT_EQ(dirs->currentItem()->text().trimmed(), "pics");
    ASSERT_EQ(dirs->item(dirs->count() - 1)->text().trimmed(), "sub");
    doubleClick(dirs, dirs->count() - 1);
    EXPECT_EQ(form.Dir1.Path(), (pics / "sub").string());
    EXPECT_EQ(files->count(), 0);
}

TEST_F(View, ClicksReachTheFormDoubleClicksApplyAndThePreviewSwitchesSize) {
    auto* files = get<QListWidget>("filWinBmps");
    auto* rotate = get<QListWidget>("lstRotateBmps");
    auto* thumb = get<QLabel>("imgThumb");
    const QSize box(view->px(2055), view->px(1365));
    QTest::mouseClick(get<QCheckBox>("chkAutoView"), Qt::LeftButton);
    click(files, 0);
    EXPECT_EQ(thumb->pixmap().size(), box);
    QTest::mouseDClick(thumb, Qt::LeftButton); // the picture at its own size
    EXPECT_EQ(thumb->geometry(), QRect(view->px(5040), view->px(1800), 40, 30));
    QTest::mouseDClick(thumb, Qt::LeftButton);
    EXPECT_EQ(thumb->size(), box);
    click(files, 2, Qt::ControlModifier);
    EXPECT_TRUE(form.filWinBmps.Selected(0) && form.filWinBmps.Selected(2));
    QTest::mouseClick(get<QPushButton>("cmdAddAll"), Qt::LeftButton);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr); // the hourglass came and went
    ASSERT_EQ(rotate->count(), 3);

    click(rotate, 1);
    EXPECT_TRUE(files->selectedItems().isEmpty()); // cleared by the form, drawn by the view
    click(files, 0);
    click(rotate, 1); // the selection stays as it was, yet it is a click
    EXPECT_EQ(form.LastClickedList, "Rotate");

    doubleClick(files, 2); // each apply calls the desktop twice
    EXPECT_EQ(desktop.calls.at(1).text, (pics / "c.bmp").string());
    doubleClick(rotate, 0);
    EXPECT_EQ(desktop.calls.at(3).text, (pics / "a.bmp").string());
    EXPECT_EQ(get<QComboBox>("cmbLastBmps")->currentText(), rotate->item(0)->text());
}

// The offscreen platform ends a QDrag at once, so the drop is sent as the drag would send it.
TEST_F(View, ARightDragFromTheFileListAddsItsSelectionToTheRotationList) {
    auto* files = get<QListWidget>("filWinBmps");
    auto* rotate = get<QListWidget>("lstRotateBmps");
    click(files, 0);
    click(files, 2, Qt::ControlModifier);
    QTest::mouseClick(files->viewport(), Qt::RightButton, {}, row(files, 1));
    EXPECT_EQ(files->selectedItems().size(), 2); // a right press starts a drag, not a selection

    auto accepted = [&](const char* type) { // how many of the entry and the drop it took
        QMimeData mime;
        mime.setData(QString::fromLatin1(type), QByteArray());
        QDragEnterEvent enter(QPoint(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &mime, Qt::RightButton, {});
        QApplication::sendEvent(rotate->viewport(), &enter);
        QApplication::sendEvent(rotate->viewport(), &drop);
        return enter.isAccepted() + drop.isAccepted();
    };
    EXPECT_EQ(accepted("text/uri-list"), 0);
    EXPECT_EQ(form.lstRotateBmps.ListCount(), 0);
    EXPECT_EQ(accepted(MainWindowView::kDragMimeType), 2);
    ASSERT_EQ(rotate->count(), 2);
    EXPECT_EQ(rotate->item(1)->text().toStdString(), (pics / "c.bmp").string());
}

TEST_F(View, MenusAnswerTheirAccessKeysAndDelDeletesTextOrTheCollection) {
    menu(Qt::Key_E, Qt::Key_L); // Edit > Add All to list
    EXPECT_EQ(get<QListWidget>("lstRotateBmps")->count(), 3);
    menu(Qt::Key_F, Qt::Key_N); // File > Apply Next Bitmap
    EXPECT_EQ(desktop.calls.at(1).text, (pics / "a.bmp").string());
    QTest::keyClick(view.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_NE(config().find(R"("Max","Default",3)"), std::string::npos);

    auto* days = get<QLineEdit>("txtDays");
    days->setFocus();
    QTest::keyClicks(days, "12");
    QTest::keyClick(days, Qt::Key_Home);
    QTest::keyClick(days, Qt::Key_Delete);
    EXPECT_EQ(form.txtDays.Text(), "2");
    EXPECT_EQ(form.cmbCollection.ListCount(), 1);
    get<QWidget>("lstRotateBmps")->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_EQ(form.DeletedCollections.count("Default"), 1u);
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
    EXPECT_EQ(selector->count(), 2);
    EXPECT_EQ(form.LoadedCollectionName, "Two");

    // Back to Default while Two has unsaved changes: a tick during the question waits.
    bool tickedWhileAsking = true; // stays true unless the question is asked
    dialogs.answer = true;
    dialogs.whileAsking = [&] { view->tick(), tickedWhileAsking = !form.TickTime.empty(); };
    selector->setFocus();
    QTest::keyClick(selector, Qt::Key_Down);
    EXPECT_FALSE(tickedWhileAsking);
    EXPECT_FALSE(form.TickTime.empty());
    EXPECT_NE(config().find(R"("Max","Two",0)"), std::string::npos);
    EXPECT_EQ(selector->currentText(), "Default");
}

TEST_F(View, ClosingRunsTheExitSequenceOnceAndANoLeavesTheCollectionUnsaved) {
    int asked = 0;
    dialogs.whileAsking = [&] { ++asked; };
    QTest::mouseClick(get<QPushButton>("cmdAddAll"), Qt::LeftButton);
    EXPECT_TRUE(view->close());
    view->endSession();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(config().find(R"("Max","Default")"), std::string::npos);
    EXPECT_NE(reg.Raw(kOptionsKey, "Current").find("Default"), std::string::npos);
}

TEST(VelumdeskProgram, WithoutADisplayItSaysSoAndEnds) {
    TempStore store;
    const std::string err = store.root() + "/err";
    const int status = std::system(("env -i " VELUM_BIN_DIR "/velumdesk 2>" + err).c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(ReadWholeFile(err), "velumdesk: no display to show the window on\n");
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
