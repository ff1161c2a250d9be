#include "mainwindow/qt/CaptionFrame.h"

#include <QPainter>
#include <algorithm>

namespace velum {

namespace {

constexpr int kCaptionIndent = 6; // pixels from the left edge to the caption's gap
constexpr int kCaptionGap = 2;    // clear space either side of the caption

} // namespace

QRect CaptionFrame::border() const {
    const int top = fontMetrics().height() / 2;
    return QRect(0, top, width(), height() - top);
}

QRect CaptionFrame::caption() const {
    if (title().isEmpty())
        return QRect();
    const QFontMetrics metrics = fontMetrics();
    const int textWidth = metrics.horizontalAdvance(title());
    return QRect(kCaptionIndent + kCaptionGap, 0,
                 std::min(textWidth, width() - 2 * (kCaptionIndent + kCaptionGap)),
                 metrics.height());
}

void CaptionFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect outer = border();
    const QPalette& pal = palette();
    // An etched line: a dark line with a light one beside it.
    p.setPen(pal.color(QPalette::Mid));
    p.setBrush(Qt::NoBrush);
    p.drawRect(outer.adjusted(0, 0, -kLine, -kLine));
    p.setPen(pal.color(QPalette::Light));
    p.drawRect(outer.adjusted(1, 1, -1, -1));
    const QRect text = caption();
    if (text.isEmpty())
        return;
    p.fillRect(text.adjusted(-kCaptionGap, 0, kCaptionGap, 0), pal.color(QPalette::Window));
    p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    // Not elided: Qt elides a text given exactly its own width.
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
               title());
}

} // namespace velum
