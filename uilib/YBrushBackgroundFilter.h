#pragma once

#include <QBrush>
#include <QColor>
#include <QObject>

// Paints a brush under the widgets it is installed on, before their own
// painting. The striped factories give list-like alternating row bands.
class YBrushBackgroundFilter : public QObject
{
    Q_OBJECT

public:
    YBrushBackgroundFilter(const QBrush &brush, QObject *parent);

    void setBrush(const QBrush &brush);
    QBrush brush() const { return background; }
    QColor borderColor() const { return border; }

    static YBrushBackgroundFilter *striped(int rowHeight, QObject *parent);
    static YBrushBackgroundFilter *striped(int rowHeight, const QColor colours[2], const QColor &border,
                                           QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QBrush background;
    QColor border;
};
