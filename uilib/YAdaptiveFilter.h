#pragma once

#include <QObject>
#include <QSize>

#include <functional>

class QWidget;

// Calls `adapt` with the widget and its parent's size whenever the parent
// is resized.
class YAdaptiveFilter : public QObject
{
    Q_OBJECT

public:
    explicit YAdaptiveFilter(QWidget *widget);

    void setAdapt(std::function<void(QWidget *, QSize)> fn);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

    QWidget *widget;
    std::function<void(QWidget *, QSize)> adapt;
};
