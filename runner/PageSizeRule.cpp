#include "PageSizeRule.h"

#include <QStringList>

PageSizeRule::PageSizeRule(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('*'));
    if (parts.size() != 2)
        return;
    asked = QSize(parts.first().toInt(), parts.last().toInt());
    if (asked.width() <= 0 || asked.height() <= 0)
        result = Ignored;
    else if (asked.width() > FrameLayout::MaxWidth || asked.height() > FrameLayout::MaxHeight)
        result = TooLarge;
    else
        result = Accepted;
}

QString PageSizeRule::textFor(const QSize& size)
{
    return QStringLiteral("%1*%2").arg(size.width()).arg(size.height());
}
