#pragma once

#include <QObject>
#include <QVariant>

#include <functional>

// Reports every dynamic property change of the watched object.
class YPropertyChangedEventFilter : public QObject
{
    Q_OBJECT

public:
    YPropertyChangedEventFilter(QObject *watched, std::function<void(const QString &, const QVariant &)> fn);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void(const QString &, const QVariant &)> fn;
};
