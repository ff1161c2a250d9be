#pragma once

#include <QGroupBox>
#include <QRect>

namespace velum {

// A frame whose caption stands on its top border, which runs through the caption's middle, so
// controls placed close below the top of the frame stay clear of the border.
class CaptionFrame final : public QGroupBox {
    Q_OBJECT

  public:
    using QGroupBox::QGroupBox;

    // Width of the etched border line in pixels.
    static constexpr int kLine = 2;

    // The outer rectangle of the border, in the frame's own coordinates.
    QRect border() const;
    // Where the caption is drawn, in the frame's own coordinates.
    QRect caption() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velum
