#pragma once

#include <QObject>

class QAbstractButton;

// Fixes a button's width to its caption's width plus a padding.
class YToolButtonAdptiveWidth : public QObject
{
    Q_OBJECT

public:
    YToolButtonAdptiveWidth(QAbstractButton *button, int padding);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int padding;
};
