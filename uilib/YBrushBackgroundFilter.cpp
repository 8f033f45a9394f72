#include "YBrushBackgroundFilter.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>

YBrushBackgroundFilter::YBrushBackgroundFilter(const QBrush &brush, QObject *parent)
    : QObject(parent), background(brush), border(0, 0, 0, 0)
{
}

void YBrushBackgroundFilter::setBrush(const QBrush &brush)
{
    background = brush;
}

YBrushBackgroundFilter *YBrushBackgroundFilter::striped(int rowHeight, QObject *parent)
{
    const QColor colours[2] = {QColor("#2a2a2b"), QColor("#3c3d41")};
    return striped(rowHeight, colours, QColor(0, 0, 0, 0), parent);
}

YBrushBackgroundFilter *YBrushBackgroundFilter::striped(int rowHeight, const QColor colours[2], const QColor &border,
                                                        QObject *parent)
{
    const int band = std::max(1, rowHeight);
    QImage texture(10, 2 * band, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&texture);
    painter.fillRect(0, 0, 10, band, colours[0]);
    painter.fillRect(0, band, 10, band, colours[1]);
    painter.end();
    auto *filter = new YBrushBackgroundFilter(QBrush(texture), parent);
    filter->border = border;
    return filter;
}

bool YBrushBackgroundFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        QPainter painter(widget);
        painter.fillRect(widget->rect(), background);
        painter.setPen(border);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(widget->rect().adjusted(0, 0, -1, -1));
    }
    return QObject::eventFilter(watched, event);
}
