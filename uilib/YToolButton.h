#pragma once

#include "YUiLibExport.h"

#include <QColor>
#include <QPushButton>

#include <functional>

class QPainter;

namespace YUILIB {

// A push button whose look is a replaceable painting callable. The int
// handed to the callables is the button's StateBit set.
class YUILIB_EXPORT YToolButton : public QPushButton
{
    Q_OBJECT

public:
    using Painter = std::function<void(QPainter &, int)>;
    enum StateBit { Disabled = 1, Checked = 2, Hovered = 4, Down = 8, Focus = 16 };

    explicit YToolButton(QWidget *parent = nullptr);

    void installPainter(Painter fn);
    void setUnderlay(Painter fn);
    bool hasPainter() const { return bool(painter); }
    bool isHovered() const { return hovered; }
    int paintState() const;

signals:
    void colorChanged(const QColor &color);

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool hovered = false;
    Painter underlay;
    Painter painter;
};

} // namespace YUILIB
