#include "YAdaptiveFilter.h"

#include <QEvent>
#include <QWidget>

YAdaptiveFilter::YAdaptiveFilter(QWidget *widget) : QObject(widget), widget(widget)
{
    if (QWidget *parent = widget->parentWidget())
        parent->installEventFilter(this);
}

void YAdaptiveFilter::setAdapt(std::function<void(QWidget *, QSize)> fn)
{
    adapt = std::move(fn);
}

bool YAdaptiveFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && adapt && watched == widget->parentWidget())
        adapt(widget, widget->parentWidget()->size());
    return QObject::eventFilter(watched, event);
}
