#pragma once

#include "YAdaptiveFilter.h"

// Keeps a translucent overlay widget the size of its parent.
class YFillFilter : public YAdaptiveFilter
{
    Q_OBJECT

public:
    explicit YFillFilter(QWidget *widget);
};
