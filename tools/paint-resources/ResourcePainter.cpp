#include "ResourcePainter.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <utility>
#include <vector>

namespace {

const int shadowSize = 18;
const QColor accent("#2687fe");
const QColor accentDown("#1666c9");

enum Column { Disabled, Normal, Hot, Pressed };

QPen glyphPen(const QColor &colour, double width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Glyphs are drawn on a 24-unit grid; the painter is scaled to the cell.
void drawClose(QPainter &p, const QColor &c)
{
    p.setPen(glyphPen(c, 1.6));
    p.drawLine(QPointF(8, 8), QPointF(16, 16));
    p.drawLine(QPointF(16, 8), QPointF(8, 16));
}

void drawMaximise(QPainter &p, const QColor &c)
{
    p.setPen(glyphPen(c, 1.4));
    p.drawRoundedRect(QRectF(7.5, 7.5, 9, 9), 1, 1);
}

void drawRestore(QPainter &p, const QColor &c)
{
    p.setPen(glyphPen(c, 1.4));
    p.drawRoundedRect(QRectF(7.5, 9.5, 7, 7), 1, 1);
    QPainterPath back;
    back.moveTo(9.5, 7.5);
    back.lineTo(16.5, 7.5);
    back.lineTo(16.5, 14.5);
    p.drawPath(back);
}

void drawArrow(QPainter &p, const QColor &c, bool forward)
{
    p.save();
    if (forward) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    p.setPen(glyphPen(c, 2.0));
    p.drawLine(QPointF(6, 12), QPointF(18, 12));
    QPainterPath head;
    head.moveTo(11.5, 6.5);
    head.lineTo(6, 12);
    head.lineTo(11.5, 17.5);
    p.drawPath(head);
    p.restore();
}

void drawReload(QPainter &p, const QColor &c)
{
    p.setPen(glyphPen(c, 2.0));
    p.drawArc(QRectF(5.5, 5.5, 13, 13), 60 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(18.8, 4.6);
    head.lineTo(18.4, 9.6);
    head.lineTo(13.6, 8.6);
    p.setBrush(Qt::NoBrush);
    p.drawPath(head);
}

QImage emptyImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QImage ResourcePainter::strip(int size, const std::function<void(QPainter &, const QRectF &, int)> &paintCell)
{
    QImage image = emptyImage(4 * size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int column = Disabled; column <= Pressed; ++column) {
        p.save();
        p.translate(column * size, 0);
        paintCell(p, QRectF(0, 0, size, size), column);
        p.restore();
    }
    return image;
}

QImage ResourcePainter::titleStrip(const Glyph &glyph, bool danger) const
{
    return strip(24, [&](QPainter &p, const QRectF &cell, int column) {
        const QColor hotFill = danger ? QColor("#e5484d") : QColor(255, 255, 255, 46);
        const QColor downFill = danger ? QColor("#b3262b") : QColor(0, 0, 0, 56);
        if (column == Hot || column == Pressed) {
            p.setPen(Qt::NoPen);
            p.setBrush(column == Hot ? hotFill : downFill);
            p.drawRoundedRect(cell.adjusted(1, 1, -1, -1), 3, 3);
        }
        glyph(p, column == Disabled ? QColor(255, 255, 255, 90) : QColor(255, 255, 255, 235));
    });
}

QImage ResourcePainter::barStrip(int size, const Glyph &glyph) const
{
    const QColor colours[4] = {QColor("#c4c7cc"), QColor("#5f6368"), accent, accentDown};
    return strip(size, [&](QPainter &p, const QRectF &, int column) {
        p.scale(size / 24.0, size / 24.0);
        glyph(p, colours[column]);
    });
}

QImage ResourcePainter::clearStrip() const
{
    const QColor fills[4] = {QColor("#e2e3e5"), QColor("#b6b9be"), QColor("#8d9197"), QColor("#6b6f75")};
    return strip(20, [&](QPainter &p, const QRectF &cell, int column) {
        p.setPen(Qt::NoPen);
        p.setBrush(fills[column]);
        p.drawEllipse(cell.center(), 7, 7);
        p.setPen(glyphPen(Qt::white, 1.5));
        p.drawLine(QPointF(7.5, 7.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 7.5), QPointF(7.5, 12.5));
    });
}

QImage ResourcePainter::checkStrip(bool checked, bool round) const
{
    const QColor borders[4] = {QColor("#505055"), QColor("#8a8f99"), accent, accentDown};
    const QColor marks[4] = {QColor("#45566e"), accent, QColor("#4c9cff"), accentDown};
    return strip(16, [&](QPainter &p, const QRectF &, int column) {
        const QRectF box(1.5, 1.5, 13, 13);
        p.setPen(QPen(checked ? marks[column] : borders[column], 1));
        p.setBrush(checked && !round ? marks[column] : QColor("#1e1e20"));
        if (round)
            p.drawEllipse(box);
        else
            p.drawRoundedRect(box, 2.5, 2.5);
        if (!checked)
            return;
        if (round) {
            p.setPen(Qt::NoPen);
            p.setBrush(marks[column]);
            p.drawEllipse(box.center(), 3.5, 3.5);
            return;
        }
        QPainterPath tick;
        tick.moveTo(4.5, 8.2);
        tick.lineTo(7.0, 10.8);
        tick.lineTo(11.6, 5.4);
        p.setPen(glyphPen(column == Disabled ? QColor("#9aa3b0") : Qt::white, 1.7));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    });
}

QImage ResourcePainter::messageIcon(const QColor &fill, const QString &mark, bool triangle) const
{
    QImage image = emptyImage(36, 36);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    if (triangle) {
        QPainterPath path;
        path.moveTo(18, 3);
        path.lineTo(34, 32);
        path.lineTo(2, 32);
        path.closeSubpath();
        p.drawPath(path);
    } else {
        p.drawEllipse(QRectF(2, 2, 32, 32));
    }
    if (mark == "x") {
        p.setPen(glyphPen(Qt::white, 3));
        p.drawLine(QPointF(12.5, 12.5), QPointF(23.5, 23.5));
        p.drawLine(QPointF(23.5, 12.5), QPointF(12.5, 23.5));
        return image;
    }
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(triangle ? 18 : 21);
    QPainterPath text;
    text.addText(0, 0, font, mark);
    const QPointF centre = triangle ? QPointF(18, 22) : QPointF(18, 18);
    p.translate(centre - text.boundingRect().center());
    p.setBrush(triangle ? QColor("#2b2b2e") : Qt::white);
    p.drawPath(text);
    return image;
}

QImage ResourcePainter::colourOverlay() const
{
    QImage image = emptyImage(20, 20);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, 19, 19), 2, 2);
    QPainterPath fold;
    fold.moveTo(19.5, 12);
    fold.lineTo(19.5, 19.5);
    fold.lineTo(12, 19.5);
    fold.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawPath(fold);
    return image;
}

// Pieces are painted for the top side; the frame dialog rotates them for the
// other three. The dialog's edge runs along y = size, its corner is at
// (size, size) in the corner piece.
QImage ResourcePainter::shadowCorner(const QColor &colour, int maxAlpha) const
{
    QImage image = emptyImage(shadowSize, shadowSize);
    for (int y = 0; y < shadowSize; ++y) {
        for (int x = 0; x < shadowSize; ++x) {
            const double d = std::hypot(shadowSize - x - 0.5, shadowSize - y - 0.5) / shadowSize;
            const double k = d >= 1 ? 0 : std::pow(1 - d, 1.7);
            QColor c = colour;
            c.setAlphaF(k * maxAlpha / 255.0);
            image.setPixelColor(x, y, c);
        }
    }
    return image;
}

QImage ResourcePainter::shadowEdge(const QColor &colour, int maxAlpha, double fadeFrom, double fadeTo) const
{
    QImage image = emptyImage(shadowSize, shadowSize);
    for (int y = 0; y < shadowSize; ++y) {
        const double d = (shadowSize - y - 0.5) / shadowSize;
        for (int x = 0; x < shadowSize; ++x) {
            const double along = fadeFrom + (fadeTo - fadeFrom) * (x + 0.5) / shadowSize;
            const double k = std::pow(1 - d, 1.7) * along;
            QColor c = colour;
            c.setAlphaF(k * maxAlpha / 255.0);
            image.setPixelColor(x, y, c);
        }
    }
    return image;
}

bool ResourcePainter::writeAll(const QString &root) const
{
    const QColor plainShadow(0, 0, 0);
    const QColor activeGlow("#1f6fd6");
    const std::vector<std::pair<QString, QImage>> images = {
        {"images/btn_close_dis_nor_hot_pre.png", titleStrip(drawClose, true)},
        {"images/btn_zuidahua_dis_nor_hot_pre.png", titleStrip(drawMaximise, false)},
        {"images/btn_huanyuan_dis_nor_hot_pre.png", titleStrip(drawRestore, false)},
        {"images/btn_houtui_dis_nor_hot_pre.png", barStrip(20, [](QPainter &p, const QColor &c) { drawArrow(p, c, false); })},
        {"images/btn_qianjin_dis_nor_hot_pre.png", barStrip(20, [](QPainter &p, const QColor &c) { drawArrow(p, c, true); })},
        {"images/btn_shuaxin2_dis_nor_hot_pre.png", barStrip(20, drawReload)},
        {"images/btn_cachu_dis_nor_hot_pre.png", clearStrip()},
        {"images/btn_notcheck_dis_nor_hot_pre.png", checkStrip(false, false)},
        {"images/btn_check_dis_nor_hot_pre.png", checkStrip(true, false)},
        {"images/settingPanel/btn_notcheck_dis_nor_hot_pre.png", checkStrip(false, false)},
        {"images/settingPanel/btn_check_dis_nor_hot_pre.png", checkStrip(true, false)},
        {"images/public/btn_notradio_dis_nor_hot_pre.png", checkStrip(false, true)},
        {"images/public/btn_selradio_dis_nor_hot_pre.png", checkStrip(true, true)},
        {"images/subtitledialog/icon_bgcolor.png", colourOverlay()},
        {"images/icon_xunwen.png", messageIcon(accent, "?", false)},
        {"images/icon_info.png", messageIcon(QColor("#2fa8e0"), "i", false)},
        {"images/icon_jinggao.png", messageIcon(QColor("#f0a020"), "!", true)},
        {"images/icon_cuowu.png", messageIcon(QColor("#e5484d"), "x", false)},
        {"images/icon_tanyuanjiao.png", shadowCorner(plainShadow, 120)},
        {"images/icon_tanyuanjiao2.png", shadowEdge(plainShadow, 120, 0.75, 1.0)},
        {"images/icon_tanzhi.png", shadowEdge(plainShadow, 120, 1.0, 1.0)},
        {"images/icon_tanyuanjiao3.png", shadowEdge(plainShadow, 120, 1.0, 0.75)},
        {"images/icon_seltanyuanjiao.png", shadowCorner(activeGlow, 170)},
        {"images/icon_seltanyuanjiao2.png", shadowEdge(activeGlow, 170, 0.75, 1.0)},
        {"images/icon_seltanzhi.png", shadowEdge(activeGlow, 170, 1.0, 1.0)},
        {"images/icon_seltanyuanjiao3.png", shadowEdge(activeGlow, 170, 1.0, 0.75)},
    };
    for (const auto &[path, image] : images) {
        const QString file = QDir(root).filePath(path);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (!image.save(file, "PNG"))
            return false;
    }
    return true;
}
