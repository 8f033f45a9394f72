#include "YToolButtonPainters.h"

#include "UiLibSetup.h"
#include "YSubColorDialog.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariant>

namespace YUILIB {

namespace {

const char colorProperty[] = "__color";
const char colorPainterProperty[] = "__color_painter__";

QImage loadImage(const QString &path)
{
    initialise();
    return QImage(path);
}

void drawStrip(QPainter &painter, const QRect &target, const QImage &strip, int state)
{
    if (!strip.isNull())
        painter.drawImage(target, strip, stripColumnRect(strip, state));
}

void pickColor(YToolButton *button)
{
    YSubColorDialog dialog(nullptr);
    dialog.setCurrentColor(buttonColor(button));
    if (dialog.exec() == QDialog::Accepted)
        setColorButton(button, dialog.selectedColor());
}

} // namespace

void setPainter(YToolButton *button, YToolButton::Painter fn)
{
    button->installPainter(std::move(fn));
}

int stripColumn(int state)
{
    if (state & YToolButton::Disabled)
        return 0;
    if (state & YToolButton::Down)
        return 3;
    if (state & YToolButton::Hovered)
        return 2;
    return 1;
}

QRect stripColumnRect(const QImage &strip, int state)
{
    const int width = strip.width() / 4;
    return QRect(stripColumn(state) * width, 0, width, strip.height());
}

void setImageStrip(YToolButton *button, const QImage &strip)
{
    setPainter(button, [button, strip](QPainter &painter, int state) {
        drawStrip(painter, button->rect(), strip, state);
    });
}

void setImageStrip(YToolButton *button, const QString &path)
{
    setImageStrip(button, loadImage(path));
}

void setCheckImageStrips(YToolButton *button, const QImage &unchecked, const QImage &checked)
{
    button->setCheckable(true);
    setPainter(button, [button, unchecked, checked](QPainter &painter, int state) {
        drawStrip(painter, button->rect(), (state & YToolButton::Checked) ? checked : unchecked, state);
    });
}

void setCheckImageStrips(YToolButton *button, const QString &unchecked, const QString &checked)
{
    setCheckImageStrips(button, loadImage(unchecked), loadImage(checked));
}

void setImageCheckBox(YToolButton *button, const QImage &unchecked, const QImage &checked)
{
    button->setCheckable(true);
    setPainter(button, [button, unchecked, checked](QPainter &painter, int state) {
        const QImage &strip = (state & YToolButton::Checked) ? checked : unchecked;
        const int side = strip.height();
        const int top = (button->height() - side + 1) / 2;
        drawStrip(painter, QRect(0, top, side, side), strip, state);
        painter.setPen(button->palette().color(QPalette::ButtonText));
        if (state & YToolButton::Disabled)
            painter.setPen(Qt::gray);
        const QRect textRect(18, 0, button->width() - 18, button->height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, button->text());
    });
}

void setSettingCheckBox(YToolButton *button)
{
    setImageCheckBox(button, loadImage(":/settingPanel/Resources/settingPanel/btn_notcheck_dis_nor_hot_pre.png"),
                     loadImage(":/settingPanel/Resources/settingPanel/btn_check_dis_nor_hot_pre.png"));
}

void setRadioCheckBox(YToolButton *button)
{
    setImageCheckBox(button, loadImage(":/public/Resources/public/btn_notradio_dis_nor_hot_pre.png"),
                     loadImage(":/public/Resources/public/btn_selradio_dis_nor_hot_pre.png"));
}

void setColorButton(YToolButton *button, const QColor &color)
{
    if (!color.isValid())
        return;
    if (!button->property(colorPainterProperty).toBool()) {
        button->setProperty(colorPainterProperty, true);
        const QImage icon = loadImage(":/subtitledialog/Resources/subtitledialog/icon_bgcolor.png");
        setPainter(button, [button, icon](QPainter &painter, int state) {
            paintButtonBackground(painter, button->rect(), state, false);
            const QRect swatch = button->rect().adjusted(3, 3, -3, -3);
            painter.fillRect(swatch, buttonColor(button));
            if (!icon.isNull())
                painter.drawImage(swatch, icon);
        });
        QObject::connect(button, &QAbstractButton::clicked, button, [button] { pickColor(button); });
    }
    if (buttonColor(button) == color)
        return;
    button->setProperty(colorProperty, color);
    button->update();
    emit button->colorChanged(color);
}

QColor buttonColor(const QAbstractButton *button)
{
    const QVariant value = button->property(colorProperty);
    if (value.canConvert<QColor>())
        return value.value<QColor>();
    return QColor();
}

void paintButtonBackground(QPainter &painter, const QRect &rect, int state, bool isDefault)
{
    QColor fill("#4E4E50");
    if (state & YToolButton::Down)
        fill = QColor("#1666c9");
    else if (isDefault)
        fill = QColor("#2687fe");
    else if (state & YToolButton::Hovered)
        fill = QColor("#5ea6ff");
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), 2, 2);
    painter.fillPath(path, fill);
    painter.restore();
}

void paintButtonCaption(QPainter &painter, const QAbstractButton *button, int state)
{
    if (state & YToolButton::Disabled)
        painter.setPen(Qt::gray);
    painter.drawText(button->rect().adjusted(0, 0, 0, -1), Qt::AlignCenter, button->text());
}

} // namespace YUILIB
