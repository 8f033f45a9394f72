#include "ModalRunner.h"
#include "YTipDlg.h"

#include <QFontMetrics>
#include <QLabel>

class tst_YTipDlg : public QObject
{
    Q_OBJECT

private slots:
    void sizing_data();
    void sizing();
    void icons_data();
    void icons();
    void staticHelpers_data();
    void staticHelpers();
};

void tst_YTipDlg::sizing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");

    QFont font(QString::fromUtf8("微软雅黑"));
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const int line = metrics.height() + 8;
    const QString wide = QString::fromUtf8("这是一段很长的提示文字，用来检查宽度是否按最长的一行计算。");
    QTest::newRow("empty") << QString() << QSize(242, 135);
    QTest::newRow("short line") << QString::fromUtf8("完成") << QSize(242, 135);
    QTest::newRow("wide line") << wide << QSize(metrics.horizontalAdvance(wide) + 92, qMax(38, line) + 97);
    QTest::newRow("three lines") << "a\nb\nc" << QSize(242, 3 * line + 97);
    QTest::newRow("empty lines count") << "\n\n\n" << QSize(242, 4 * line + 97);
}

void tst_YTipDlg::sizing()
{
    QFETCH(QString, text);
    QFETCH(QSize, size);

    YTipDlg dialog;
    dialog.setText(text);
    QCOMPARE(dialog.text(), text);
    QCOMPARE(dialog.size(), size);
}

void tst_YTipDlg::icons_data()
{
    QTest::addColumn<int>("icon");
    for (int icon : {YTipDlg::NoIcon, YTipDlg::Question, YTipDlg::Information, YTipDlg::Warning, YTipDlg::Critical})
        QTest::addRow("icon %d", icon) << icon;
}

void tst_YTipDlg::icons()
{
    QFETCH(int, icon);

    YTipDlg dialog(YTipDlg::Icon(icon), "title", "text");
    QCOMPARE(int(dialog.icon()), icon);
    QCOMPARE(dialog.findChild<QLabel *>("iconLabel")->property("__icon__").toInt(), icon);
    QCOMPARE(dialog.iconPixmap().size(), icon == YTipDlg::NoIcon ? QSize(0, 0) : QSize(36, 36));

    QPixmap own(10, 10);
    dialog.setIconPixmap(own);
    QCOMPARE(int(dialog.icon()), 0);
    QCOMPARE(dialog.iconPixmap().size(), QSize(10, 10));
}

void tst_YTipDlg::staticHelpers_data()
{
    QTest::addColumn<QString>("helper");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("result");

    const int yesNo = YFrameDialog::Yes | YFrameDialog::No;
    QTest::newRow("question closed") << "question" << yesNo << "close" << int(YFrameDialog::No);
    QTest::newRow("question yes") << "question" << yesNo << QString::fromUtf8("是") << int(YFrameDialog::Yes);
    QTest::newRow("information closed") << "information" << int(YFrameDialog::Ok) << "close" << 0x400;
    QTest::newRow("warning cancel") << "warning" << int(YFrameDialog::Ok | YFrameDialog::Cancel) << "close"
                                    << int(YFrameDialog::Cancel);
    QTest::newRow("critical retry") << "critical" << int(YFrameDialog::Retry | YFrameDialog::Abort)
                                    << QString::fromUtf8("重试") << int(YFrameDialog::Retry);
}

void tst_YTipDlg::staticHelpers()
{
    QFETCH(QString, helper);
    QFETCH(int, buttons);
    QFETCH(QString, click);
    QFETCH(int, result);

    const auto flags = YFrameDialog::StandardButtons(buttons);
    const QString title = QString::fromUtf8("提示");
    const QString text = QString::fromUtf8("是否继续？");
    const int code = runModal(
        [&] {
            if (helper == "question")
                return int(YTipDlg::question(nullptr, title, text, flags, YFrameDialog::No));
            if (helper == "information")
                return int(YTipDlg::information(nullptr, title, text, flags, YFrameDialog::NoButton));
            if (helper == "warning")
                return int(YTipDlg::warning(nullptr, title, text, flags, YFrameDialog::Ok));
            return int(YTipDlg::critical(nullptr, title, text, flags, YFrameDialog::NoButton));
        },
        [&](QDialog *box) {
            QCOMPARE(box->findChild<QLabel *>("label")->text(), title);
            QCOMPARE(box->findChild<QLabel *>("textLabel")->text(), text);
            if (click == "close")
                QTest::mouseClick(box->findChild<QAbstractButton *>("close"), Qt::LeftButton);
            else
                QTest::mouseClick(buttonWithText(box, click), Qt::LeftButton);
        });
    QCOMPARE(code, result);
}

QTEST_MAIN(tst_YTipDlg)
#include "tst_ytipdlg.moc"
