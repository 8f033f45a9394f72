#pragma once

#include "YToolButton.h"
#include "YUiLibExport.h"

#include <QImage>
#include <QRect>
#include <QString>

class QAbstractButton;
class QPainter;

// Installers that give a YToolButton its look, and the painting helpers
// they share with the frame dialog's standard buttons.
namespace YUILIB {

YUILIB_EXPORT void setPainter(YToolButton *button, YToolButton::Painter fn);
YUILIB_EXPORT void setImageStrip(YToolButton *button, const QImage &strip);
YUILIB_EXPORT void setImageStrip(YToolButton *button, const QString &path);
YUILIB_EXPORT void setCheckImageStrips(YToolButton *button, const QImage &unchecked, const QImage &checked);
YUILIB_EXPORT void setCheckImageStrips(YToolButton *button, const QString &unchecked, const QString &checked);
YUILIB_EXPORT void setImageCheckBox(YToolButton *button, const QImage &unchecked, const QImage &checked);
YUILIB_EXPORT void setSettingCheckBox(YToolButton *button);
YUILIB_EXPORT void setRadioCheckBox(YToolButton *button);
YUILIB_EXPORT void setColorButton(YToolButton *button, const QColor &color);

// Column of a four-state strip (disabled, normal, hot, pressed) for a state.
YUILIB_EXPORT int stripColumn(int state);
YUILIB_EXPORT QRect stripColumnRect(const QImage &strip, int state);
YUILIB_EXPORT void paintButtonBackground(QPainter &painter, const QRect &rect, int state, bool isDefault);
YUILIB_EXPORT void paintButtonCaption(QPainter &painter, const QAbstractButton *button, int state);
YUILIB_EXPORT QColor buttonColor(const QAbstractButton *button);

} // namespace YUILIB
