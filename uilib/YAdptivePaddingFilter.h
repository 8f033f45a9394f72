#pragma once

#include <QObject>

class QWidget;

// Makes a child cover its parent completely whenever the parent is resized.
class YAdptivePaddingFilter : public QObject
{
    Q_OBJECT

public:
    explicit YAdptivePaddingFilter(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *widget;
};
