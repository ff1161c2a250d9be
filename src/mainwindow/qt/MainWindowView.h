#pragma once

#include <QImage>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "mainwindow/FormDriver.h"
#include "mainwindow/WindowLayout.h"
#include "mainwindow/frmWallPaper.h"

class QAbstractItemView;
class QButtonGroup;
class QLabel;

namespace velum {

// The Qt window of frmWallPaper, built from the window's table. It draws the form's state and
// hands each action of the person to the form through the FormDriver; after a handler returns
// every control is drawn again from the form.
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
    FormDriver& driver() { return driver_; }

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
    // The part of a control an event filter watches.
    enum class Part { Self, Viewport, Edit };
    struct Shown {
        const ControlLayout* row;
        QWidget* widget;
    };

    void buildControls();
    QWidget* createControl(const ControlLayout& c, QWidget* parent);
    void connectControl(const ControlLayout& c, QWidget* w);
    void watch(QObject* object, const ControlLayout& c, Part part);
    void buildMenus();
    void centreOnScreen();
    void pushSelection(const std::string& name, QAbstractItemView* view);
    void startDrag(QWidget* source);
    void syncControl(const ControlLayout& c, QWidget* w);
    void syncPreview(QLabel* w, const ControlLayout& c, const ImageBox& box);
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
    // What the cached picture was decoded for: the preview's box, or the window's area.
    QSize cachedLimit_;
    bool cachedFit_ = false;
    std::function<bool(const std::string&)> formLoadPicture_;

    std::vector<Shown> controls_; // in the table's order
    std::unordered_map<std::string, QWidget*> byName_;
    std::unordered_map<QObject*, std::pair<const ControlLayout*, Part>> watched_;
    std::vector<QButtonGroup*> groups_;
    std::vector<FolderRow> folderRows_;
};

} // namespace velum
