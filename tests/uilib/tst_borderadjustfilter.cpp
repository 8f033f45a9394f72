#include "BorderAdjustFilter.h"

#include <QApplication>
#include <QFrame>
#include <QWindow>
#include <QtTest>

#include <vector>

namespace {

const QRect startGeometry(200, 200, 400, 300);
const QMargins border(3, 3, 3, 3);

// A frameless window with a 30-pixel header strip. Positions are relative
// to `origin` and sent through the window system in the window's
// coordinates of the moment, so they stay put while the window moves.
struct Window
{
    Window()
    {
        widget.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        widget.setMinimumSize(200, 150);
        widget.setGeometry(startGeometry);
        (new QFrame(&widget))->setGeometry(0, 0, 400, 30);
        filter = new BorderAdjustFilter(&widget, widget.findChild<QFrame *>());
        widget.show();
    }

    QPoint local(QPoint pos) const { return origin + pos - widget.pos(); }
    void moveTo(QPoint pos) { QTest::mouseMove(widget.windowHandle(), local(pos)); }
    void press(QPoint pos) { QTest::mousePress(widget.windowHandle(), Qt::LeftButton, {}, local(pos)); }
    void release(QPoint pos) { QTest::mouseRelease(widget.windowHandle(), Qt::LeftButton, {}, local(pos)); }
    // In the window's own coordinates.
    void doubleClick(QPoint pos)
    {
        QTest::mouseMove(widget.windowHandle(), pos);
        QTest::mouseDClick(widget.windowHandle(), Qt::LeftButton, {}, pos);
    }
    Qt::CursorShape cursor() const { return widget.cursor().shape(); }

    QPoint origin = startGeometry.topLeft();
    QWidget widget;
    BorderAdjustFilter *filter = nullptr;
};

} // namespace

class tst_BorderAdjustFilter : public QObject
{
    Q_OBJECT

private slots:
    void drag_data();
    void drag();
    void maximise();
};

void tst_BorderAdjustFilter::drag_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<Qt::CursorShape>("cursor");
    QTest::addColumn<QSize>("maxSize");
    QTest::addColumn<QRect>("geometry");

    const QSize any(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const auto hover = [&](const char *name, QPoint at, Qt::CursorShape cursor) {
        QTest::newRow(name) << at << at << at << cursor << any << startGeometry;
    };
    hover("top", QPoint(200, 2), Qt::SizeVerCursor);
    hover("top left", QPoint(1, 1), Qt::SizeFDiagCursor);
    hover("top right", QPoint(399, 0), Qt::SizeBDiagCursor);
    hover("bottom left", QPoint(0, 298), Qt::SizeBDiagCursor);
    hover("inside", QPoint(3, 150), Qt::ArrowCursor);
    // A drag starts once the pointer passes the Manhattan distance of 10 (`start`).
    QTest::newRow("right keeps left") << QPoint(398, 150) << QPoint(418, 150) << QPoint(448, 150)
                                      << Qt::SizeHorCursor << any << QRect(200, 200, 449, 300);
    QTest::newRow("bottom keeps top") << QPoint(200, 298) << QPoint(200, 318) << QPoint(200, 348)
                                      << Qt::SizeVerCursor << any << QRect(200, 200, 400, 349);
    QTest::newRow("left grows") << QPoint(1, 150) << QPoint(-19, 150) << QPoint(-50, 150) << Qt::SizeHorCursor << any
                                << QRect(150, 200, 450, 300);
    QTest::newRow("left stops at minimum width") << QPoint(1, 150) << QPoint(21, 150) << QPoint(350, 150)
                                                 << Qt::SizeHorCursor << any << QRect(399, 200, 201, 300);
    QTest::newRow("top stops at minimum height") << QPoint(200, 1) << QPoint(200, 21) << QPoint(200, 290)
                                                 << Qt::SizeVerCursor << any << QRect(200, 349, 400, 151);
    QTest::newRow("corner capped by max size") << QPoint(399, 299) << QPoint(419, 319) << QPoint(700, 600)
                                               << Qt::SizeFDiagCursor << QSize(420, 320) << QRect(200, 200, 420, 320);
    QTest::newRow("within drag distance") << QPoint(398, 150) << QPoint(403, 155) << QPoint(408, 150)
                                          << Qt::SizeHorCursor << any << startGeometry;
    QTest::newRow("header drag moves") << QPoint(100, 15) << QPoint(120, 15) << QPoint(220, 55) << Qt::ArrowCursor
                                       << any << QRect(300, 240, 400, 300);
    QTest::newRow("header within drag distance") << QPoint(100, 15) << QPoint(105, 20) << QPoint(100, 25)
                                                 << Qt::ArrowCursor << any << startGeometry;
    QTest::newRow("below header does nothing") << QPoint(200, 150) << QPoint(230, 150) << QPoint(300, 200)
                                               << Qt::ArrowCursor << any << startGeometry;
}

