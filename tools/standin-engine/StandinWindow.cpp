#include "StandinWindow.h"

#include "StandinView.h"

#include <QMouseEvent>
#include <QPainter>

StandinWindow::StandinWindow(StandinView* view)
    : view(view)
{
}

void StandinWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(0, 0), size()), Qt::white);
    painter.drawImage(0, 0, view->surface());
}

void StandinWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        view->clickAt(event->pos());
}
