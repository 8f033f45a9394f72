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
    void helpers_data();
    void helpers();
};

void tst_YTipDlg::sizing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");

    QFont font("微软雅黑");
    font.setPixelSize(12);
    const QFontMetrics metrics(font);
    const int line = metrics.height() + 8;
    const QString wide = "这是一段很长的提示文字，用来检查宽度是否按最长的一行计算。";
    QTest::newRow("empty") << QString() << QSize(242, 135);
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
    QCOMPARE(dialog.size(), size);
}

void tst_YTipDlg::helpers_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<int>("result");

    const int yesNo = YFrameDialog::Yes | YFrameDialog::No;
    QTest::newRow("question closed") << 1 << yesNo << "close" << int(YFrameDialog::No);
    QTest::newRow("question yes") << 1 << yesNo << "是" << int(YFrameDialog::Yes);
    QTest::newRow("information closed") << 2 << int(YFrameDialog::Ok) << "close" << 0x400;
    QTest::newRow("warning closed") << 3 << int(YFrameDialog::Ok | YFrameDialog::Cancel) << "close"
                                    << int(YFrameDialog::Cancel);
    QTest::newRow("critical retry") << 4 << int(YFrameDialog::Retry | YFrameDialog::Abort) << "重试"
                                    << int(YFrameDialog::Retry);
}

// The helper for each icon shows that icon, the title and the text.
void tst_YTipDlg::helpers()
{
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(QString, click);
    QFETCH(int, result);

    const QList<decltype(&YTipDlg::question)> helpers = {YTipDlg::question, YTipDlg::information, YTipDlg::warning,
                                                         YTipDlg::critical};
    const auto helper = helpers.at(icon - 1);
    const int code = runModal(
        [&] { return int(helper(nullptr, "提示", "是否继续？", YFrameDialog::StandardButtons(buttons), {})); },
        [&](QDialog *box) {
            auto *tip = box->findChild<YTipDlg *>();
            QCOMPARE(int(tip->icon()), icon);
            QCOMPARE(tip->iconPixmap().size(), QSize(36, 36));
            QCOMPARE(box->findChild<QLabel *>("label")->text(), QString("提示"));
            QCOMPARE(box->findChild<QLabel *>("textLabel")->text(), QString("是否继续？"));
            ::click(box, click);
        });
    QCOMPARE(code, result);
}

QTEST_MAIN(tst_YTipDlg)
#include "tst_ytipdlg.moc"