// Resizes go through the geometry setter, moves do not; leaving restores the arrow.
void tst_BorderAdjustFilter::drag()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, start);
    QFETCH(QPoint, to);
    QFETCH(Qt::CursorShape, cursor);
    QFETCH(QSize, maxSize);
    QFETCH(QRect, geometry);

    Window window;
    window.filter->setMaxSize(maxSize);
    std::vector<QRect> applied;
    window.filter->setGeometrySetter([&applied](QWidget *w, const QRect &g) { w->setGeometry(applied.emplace_back(g)); });
    QVERIFY(QTest::qWaitForWindowExposed(&window.widget));
    QCOMPARE(window.widget.geometry(), startGeometry);
    QCOMPARE(window.widget.contentsMargins(), border);

    window.moveTo(QPoint(200, 100));
    QCOMPARE(window.cursor(), Qt::ArrowCursor);
    window.moveTo(from);
    QCOMPARE(window.cursor(), cursor);
    window.press(from);
    window.moveTo(start);
    window.moveTo(to);
    window.release(to);
    QCOMPARE(applied.empty() ? QRect() : applied.back(), geometry.size() == startGeometry.size() ? QRect() : geometry);
    QTRY_COMPARE(window.widget.geometry(), geometry);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&window.widget, &leave);
    QCOMPARE(window.cursor(), Qt::ArrowCursor);
}

// A double click on the header toggles; a drag of the maximised window
// restores it with the pointer at the same proportional x.
void tst_BorderAdjustFilter::maximise()
{
    Window window;
    QVERIFY(QTest::qWaitForWindowExposed(&window.widget));
    window.doubleClick(QPoint(200, 15));
    QTRY_VERIFY(window.widget.isMaximized());
    QCOMPARE(window.widget.contentsMargins(), QMargins());
    const QRect maximised = window.widget.geometry();
    window.origin = maximised.topLeft();
    window.moveTo(QPoint(0, 150));
    QCOMPARE(window.cursor(), Qt::ArrowCursor);

    const QPoint from(maximised.width() * 3 / 4, 15), begin = from + QPoint(0, 20), to = begin + QPoint(-40, 30);
    window.press(from);
    window.moveTo(begin);
    QTRY_VERIFY(!window.widget.isMaximized());
    QCOMPARE(window.widget.contentsMargins(), border);
    const int x = int(double(begin.x()) / maximised.width() * startGeometry.width());
    QTRY_COMPARE(window.widget.pos(), maximised.topLeft() + QPoint(begin.x() - x, begin.y()));
    window.moveTo(to);
    window.release(to);
    QTRY_COMPARE(window.widget.pos(), QPoint(maximised.x() + to.x() - x, to.y() - begin.y()));
    QCOMPARE(window.widget.size(), startGeometry.size());

    window.doubleClick(QPoint(200, 15));
    QTRY_VERIFY(window.widget.isMaximized());
    window.doubleClick(QPoint(200, 16));
    QTRY_VERIFY(!window.widget.isMaximized());
    window.filter->setFullScreenOnDoubleClick(true);
    window.doubleClick(QPoint(200, 15));
    QTRY_VERIFY(window.widget.isFullScreen());
}

QTEST_MAIN(tst_BorderAdjustFilter)
#include "tst_borderadjustfilter.moc"
