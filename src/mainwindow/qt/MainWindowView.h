#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "mainwindow/FormDriver.h"
#include "mainwindow/frmWallPaper.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace velum {

// The Qt window of frmWallPaper. It draws the form's state and hands each action of the person
// to the form's handler; after a handler returns every control is drawn again from the form.
class MainWindowView : public QMainWindow {
    Q_OBJECT

  public:
    // The drag from the file list to the rotation list carries this type and nothing else.
    static constexpr char kDragMimeType[] = "application/x-velum-bitmap-selection";

    // Runs the form's Form_Load, draws the window and centres it on the screen.
    explicit MainWindowView(frmWallPaper& form, QWidget* parent = nullptr);
    ~MainWindowView() override;

    // Help > About.
    std::function<void()> onAbout;

    // Draws every control from the form.
    void syncFromForm();
    // The end of the session: the exit sequence (once) as soon as no handler runs, then quit.
    void endSession();
    // Twips to pixels on this screen.
    int px(int twips) const;

  public slots:
    // Timer1: a tick that arrives while a handler runs waits until the handler returns.
    void tick();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void centreOnScreen();
    void buildMenus();
    void connectControls();
    // Every call into the form goes through here.
    void run(const std::function<void()>& handler);
    void pushSelection(QListWidget* widget, ListBox& list);
    void startFileDrag();
    void syncDirectories();
    void syncTabStops(QButtonGroup* group);
    void syncPreview();
    bool loadPicture(const std::string& path);

    frmWallPaper& form_;
    double scale_ = 1.0;
    QTimer timer_;
    FormDriver driver_;
    bool waitCursor_ = false;
    bool centred_ = false;
    bool selectionPushed_ = false;
    std::string cachedPath_;
    QImage cachedImage_;
    std::function<bool(const std::string&)> formLoadPicture_;

    QComboBox* cmbCollection_ = nullptr;
    QComboBox* cmbLastBmps_ = nullptr;
    QComboBox* Drive1_ = nullptr;
    QListWidget* Dir1_ = nullptr;
    QListWidget* filWinBmps_ = nullptr;
    QListWidget* lstRotateBmps_ = nullptr;
    QLineEdit* txtDays_ = nullptr;
    QLineEdit* txtHours_ = nullptr;
    QLineEdit* txtMinutes_ = nullptr;
    QRadioButton* optTile_ = nullptr;
    QRadioButton* optCenter_ = nullptr;
    QRadioButton* optNone_ = nullptr;
    QRadioButton* optAscending_ = nullptr;
    QRadioButton* optRandom_ = nullptr;
    QRadioButton* optDescending_ = nullptr;
    QButtonGroup* styleButtons_ = nullptr;
    QButtonGroup* orderButtons_ = nullptr;
    QCheckBox* chkAutoView_ = nullptr;
    QLabel* imgThumb_ = nullptr;
    QPushButton* cmdAdd_ = nullptr;
    QPushButton* cmdAddAll_ = nullptr;
    QPushButton* cmdRemove_ = nullptr;
    QPushButton* cmdRemoveAll_ = nullptr;
    QPushButton* cmdUpdate_ = nullptr;
    QPushButton* cmdApply_ = nullptr;
};

} // namespace velum
