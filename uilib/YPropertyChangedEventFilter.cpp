#include "YPropertyChangedEventFilter.h"

#include <QDynamicPropertyChangeEvent>

YPropertyChangedEventFilter::YPropertyChangedEventFilter(QObject *watched,
                                                         std::function<void(const QString &, const QVariant &)> fn)
    : QObject(watched), fn(std::move(fn))
{
    watched->installEventFilter(this);
}

bool YPropertyChangedEventFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::DynamicPropertyChange && fn) {
        const QByteArray name = static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName();
        fn(QString::fromUtf8(name), watched->property(name.constData()));
    }
    return QObject::eventFilter(watched, event);
}
