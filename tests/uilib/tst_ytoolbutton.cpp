#include "ModalRunner.h"
#include "UiLibSetup.h"
#include "YSubColorDialog.h"
#include "YToolButton.h"
#include "YToolButtonPainters.h"

#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QtTest>

using namespace YUILIB;

namespace {

// Four solid columns: disabled red, normal green, hot blue, pressed yellow.
QImage testStrip(int column = 8, int height = 8)
{
    QImage strip(4 * column, height, QImage::Format_ARGB32);
    const QColor colours[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i) {
        QPainter p(&strip);
        p.fillRect(i * column, 0, column, height, colours[i]);
    }
    return strip;
}

void hover(QWidget *widget)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(widget, &enter);
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
    void initTestCase();
    void paintState_data();
    void paintState();
    void imageStrips();
    void imageCheckBoxGeometry();
    void colorButton();
    void colorButtonPicksColour();
    void plainWithoutPainter();
    void colourDialogTexts();
    void resources_data();
    void resources();
    void chineseFontSubstituted();
};

void tst_YToolButton::initTestCase()
{
    initialise();
}

void tst_YToolButton::paintState_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("hovered");
    QTest::addColumn<bool>("down");
    QTest::addColumn<bool>("focus");
    QTest::addColumn<int>("state");

    QTest::newRow("idle") << true << false << false << false << false << 0;
    QTest::newRow("disabled checked hovered") << false << true << true << false << false << 7;
    QTest::newRow("down with focus") << true << false << false << true << true << 24;
    QTest::newRow("hovered down") << true << false << true << true << false << 12;
}

void tst_YToolButton::paintState()
{
    QFETCH(bool, enabled);
    QFETCH(bool, checked);
    QFETCH(bool, hovered);
    QFETCH(bool, down);
    QFETCH(bool, focus);
    QFETCH(int, state);

    QWidget window;
    auto *button = new YToolButton(&window);
    int painted = -1;
    setPainter(button, [&painted](QPainter &, int s) { painted = s; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    button->setCheckable(true);
    button->setChecked(checked);
    if (hovered)
        hover(button);
    if (focus)
        button->setFocus();
    else
        button->clearFocus();
    if (down)
        button->setDown(true);
    button->setEnabled(enabled);
    QCOMPARE(button->isHovered(), hovered);
    QCOMPARE(button->paintState(), state);
    button->repaint();
    QCOMPARE(painted, state);
}

void tst_YToolButton::imageStrips()
{
    YToolButton plain, check;
    QImage checked = testStrip();
    checked.invertPixels();
    setImageStrip(&plain, testStrip());
    setCheckImageStrips(&check, testStrip(), checked);
    QVERIFY(check.isCheckable());
    for (YToolButton *button : {&plain, &check}) {
        button->setFixedSize(24, 24);
        button->show();
        QVERIFY(QTest::qWaitForWindowExposed(button));
        QCOMPARE(centre(button), QColor(Qt::green));
    }

    hover(&plain);
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

void tst_YToolButton::imageCheckBoxGeometry()
{
    YToolButton button;
    button.setFixedSize(120, 24);
    button.setText(QString());
    setImageCheckBox(&button, testStrip(16, 16), testStrip(16, 16));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));

    // A 16-pixel square at the left, its top at (24 - 16 + 1) / 2 = 4.
    const QImage image = button.grab().toImage();
    QCOMPARE(image.pixelColor(0, 4), QColor(Qt::green));
    QCOMPARE(image.pixelColor(15, 19), QColor(Qt::green));
    QVERIFY(image.pixelColor(8, 3) != QColor(Qt::green));
    QVERIFY(image.pixelColor(8, 20) != QColor(Qt::green));
    QVERIFY(image.pixelColor(16, 12) != QColor(Qt::green));
}

void tst_YToolButton::colorButton()
{
    YToolButton button;
    QSignalSpy changed(&button, &YToolButton::colorChanged);
    setColorButton(&button, QColor());
    QVERIFY(!button.hasPainter());

    setColorButton(&button, QColor(Qt::red));
    setColorButton(&button, QColor(Qt::red));
    setColorButton(&button, QColor(Qt::blue));
    setColorButton(&button, QColor());
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0).at(0).value<QColor>(), QColor(Qt::red));
    QCOMPARE(changed.at(1).at(0).value<QColor>(), QColor(Qt::blue));
    QVERIFY(button.hasPainter());

    button.setProperty("__color", QString("#00ff00"));
    QCOMPARE(buttonColor(&button), QColor(Qt::green));
    button.setProperty("__color", 12);
    QVERIFY(!buttonColor(&button).isValid());
}

