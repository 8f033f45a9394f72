#include "YToolButton.h"

#include "UiLibSetup.h"

#include <QPainter>

namespace YUILIB {

YToolButton::YToolButton(QWidget *parent) : QPushButton(parent)
{
    initialise();
}

void YToolButton::installPainter(Painter fn)
{
    painter = std::move(fn);
    update();
}

void YToolButton::setUnderlay(Painter fn)
{
    underlay = std::move(fn);
    update();
}

int YToolButton::paintState() const
{
    int state = 0;
    if (!isEnabled())
        state |= Disabled;
    if (isChecked())
        state |= Checked;
    if (hovered)
        state |= Hovered;
    if (isDown())
        state |= Down;
    if (hasFocus())
        state |= Focus;
    return state;
}

void YToolButton::enterEvent(QEvent *event)
{
    hovered = true;
    update();
    QPushButton::enterEvent(event);
}

void YToolButton::leaveEvent(QEvent *event)
{
    hovered = false;
    update();
    QPushButton::leaveEvent(event);
}

void YToolButton::paintEvent(QPaintEvent *event)
{
    if (!painter) {
        QPushButton::paintEvent(event);
        return;
    }
    const int state = paintState();
    QPainter p(this);
    if (underlay)
        underlay(p, state);
    painter(p, state);
}

} // namespace YUILIB
