#include "BorderAdjustFilter.h"

#include <QApplication>
#include <QFrame>
#include <QWindow>
#include <QtTest>

namespace {

const QRect startGeometry(200, 200, 400, 300);

// A frameless window with a 30-pixel header strip, its mouse input sent
// through the window system interface like real pointer input.
struct Window
{
    Window()
    {
        widget.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        widget.setMinimumSize(200, 150);
        widget.setGeometry(startGeometry);
        header = new QFrame(&widget);
        header->setGeometry(0, 0, 400, 30);
        filter = new BorderAdjustFilter(&widget, header);
    }

    bool show()
    {
        widget.show();
        return QTest::qWaitForWindowExposed(&widget);
    }

    QWindow *handle() { return widget.windowHandle(); }

    // Positions are given relative to `origin` and sent in the window's
    // coordinates of the moment, so they stay put while the window moves.
    QPoint local(QPoint pos) const { return origin + pos - widget.pos(); }
    void moveTo(QPoint pos) { QTest::mouseMove(handle(), local(pos)); }
    void press(QPoint pos) { QTest::mousePress(handle(), Qt::LeftButton, {}, local(pos)); }
    void release(QPoint pos) { QTest::mouseRelease(handle(), Qt::LeftButton, {}, local(pos)); }

    // Press, pass the drag distance at `start`, then go to `to`.
    void drag(QPoint from, QPoint start, QPoint to)
    {
        moveTo(from);
        press(from);
        moveTo(start);
        moveTo(to);
        release(to);
    }

    QPoint origin = startGeometry.topLeft();
    QWidget widget;
    QFrame *header = nullptr;
    BorderAdjustFilter *filter = nullptr;
};

} // namespace

class tst_BorderAdjustFilter : public QObject
{
    Q_OBJECT

private slots:
    void cursorZones_data();
    void cursorZones();
    void resize_data();
    void resize();
    void doubleClickTogglesMaximised();
    void maximisedDragRestoresUnderPointer();
};

void tst_BorderAdjustFilter::cursorZones_data()
{
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("cursor");

    QTest::newRow("left") << false << QPoint(0, 150) << int(Qt::SizeHorCursor);
    QTest::newRow("right") << false << QPoint(397, 150) << int(Qt::SizeHorCursor);
    QTest::newRow("top") << false << QPoint(200, 2) << int(Qt::SizeVerCursor);
    QTest::newRow("bottom") << false << QPoint(200, 299) << int(Qt::SizeVerCursor);
    QTest::newRow("top left") << false << QPoint(1, 1) << int(Qt::SizeFDiagCursor);
    QTest::newRow("bottom right") << false << QPoint(399, 299) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top right") << false << QPoint(399, 0) << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom left") << false << QPoint(0, 298) << int(Qt::SizeBDiagCursor);
    QTest::newRow("inside") << false << QPoint(3, 150) << int(Qt::ArrowCursor);
    QTest::newRow("header") << false << QPoint(200, 10) << int(Qt::ArrowCursor);
    QTest::newRow("maximised edge") << true << QPoint(0, 150) << int(Qt::ArrowCursor);
    QTest::newRow("maximised corner") << true << QPoint(0, 0) << int(Qt::ArrowCursor);
}

void tst_BorderAdjustFilter::cursorZones()
{
    QFETCH(bool, maximised);
    QFETCH(QPoint, pos);
    QFETCH(int, cursor);

    Window window;
    QCOMPARE(window.widget.contentsMargins(), QMargins(3, 3, 3, 3));
    if (maximised)
        window.widget.setWindowState(Qt::WindowMaximized);
    QVERIFY(window.show());
    QCOMPARE(window.widget.contentsMargins(), maximised ? QMargins() : QMargins(3, 3, 3, 3));

    window.moveTo(QPoint(200, 150));
    window.moveTo(QPoint(200, 100));
    QCOMPARE(int(window.widget.cursor().shape()), int(Qt::ArrowCursor));
    window.moveTo(pos);
    QCOMPARE(int(window.widget.cursor().shape()), cursor);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&window.widget, &leave);
    QCOMPARE(int(window.widget.cursor().shape()), int(Qt::ArrowCursor));
}

