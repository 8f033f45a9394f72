#include "UiLibSetup.h"
#include "UiTestSupport.h"
#include "YToolButton.h"
#include "YToolButtonPainters.h"

#include <QFontInfo>
#include <QPainter>

using namespace YUILIB;

class tst_YToolButton : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initialise(); }

    // Every image at its size, the style sheet, and the dialogs' font family
    // mapped to an installed CJK font.
    void theme()
    {
        const QString root = ":/YBrowserRunner/Resources/%1.png";
        const QList<QPair<QStringList, QSize>> groups = {
            {{"btn_close", "btn_zuidahua", "btn_huanyuan"}, {96, 24}},
            {{"btn_houtui", "btn_qianjin", "btn_shuaxin2", "btn_cachu"}, {80, 20}},
            {{"btn_check", "btn_notcheck"}, {64, 16}},
            {{"icon_xunwen", "icon_info", "icon_jinggao", "icon_cuowu"}, {36, 36}},
            {{"icon_tanyuanjiao", "icon_tanyuanjiao2", "icon_tanzhi", "icon_tanyuanjiao3", "icon_seltanyuanjiao",
              "icon_seltanyuanjiao2", "icon_seltanzhi", "icon_seltanyuanjiao3"}, {18, 18}}};
        for (const auto &[names, size] : groups) {
            for (const QString &name : names) {
                const QString path = root.arg(name.startsWith("btn") ? name + "_dis_nor_hot_pre" : name);
                QVERIFY2(QImage(path).size() == size, qPrintable(path));
            }
        }
        for (const char *strip : {"settingPanel/Resources/settingPanel/btn_check", "public/Resources/public/btn_selradio"})
            QCOMPARE(QImage(QString(":/%1_dis_nor_hot_pre.png").arg(strip)).size(), QSize(64, 16));
        QFile qss(":/YBrowserRunner/Resources/CorvaneDialog.qss");
        QVERIFY(qss.open(QIODevice::ReadOnly) && qss.readAll().contains("#centralFrame"));
        QCOMPARE(QFontInfo(QFont("微软雅黑")).family(), QString("WenQuanYi Micro Hei"));
    }

    // Strip columns: disabled red, normal green, hot blue, pressed yellow;
    // the checked strip is the inverse.
    void imageStrips()
    {
        QImage strip(32, 8, QImage::Format_ARGB32);
        const QColor colours[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
        for (int i = 0; i < 4; ++i)
            QPainter(&strip).fillRect(8 * i, 0, 8, 8, colours[i]);
        QImage inverse = strip;
        inverse.invertPixels();
        YToolButton plain, check;
        setImageStrip(&plain, strip);
        setCheckImageStrips(&check, strip, inverse);
        const auto centre = [](QWidget *button) { return button->grab().toImage().pixelColor(12, 12); };
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
        QCOMPARE(centre(&check), QColor(Qt::magenta));
        QTest::mouseClick(&check, Qt::LeftButton);
        QCOMPARE(centre(&check), QColor(Qt::green));
    }
};

QTEST_MAIN(tst_YToolButton)
#include "tst_ytoolbutton.moc"
