#pragma once

#include "FrameLayout.h"

#include <QSize>
#include <QString>

// What a text of the page-size list asks for: "width*height", both above 0
// and within the room of a frame buffer.
class PageSizeRule
{
public:
    enum Verdict { Ignored, TooLarge, Accepted };

    explicit PageSizeRule(const QString& text);

    Verdict verdict() const { return result; }
    QSize size() const { return asked; }

    static QString pattern() { return QStringLiteral("\\d*\\*\\d*"); }
    static QString textFor(const QSize& size);

private:
    Verdict result = Ignored;
    QSize asked;
};
