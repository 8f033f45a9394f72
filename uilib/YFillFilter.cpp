#include "YFillFilter.h"

#include <QWidget>

YFillFilter::YFillFilter(QWidget *widget) : YAdaptiveFilter(widget)
{
    widget->setAttribute(Qt::WA_TranslucentBackground);
    setAdapt([](QWidget *target, QSize size) { target->resize(size); });
}
