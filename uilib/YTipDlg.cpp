#include "YTipDlg.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMap>
#include <QVariant>

#include <algorithm>

namespace {

const char iconProperty[] = "__icon__";

QString iconPath(YTipDlg::Icon icon)
{
    static const QMap<int, QString> paths = {
        {YTipDlg::Question, ":/YBrowserRunner/Resources/icon_xunwen.png"},
        {YTipDlg::Information, ":/YBrowserRunner/Resources/icon_info.png"},
        {YTipDlg::Warning, ":/YBrowserRunner/Resources/icon_jinggao.png"},
        {YTipDlg::Critical, ":/YBrowserRunner/Resources/icon_cuowu.png"},
    };
    return paths.value(icon);
}

} // namespace

YTipDlg::YTipDlg(QWidget *parent)
    : YFrameDialog(parent), iconLabel(new QLabel), textLabel(new QLabel)
{
    setFont(messageFont());
    // The frame's style sheet gives every child its font; the message keeps
    // the one its size is measured with.
    setStyleSheet(styleSheet() + QString("\n#YFrameDialog #textLabel { font: 12px \"%1\"; }").arg(messageFont().family()));

    iconLabel->setObjectName("iconLabel");
    iconLabel->setFixedSize(36, 36);
    iconLabel->setProperty(iconProperty, int(NoIcon));
    textLabel->setObjectName("textLabel");
    textLabel->setWordWrap(true);
    textLabel->setStyleSheet("color:white;");

    auto *content = new QWidget;
    auto *layout = new QHBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(iconLabel);
    layout->addWidget(textLabel);
    setCentralWidget(content, false);
    setResizeFlags(ResizeFlags());
}

YTipDlg::YTipDlg(Icon icon, const QString &title, const QString &text, StandardButtons buttons, QWidget *parent)
    : YTipDlg(parent)
{
    setIcon(icon);
    setWindowTitle(title);
    setText(text);
    addButtons(buttons);
}

QFont YTipDlg::messageFont() const
{
    QFont messageFont(tr("微软雅黑"));
    messageFont.setPixelSize(12);
    return messageFont;
}

void YTipDlg::setIcon(Icon icon)
{
    iconLabel->setProperty(iconProperty, int(icon));
    const QString path = iconPath(icon);
    iconLabel->setPixmap(path.isEmpty() ? QPixmap() : QPixmap(path));
}

YTipDlg::Icon YTipDlg::icon() const
{
    return Icon(iconLabel->property(iconProperty).toInt());
}

void YTipDlg::setIconPixmap(const QPixmap &pixmap)
{
    iconLabel->setProperty(iconProperty, 0);
    iconLabel->setPixmap(pixmap);
}

QPixmap YTipDlg::iconPixmap() const
{
    return iconLabel->pixmap(Qt::ReturnByValue);
}

void YTipDlg::setText(const QString &text)
{
    textLabel->setText(text);
    const QStringList lines = text.split('\n');
    const QFontMetrics metrics(messageFont());
    int width = 150;
    for (const QString &line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int height = std::max(38, int(lines.size()) * (metrics.height() + 8));
    resize(width + 92, height + 97);
}

QString YTipDlg::text() const
{
    return textLabel->text();
}

void YTipDlg::setTextFormat(Qt::TextFormat format)
{
    textLabel->setTextFormat(format);
}

Qt::TextFormat YTipDlg::textFormat() const
{
    return textLabel->textFormat();
}

YFrameDialog::StandardButton YTipDlg::run(Icon icon, QWidget *parent, const QString &title, const QString &text,
                                          StandardButtons buttons, StandardButton defaultButton)
{
    YTipDlg dialog(icon, title, text, buttons, parent);
    dialog.setDefaultButton(defaultButton);
    return StandardButton(dialog.exec(nullptr, false));
}

YFrameDialog::StandardButton YTipDlg::information(QWidget *parent, const QString &title, const QString &text,
                                                  StandardButtons buttons, StandardButton defaultButton)
{
    return run(Information, parent, title, text, buttons, defaultButton);
}

YFrameDialog::StandardButton YTipDlg::question(QWidget *parent, const QString &title, const QString &text,
                                               StandardButtons buttons, StandardButton defaultButton)
{
    return run(Question, parent, title, text, buttons, defaultButton);
}

YFrameDialog::StandardButton YTipDlg::warning(QWidget *parent, const QString &title, const QString &text,
                                              StandardButtons buttons, StandardButton defaultButton)
{
    return run(Warning, parent, title, text, buttons, defaultButton);
}

YFrameDialog::StandardButton YTipDlg::critical(QWidget *parent, const QString &title, const QString &text,
                                               StandardButtons buttons, StandardButton defaultButton)
{
    return run(Critical, parent, title, text, buttons, defaultButton);
}
