#include "YEventTriggerEventFilter.h"

#include <QEvent>

YEventTriggerEventFilter::YEventTriggerEventFilter(QObject *watched, int eventType, std::function<void(QEvent *)> fn)
    : QObject(watched), eventType(eventType), fn(std::move(fn))
{
    watched->installEventFilter(this);
}

bool YEventTriggerEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == eventType && fn)
        fn(event);
    return QObject::eventFilter(watched, event);
}
