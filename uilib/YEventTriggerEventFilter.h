#pragma once

#include <QObject>

#include <functional>

class QEvent;

// Runs a callable whenever the watched object receives one event type.
class YEventTriggerEventFilter : public QObject
{
    Q_OBJECT

public:
    YEventTriggerEventFilter(QObject *watched, int eventType, std::function<void(QEvent *)> fn);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int eventType;
    std::function<void(QEvent *)> fn;
};