void tst_BorderAdjustFilter::resize_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QSize>("maxSize");
    QTest::addColumn<QRect>("geometry");

    const QSize unlimited(2147483647, 2147483647);
    QTest::newRow("right keeps left")
        << QPoint(398, 150) << QPoint(418, 150) << QPoint(448, 150) << unlimited << QRect(200, 200, 449, 300);
    QTest::newRow("bottom keeps top")
        << QPoint(200, 298) << QPoint(200, 318) << QPoint(200, 348) << unlimited << QRect(200, 200, 400, 349);
    QTest::newRow("left grows")
        << QPoint(1, 150) << QPoint(-19, 150) << QPoint(-50, 150) << unlimited << QRect(150, 200, 450, 300);
    QTest::newRow("left stops at minimum width")
        << QPoint(1, 150) << QPoint(21, 150) << QPoint(350, 150) << unlimited << QRect(399, 200, 201, 300);
    QTest::newRow("top stops at minimum height")
        << QPoint(200, 1) << QPoint(200, 21) << QPoint(200, 290) << unlimited << QRect(200, 349, 400, 151);
    QTest::newRow("corner capped by max size")
        << QPoint(399, 299) << QPoint(419, 319) << QPoint(700, 600) << QSize(420, 320) << QRect(200, 200, 420, 320);
    QTest::newRow("within drag distance")
        << QPoint(398, 150) << QPoint(403, 155) << QPoint(408, 150) << unlimited << startGeometry;
    // The drag distance is Manhattan 10; a header drag keeps the grab point under the pointer.
    QTest::newRow("header drag moves")
        << QPoint(100, 15) << QPoint(120, 15) << QPoint(220, 55) << unlimited << QRect(300, 240, 400, 300);
    QTest::newRow("header within drag distance")
        << QPoint(100, 15) << QPoint(105, 20) << QPoint(100, 25) << unlimited << startGeometry;
    QTest::newRow("below header does nothing")
        << QPoint(200, 150) << QPoint(230, 150) << QPoint(300, 200) << unlimited << startGeometry;
}

void tst_BorderAdjustFilter::resize()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, start);
    QFETCH(QPoint, to);
    QFETCH(QSize, maxSize);
    QFETCH(QRect, geometry);

    Window window;
    window.filter->setMaxSize(maxSize);
    QList<QRect> applied;
    window.filter->setGeometrySetter([&applied](QWidget *w, const QRect &g) {
        applied << g;
        w->setGeometry(g);
    });
    QVERIFY(window.show());
    QCOMPARE(window.widget.geometry(), startGeometry);

    window.drag(from, start, to);
    // Resizes go through the setter, moves do not.
    QCOMPARE(applied.isEmpty(), geometry.size() == startGeometry.size());
    if (!applied.isEmpty())
        QCOMPARE(applied.last(), geometry);
    QTRY_COMPARE(window.widget.geometry(), geometry);
}

void tst_BorderAdjustFilter::doubleClickTogglesMaximised()
{
    Window window;
    QVERIFY(window.show());
    const auto doubleClick = [&window](QPoint pos) {
        window.moveTo(pos);
        QTest::mouseDClick(window.handle(), Qt::LeftButton, {}, pos);
    };
    doubleClick(QPoint(200, 15));
    QTRY_VERIFY(window.widget.isMaximized());
    QCOMPARE(window.widget.contentsMargins(), QMargins());
    doubleClick(QPoint(200, 16));
    QTRY_VERIFY(!window.widget.isMaximized());
    QCOMPARE(window.widget.contentsMargins(), QMargins(3, 3, 3, 3));

    window.filter->setFullScreenOnDoubleClick(true);
    doubleClick(QPoint(200, 15));
    QTRY_VERIFY(window.widget.isFullScreen());
}

void tst_BorderAdjustFilter::maximisedDragRestoresUnderPointer()
{
    Window window;
    QVERIFY(window.show());
    window.widget.showMaximized();
    QTRY_VERIFY(window.widget.isMaximized());
    const QRect maximised = window.widget.geometry();
    window.origin = maximised.topLeft();
    const QPoint from(maximised.width() * 3 / 4, 15);
    const QPoint begin = from + QPoint(0, 20);
    const QPoint globalBegin = maximised.topLeft() + begin;

    window.moveTo(from);
    window.press(from);
    window.moveTo(begin);
    QTRY_VERIFY(!window.widget.isMaximized());
    const int x = int(double(begin.x()) / maximised.width() * startGeometry.width());
    QTRY_COMPARE(window.widget.pos(), QPoint(globalBegin.x() - x, globalBegin.y()));

    // Later moves keep the pointer at x within the restored window.
    const QPoint to = begin + QPoint(-40, 30);
    window.moveTo(to);
    window.release(to);
    const QPoint globalTo = maximised.topLeft() + to;
    QTRY_COMPARE(window.widget.pos(), QPoint(globalTo.x() - x, globalTo.y() - globalBegin.y()));
    QCOMPARE(window.widget.size(), startGeometry.size());
}

QTEST_MAIN(tst_BorderAdjustFilter)
#include "tst_borderadjustfilter.moc"
