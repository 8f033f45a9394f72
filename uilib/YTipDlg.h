#pragma once

#include "YFrameDialog.h"
#include "YUiLibExport.h"

#include <QPixmap>

class QLabel;

// The library's message box: an icon and a word-wrapped message in a frame
// dialog sized to the text.
class YUILIB_EXPORT YTipDlg : public YFrameDialog
{
    Q_OBJECT

public:
    enum Icon { NoIcon = 0, Question = 1, Information = 2, Warning = 3, Critical = 4 };

    explicit YTipDlg(QWidget *parent = nullptr);
    YTipDlg(Icon icon, const QString &title, const QString &text, StandardButtons buttons = NoButton,
            QWidget *parent = nullptr);

    void setIcon(Icon icon);
    Icon icon() const;
    void setIconPixmap(const QPixmap &pixmap);
    QPixmap iconPixmap() const;
    void setText(const QString &text);
    QString text() const;
    void setTextFormat(Qt::TextFormat format);
    Qt::TextFormat textFormat() const;

    static StandardButton information(QWidget *parent, const QString &title, const QString &text,
                                      StandardButtons buttons = Ok, StandardButton defaultButton = NoButton);
    static StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                   StandardButtons buttons = StandardButtons(Yes | No),
                                   StandardButton defaultButton = NoButton);
    static StandardButton warning(QWidget *parent, const QString &title, const QString &text,
                                  StandardButtons buttons = Ok, StandardButton defaultButton = NoButton);
    static StandardButton critical(QWidget *parent, const QString &title, const QString &text,
                                   StandardButtons buttons = Ok, StandardButton defaultButton = NoButton);

private:
    QFont messageFont() const;
    static StandardButton run(Icon icon, QWidget *parent, const QString &title, const QString &text,
                              StandardButtons buttons, StandardButton defaultButton);

    QLabel *iconLabel;
    QLabel *textLabel;
};
