#include "mainwindow/qt/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace velum {

namespace {

// Runs a box modally, remembering it so the end of the session can answer it.
int Run(QMessageBox& box, QPointer<QMessageBox>& open) {
    const QPointer<QMessageBox> outer = open;
    open = &box;
    const int answer = box.exec();
    open = outer;
    return answer;
}

} // namespace

bool QtDialogs::AskYesNo(const std::string& prompt, const std::string& caption) {
    if (answerNoWithoutAsking)
        return false;
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(prompt), QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Yes);
    const bool yes = Run(box, open_) == QMessageBox::Yes;
    if (answerNoWithoutAsking)
        AnswerOpenBox(); // a box still open below this one
    return yes && !answerNoWithoutAsking;
}

void QtDialogs::ShowMessage(const std::string& text, const std::string& caption) {
    if (answerNoWithoutAsking) {
        std::fprintf(stderr, "velumdesk: %s\n", text.c_str());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    Run(box, open_);
    if (answerNoWithoutAsking)
        AnswerOpenBox();
}

void QtDialogs::AnswerOpenBox() {
    if (open_)
        open_->done(open_->standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No
                                                                       : QMessageBox::Ok);
}

} // namespace velum
