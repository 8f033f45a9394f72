#include "UiTestSupport.h"
#include "UiLibSetup.h"
#include "YToolButton.h"
#include "YToolButtonPainters.h"

#include <QFontInfo>
#include <QPainter>

using namespace YUILIB;

namespace {

// Four solid columns: disabled red, normal green, hot blue, pressed yellow.
QImage testStrip()
{
    QImage strip(32, 8, QImage::Format_ARGB32);
    const QColor colours[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i)
        QPainter(&strip).fillRect(8 * i, 0, 8, 8, colours[i]);
    return strip;
}

QColor centre(QWidget *widget)
{
    return widget->grab().toImage().pixelColor(widget->width() / 2, widget->height() / 2);
}

} // namespace

class tst_YToolButton : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initialise(); }
    void resources_data();
    void resources();
    void fontAndStyleSheet();
    void imageStrips();
};

void tst_YToolButton::resources_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");

    const QString root = ":/YBrowserRunner/Resources/";
    const QList<QPair<QStringList, QSize>> groups = {
        {{"btn_close", "btn_zuidahua", "btn_huanyuan"}, {96, 24}},
        {{"btn_houtui", "btn_qianjin", "btn_shuaxin2", "btn_cachu"}, {80, 20}},
        {{"btn_check", "btn_notcheck"}, {64, 16}}};
    for (const auto &[names, size] : groups) {
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << root + name + "_dis_nor_hot_pre.png" << size;
    }
    for (const char *strip : {"settingPanel/Resources/settingPanel/btn_check", "public/Resources/public/btn_selradio"})
        QTest::newRow(strip) << QString(":/%1_dis_nor_hot_pre.png").arg(strip) << QSize(64, 16);
    for (const char *icon : {"icon_xunwen", "icon_info", "icon_jinggao", "icon_cuowu"})
        QTest::newRow(icon) << root + icon + ".png" << QSize(36, 36);
    for (const char *piece : {"icon_tanyuanjiao", "icon_tanyuanjiao2", "icon_tanzhi", "icon_tanyuanjiao3",
                              "icon_seltanyuanjiao", "icon_seltanyuanjiao2", "icon_seltanzhi", "icon_seltanyuanjiao3"})
        QTest::newRow(piece) << root + piece + ".png" << QSize(18, 18);
}

void tst_YToolButton::resources()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QCOMPARE(QImage(path).size(), size);
}

void tst_YToolButton::fontAndStyleSheet()
{
    QCOMPARE(QFontInfo(QFont("微软雅黑")).family(), QString("WenQuanYi Micro Hei"));
    QFile qss(":/YBrowserRunner/Resources/CorvaneDialog.qss");
    QVERIFY(qss.open(QIODevice::ReadOnly) && qss.readAll().contains("#centralFrame"));
}

void tst_YToolButton::imageStrips()
{
    YToolButton plain, check;
    QImage checked = testStrip();
    checked.invertPixels();
    setImageStrip(&plain, testStrip());
    setCheckImageStrips(&check, testStrip(), checked);
    for (YToolButton *button : {&plain, &check}) {
        button->setFixedSize(24, 24);
        button->show();
        QVERIFY(QTest::qWaitForWindowExposed(button));
        QCOMPARE(centre(button), QColor(Qt::green));
    }
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), plain.mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(&plain, &enter);
    QCOMPARE(centre(&plain), QColor(Qt::blue));
    QTest::mousePress(&plain, Qt::LeftButton);
    QCOMPARE(centre(&plain), QColor(Qt::yellow));
    QTest::mouseRelease(&plain, Qt::LeftButton);
    plain.setEnabled(false);
    QCOMPARE(centre(&plain), QColor(Qt::red));

    QTest::mouseClick(&check, Qt::LeftButton);
    QVERIFY(check.isChecked());
    QCOMPARE(centre(&check), QColor(Qt::magenta));
    QTest::mouseClick(&check, Qt::LeftButton);
    QCOMPARE(centre(&check), QColor(Qt::green));
}

QTEST_MAIN(tst_YToolButton)
#include "tst_ytoolbutton.moc"
