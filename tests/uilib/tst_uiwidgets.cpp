#include "UiTestSupport.h"
#include "UiLibSetup.h"
#include "YAdptivePaddingFilter.h"
#include "YBrushBackgroundFilter.h"
#include "YFillFilter.h"
#include "YSubColorDialog.h"
#include "YToolButton.h"
#include "YToolButtonAdptiveWidth.h"
#include "YToolButtonPainters.h"

#include <QFontInfo>
#include <QPainter>
#include <QPushButton>

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

class tst_UiWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initialise(); }
    void theme_data();
    void theme();
    void imageStrips();
    void colorButton();
    void stripedBackground_data();
    void stripedBackground();
    void fillAndPaddingFollowParent();
    void adaptiveWidth_data();
    void adaptiveWidth();
};

void tst_UiWidgets::theme_data()
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

// Every image is there at its size, the style sheet too, and the dialogs'
// Chinese font family maps to an installed CJK font.
void tst_UiWidgets::theme()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);

    QCOMPARE(QImage(path).size(), size);
    QFile qss(":/YBrowserRunner/Resources/CorvaneDialog.qss");
    QVERIFY(qss.open(QIODevice::ReadOnly) && qss.readAll().contains("#centralFrame"));
    QCOMPARE(QFontInfo(QFont("微软雅黑")).family(), QString("WenQuanYi Micro Hei"));
}

void tst_UiWidgets::imageStrips()
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

// colorChanged only on a change; a click picks a colour in the colour dialog.
void tst_UiWidgets::colorButton()
{
    YToolButton button;
    QSignalSpy changed(&button, &YToolButton::colorChanged);
    for (const QColor &colour : {QColor(), QColor(Qt::red), QColor(Qt::red), QColor(10, 20, 30), QColor()})
        setColorButton(&button, colour);
    button.resize(30, 24);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    const QColor picked(200, 100, 50, 128);
    runModal(
        [&] {
            QTest::mouseClick(&button, Qt::LeftButton);
            return 0;
        },
        [&](QDialog *box) {
            QCOMPARE(qobject_cast<YSubColorDialog *>(box)->currentColor(), QColor(10, 20, 30));
            qobject_cast<YSubColorDialog *>(box)->setCurrentColor(picked);
            click(box, "确定");
        });
    QCOMPARE(changed.size(), 3);
    QCOMPARE(changed.at(0).at(0).value<QColor>(), QColor(Qt::red));
    QCOMPARE(changed.at(2).at(0).value<QColor>(), picked);
    QCOMPARE(buttonColor(&button), picked);
    button.setProperty("__color", 12);
    QVERIFY(!buttonColor(&button).isValid());
}

void tst_UiWidgets::stripedBackground_data()
{
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second");
    QTest::addColumn<QColor>("border");

    QTest::newRow("stock colours") << false << QColor("#2a2a2b") << QColor("#3c3d41") << QColor("#3c3d41");
    QTest::newRow("given colours") << true << QColor("#102030") << QColor("#405060") << QColor("#ff0000");
}

// Rows of four pixels alternate below a one-pixel border.
void tst_UiWidgets::stripedBackground()
{
    QFETCH(bool, custom);
    QFETCH(QColor, first);
    QFETCH(QColor, second);
    QFETCH(QColor, border);

    QWidget widget;
    widget.resize(40, 30);
    const QColor colours[2] = {first, second};
    widget.installEventFilter(custom ? YBrushBackgroundFilter::striped(4, colours, border, &widget)
                                     : YBrushBackgroundFilter::striped(4, &widget));
    const QImage image = widget.grab().toImage();
    const QList<QPair<QPoint, QColor>> expected = {{{20, 1}, first},  {{20, 3}, first},  {{20, 4}, second},
                                                   {{20, 7}, second}, {{20, 9}, first},  {{39, 5}, border},
                                                   {{0, 5}, border}};
    for (const auto &[pos, colour] : expected)
        QCOMPARE(image.pixelColor(pos), colour);
}

void tst_UiWidgets::fillAndPaddingFollowParent()
{
    QWidget parent, orphan;
    parent.resize(100, 50);
    auto *overlay = new QWidget(&parent), *padded = new QWidget(&parent);
    padded->setGeometry(5, 5, 10, 10);
    new YFillFilter(overlay);
    new YAdptivePaddingFilter(padded);
    QVERIFY(overlay->testAttribute(Qt::WA_TranslucentBackground));
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    parent.resize(210, 83);
    QTRY_COMPARE(overlay->size(), QSize(210, 83));
    QCOMPARE(padded->geometry(), QRect(0, 0, 210, 83));
    orphan.setGeometry(10, 20, 30, 40);
    new YAdptivePaddingFilter(&orphan);
    orphan.resize(50, 60);
    QCOMPARE(orphan.geometry(), QRect(10, 20, 50, 60));
}

void tst_UiWidgets::adaptiveWidth_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("padding");

    QTest::newRow("empty caption") << QString() << 20;
    QTest::newRow("latin") << QString("Apply now") << 12;
    QTest::newRow("chinese") << QString("全部保存") << 30;
}

void tst_UiWidgets::adaptiveWidth()
{
    QFETCH(QString, caption);
    QFETCH(int, padding);

    QPushButton button(caption);
    new YToolButtonAdptiveWidth(&button, padding);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    const int expected = caption.isEmpty() ? padding : button.fontMetrics().boundingRect(caption).width() + padding;
    QTRY_COMPARE(button.width(), expected);
    QCOMPARE(button.minimumWidth(), expected);
    QCOMPARE(button.maximumWidth(), expected);
}

QTEST_MAIN(tst_UiWidgets)
#include "tst_uiwidgets.moc"
