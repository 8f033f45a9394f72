#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <functional>

class QPainter;
class QRectF;

// Paints the library's images: four-state strips (disabled, normal, hot,
// pressed, left to right), dialog icons and the shadow pieces.
class ResourcePainter
{
public:
    // Writes every image below `root` (the resources folder); false on the
    // first file that cannot be written.
    bool writeAll(const QString &root) const;

private:
    using Glyph = std::function<void(QPainter &, const QColor &)>;

    QImage titleStrip(const Glyph &glyph, bool danger) const;
    QImage barStrip(int size, const Glyph &glyph) const;
    QImage clearStrip() const;
    QImage checkStrip(bool checked, bool round) const;
    QImage messageIcon(const QColor &fill, const QString &mark, bool triangle) const;
    QImage colourOverlay() const;
    QImage shadowCorner(const QColor &colour, int maxAlpha) const;
    QImage shadowEdge(const QColor &colour, int maxAlpha, double fadeFrom, double fadeTo) const;

    static QImage strip(int size, const std::function<void(QPainter &, const QRectF &, int)> &paintCell);
};
