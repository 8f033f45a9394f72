#include "BorderAdjustFilter.h"
#include "UiTestSupport.h"

#include <QFrame>

#include <memory>
#include <vector>

const QRect initial(200, 200, 400, 300);

// A frameless window with a 30-pixel header strip; positions are relative to its starting top left.
class tst_BorderAdjustFilter : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> widget;
    BorderAdjustFilter *filter = nullptr;
    Pointer pointer;

    void move(QPoint pos) { pointer.moveTo(initial.topLeft() + pos); }
    Qt::CursorShape shape() const { return widget->cursor().shape(); }

private slots:
    void init()
    {
        widget = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::FramelessWindowHint);
        widget->setMinimumSize(200, 150);
        widget->setGeometry(initial);
        filter = new BorderAdjustFilter(widget.get(), new QFrame(widget.get()));
        widget->findChild<QFrame *>()->setGeometry(0, 0, 400, 30);
        pointer = {widget.get(), {}};
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
        QCOMPARE(widget->contentsMargins(), QMargins(3, 3, 3, 3));
    }

    void drag_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<Qt::CursorShape>("cursor");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QSize>("maxSize");
        const auto row = [](const char *name, QPoint from, QPoint start, QPoint to, Qt::CursorShape shape, QRect result,
                            QSize maxSize = QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX)) {
            QTest::newRow(name) << from << start << to << shape << result << maxSize;
        };
        row("top left", {1, 1}, {1, 1}, {1, 1}, Qt::SizeFDiagCursor, initial);
        row("top right", {399, 0}, {399, 0}, {399, 0}, Qt::SizeBDiagCursor, initial);
        row("bottom left", {0, 298}, {0, 298}, {0, 298}, Qt::SizeBDiagCursor, initial);
        row("inside", {3, 150}, {3, 150}, {3, 150}, Qt::ArrowCursor, initial);
        // A drag starts once the pointer passes the Manhattan distance of 10, at `start`.
        row("right keeps left", {398, 150}, {418, 150}, {448, 150}, Qt::SizeHorCursor, {200, 200, 449, 300});
        row("bottom keeps top", {200, 298}, {200, 318}, {200, 348}, Qt::SizeVerCursor, {200, 200, 400, 349});
        row("left stops at minimum width", {1, 150}, {21, 150}, {350, 150}, Qt::SizeHorCursor, {399, 200, 201, 300});
        row("top stops at minimum height", {200, 1}, {200, 21}, {200, 290}, Qt::SizeVerCursor, {200, 349, 400, 151});
        row("corner capped by max size", {399, 299}, {419, 319}, {700, 600}, Qt::SizeFDiagCursor, {200, 200, 420, 320},
            {420, 320});
        row("within drag distance", {398, 150}, {403, 155}, {408, 150}, Qt::SizeHorCursor, initial);
        row("header drag moves", {100, 15}, {120, 15}, {220, 55}, Qt::ArrowCursor, {300, 240, 400, 300});
        row("header within drag distance", {100, 15}, {105, 20}, {100, 25}, Qt::ArrowCursor, initial);
        row("below header does nothing", {200, 150}, {230, 150}, {300, 200}, Qt::ArrowCursor, initial);
    }

    // Resizes go through the geometry setter, moves do not; leaving restores the arrow.
    void drag()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, start);
        QFETCH(QPoint, to);
        QFETCH(Qt::CursorShape, cursor);
        QFETCH(QRect, geometry);
        QFETCH(QSize, maxSize);
        filter->setMaxSize(maxSize);
        std::vector<QRect> applied;
        filter->setGeometrySetter([&applied](QWidget *w, const QRect &g) { w->setGeometry(applied.emplace_back(g)); });
        move({200, 100});
        QCOMPARE(shape(), Qt::ArrowCursor);
        move(from);
        QCOMPARE(shape(), cursor);
        pointer.press();
        move(start);
        move(to);
        pointer.release();
        QCOMPARE(applied.empty() ? QRect() : applied.back(), geometry.size() == initial.size() ? QRect() : geometry);
        QTRY_COMPARE(widget->geometry(), geometry);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget.get(), &leave);
        QCOMPARE(shape(), Qt::ArrowCursor);
    }

    // A header double click toggles; dragging the maximised window restores it at the pointer's proportional x.
    void maximise()
    {
        const auto doubleClick = [this](QPoint pos) {
            pointer.moveTo(widget->mapToGlobal(pos));
            pointer.doubleClick();
        };
        doubleClick({200, 15});
        QTRY_VERIFY(widget->isMaximized());
        QCOMPARE(widget->contentsMargins(), QMargins());
        const QRect maximised = widget->geometry();
        pointer.moveTo(maximised.topLeft() + QPoint(0, 150));
        QCOMPARE(shape(), Qt::ArrowCursor);
        const QPoint from = maximised.topLeft() + QPoint(maximised.width() * 3 / 4, 15), begin = from + QPoint(0, 20);
        pointer.moveTo(from);
        pointer.press();
        pointer.moveTo(begin);
        QTRY_VERIFY(!widget->isMaximized());
        QCOMPARE(widget->contentsMargins(), QMargins(3, 3, 3, 3));
        const int x = int(double(begin.x() - maximised.x()) / maximised.width() * initial.width());
        QTRY_COMPARE(widget->pos(), begin - QPoint(x, 0));
        pointer.moveTo(begin + QPoint(-40, 30));
        pointer.release();
        QTRY_COMPARE(widget->pos(), QPoint(begin.x() - 40 - x, 30));
        QCOMPARE(widget->size(), initial.size());
        doubleClick({200, 15});
        QTRY_VERIFY(widget->isMaximized());
        doubleClick({200, 16});
        QTRY_VERIFY(!widget->isMaximized());
        filter->setFullScreenOnDoubleClick(true);
        doubleClick({200, 15});
        QTRY_VERIFY(widget->isFullScreen());
    }
};

QTEST_MAIN(tst_BorderAdjustFilter)
#include "tst_borderadjustfilter.moc"
