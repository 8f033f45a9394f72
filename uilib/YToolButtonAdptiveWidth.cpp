#include "YToolButtonAdptiveWidth.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFontMetrics>

YToolButtonAdptiveWidth::YToolButtonAdptiveWidth(QAbstractButton *button, int padding)
    : QObject(button), padding(padding)
{
    button->installEventFilter(this);
}

bool YToolButtonAdptiveWidth::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (auto *button = qobject_cast<QAbstractButton *>(watched)) {
            const int width = button->fontMetrics().boundingRect(button->text()).width() + padding;
            button->setFixedWidth(width);
        }
    }
    return QObject::eventFilter(watched, event);
}
