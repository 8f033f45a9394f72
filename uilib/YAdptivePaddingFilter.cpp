#include "YAdptivePaddingFilter.h"

#include <QEvent>
#include <QWidget>

YAdptivePaddingFilter::YAdptivePaddingFilter(QWidget *widget) : QObject(widget), widget(widget)
{
    if (QWidget *parent = widget->parentWidget())
        parent->installEventFilter(this);
}

bool YAdptivePaddingFilter::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *parent = widget->parentWidget();
    if (event->type() == QEvent::Resize && parent && watched == parent)
        widget->setGeometry(0, 0, parent->width(), parent->height());
    return QObject::eventFilter(watched, event);
}