void tst_YToolButton::colorButtonPicksColour()
{
    YToolButton button;
    button.resize(30, 24);
    setColorButton(&button, QColor(10, 20, 30));
    QSignalSpy changed(&button, &YToolButton::colorChanged);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));

    const QColor picked(200, 100, 50, 128);
    runModal(
        [&] {
            QTest::mouseClick(&button, Qt::LeftButton);
            return 0;
        },
        [&](QDialog *box) {
            auto *dialog = qobject_cast<YSubColorDialog *>(box);
            QVERIFY(dialog);
            QCOMPARE(dialog->currentColor(), QColor(10, 20, 30));
            dialog->setCurrentColor(picked);
            QTest::mouseClick(buttonWithText(box, QString::fromUtf8("确定")), Qt::LeftButton);
        });
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).value<QColor>(), picked);
    QCOMPARE(buttonColor(&button), picked);
}

void tst_YToolButton::plainWithoutPainter()
{
    QWidget window;
    auto *plain = new QPushButton("OK", &window);
    auto *tool = new YToolButton(&window);
    tool->setText("OK");
    plain->setGeometry(0, 0, 80, 30);
    tool->setGeometry(0, 40, 80, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(tool->grab().toImage(), plain->grab().toImage());
}

void tst_YToolButton::colourDialogTexts()
{
    YSubColorDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("选择颜色"));
    QVERIFY(dialog.testOption(QColorDialog::ShowAlphaChannel));
    QStringList captions;
    for (QPushButton *button : dialog.findChildren<QPushButton *>())
        captions << button->text();
    for (const char *caption : {"确定", "取消", "获取屏幕颜色(&P)", "添加到自定义颜色(&A)"})
        QVERIFY2(captions.contains(QString::fromUtf8(caption)), caption);

    QLabel *alpha = nullptr;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->text() == QString::fromUtf8("透明度(&A)："))
            alpha = label;
    }
    QVERIFY(alpha);
    QCOMPARE(alpha->toolTip(), QString::fromUtf8("0表示透明，255为不透明"));
}

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
    for (const char *strip : {"settingPanel/Resources/settingPanel/btn_check", "settingPanel/Resources/settingPanel/btn_notcheck",
                              "public/Resources/public/btn_selradio", "public/Resources/public/btn_notradio"})
        QTest::newRow(strip) << QString(":/%1_dis_nor_hot_pre.png").arg(strip) << QSize(64, 16);
    for (const char *icon : {"icon_xunwen", "icon_info", "icon_jinggao", "icon_cuowu"})
        QTest::newRow(icon) << root + icon + ".png" << QSize(36, 36);
    for (const char *piece : {"icon_tanyuanjiao", "icon_tanyuanjiao2", "icon_tanzhi", "icon_tanyuanjiao3",
                              "icon_seltanyuanjiao", "icon_seltanyuanjiao2", "icon_seltanzhi", "icon_seltanyuanjiao3"})
        QTest::newRow(piece) << root + piece + ".png" << QSize(18, 18);
    QTest::newRow("swatch") << ":/subtitledialog/Resources/subtitledialog/icon_bgcolor.png" << QSize(20, 20);
}

void tst_YToolButton::resources()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QCOMPARE(QImage(path).size(), size);
}

void tst_YToolButton::chineseFontSubstituted()
{
    const QFont font(QString::fromUtf8("微软雅黑"));
    QCOMPARE(QFontInfo(font).family(), QString("WenQuanYi Micro Hei"));
    QFile qss(":/YBrowserRunner/Resources/CorvaneDialog.qss");
    QVERIFY(qss.open(QIODevice::ReadOnly));
    QVERIFY(qss.readAll().contains("#centralFrame"));
}

QTEST_MAIN(tst_YToolButton)
#include "tst_ytoolbutton.moc"
