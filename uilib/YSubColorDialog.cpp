#include "YSubColorDialog.h"

#include "UiLibSetup.h"

#include <QLabel>
#include <QPushButton>

namespace YUILIB {

namespace {

QString plain(QString text)
{
    return text.remove(QLatin1Char('&')).remove(QLatin1Char(' ')).toLower();
}

} // namespace

YSubColorDialog::YSubColorDialog(QWidget *parent) : QColorDialog(parent)
{
    initialise();
    setOption(QColorDialog::DontUseNativeDialog);
    setOption(QColorDialog::ShowAlphaChannel);
    setWindowTitle(tr("选择颜色"));
    translateButtons();
    translateAlphaLabel();
    setStyleSheet("QPushButton{ background:#505566; }QPushButton::disabled{ background:#666666; }"
                  "QPushButton::hover{ background:#2687FE; }QPushButton:pressed{ background:#1666C9;}");
}

void YSubColorDialog::translateButtons()
{
    const QList<QPair<QString, QString>> captions = {
        {plain("OK"), tr("确定")},
        {plain("Cancel"), tr("取消")},
        {plain("&Pick Screen Color"), tr("获取屏幕颜色(&P)")},
        {plain("&Add to Custom Colors"), tr("添加到自定义颜色(&A)")},
    };
    for (QPushButton *button : findChildren<QPushButton *>()) {
        for (const auto &caption : captions) {
            if (plain(button->text()) == caption.first)
                button->setText(caption.second);
        }
    }
}

void YSubColorDialog::translateAlphaLabel()
{
    for (QLabel *label : findChildren<QLabel *>()) {
        const QString text = plain(label->text());
        if (text.contains(plain(QString::fromUtf8("Alpha通道"))) || text.contains("alphachannel")) {
            label->setText(tr("透明度(&A)："));
            label->setToolTip(tr("0表示透明，255为不透明"));
        }
    }
}

} // namespace YUILIB
