#include "about/qt/AboutDialog.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "about/SystemInfo.h"
#include "common/Dialogs.h"
#include "common/Launch.h"

#ifndef VELUM_VERSION
#error "VELUM_VERSION must come from the project version"
#endif

namespace velum {

namespace {

constexpr int kPictureSize = 48;

// An etched line: grey over white, as the classic separators of dialog boxes look.
class EtchedLine final : public QWidget {
  public:
    explicit EtchedLine(QWidget* parent) : QWidget(parent) {
        setFixedHeight(2);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(0, 0, width(), 1, QColor(128, 128, 128));
        p.fillRect(0, 1, width(), 1, QColor(255, 255, 255));
    }
};

QLabel* Picture(QWidget* parent, const char* name, const QString& resource) {
    QPixmap pixmap(kPictureSize, kPictureSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(resource).render(&painter);
    painter.end();
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(pixmap);
    label->setFixedSize(kPictureSize, kPictureSize);
    return label;
}

QLabel* Text(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

QDialog* CreateAboutDialog(QWidget* parent, Registry& reg, Dialogs& dialogs) {
    auto* dlg = new QDialog(parent);
    dlg->setObjectName("frmAbout");
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowTitle(QStringLiteral("About ") + kProgramTitle);

    auto* title = Text(dlg, "lblTitle", kProgramTitle);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    title->setFont(big);
    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(Text(dlg, "lblVersion", QStringLiteral("Version " VELUM_VERSION)));
    text->addWidget(Text(dlg, "lblDescription",
                         "Keeps collections of wallpapers and changes the desktop background "
                         "on a schedule you choose."));
    auto* pictures = new QVBoxLayout;
    pictures->addWidget(Picture(dlg, "picIcon", ":/about/velum.svg"));
    pictures->addWidget(Picture(dlg, "Picture1", ":/about/monitor.svg"));
    pictures->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(pictures);
    top->addLayout(text, 1);

    auto* ok = new QPushButton("OK", dlg);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    auto* sysInfo = new QPushButton("&System Info...", dlg);
    sysInfo->setObjectName("cmdSysInfo");
    sysInfo->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Text(dlg, "lblDisclaimer",
                           "Warning: this program is provided as it is, without warranty of any "
                           "kind. You use it at your own risk."),
                      1);
    bottom->addLayout(buttons);

    auto* line = new EtchedLine(dlg);
    line->setObjectName("Line1");
    auto* all = new QVBoxLayout(dlg);
    all->addLayout(top);
    all->addWidget(line);
    all->addLayout(bottom);

    // Esc already rejects a dialog; OK does the same so both close it the one way.
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::reject);
    QObject::connect(sysInfo, &QPushButton::clicked, dlg,
                     [&reg, &dialogs] { StartSysInfo(reg, dialogs, StartProgram); });
    return dlg;
}

} // namespace

void ShowAboutDialog(QWidget* parent, Registry& reg, Dialogs& dialogs) {
    static QPointer<QDialog> open;
    if (!open) {
        open = CreateAboutDialog(parent, reg, dialogs);
        open->show();
    }
    open->raise();
    open->activateWindow();
}

} // namespace velum
