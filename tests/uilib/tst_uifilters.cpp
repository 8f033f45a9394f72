#include "YAdptivePaddingFilter.h"
#include "YBrushBackgroundFilter.h"
#include "YEventTriggerEventFilter.h"
#include "YFillFilter.h"
#include "YPropertyChangedEventFilter.h"
#include "YToolButtonAdptiveWidth.h"

#include <QPushButton>
#include <QtTest>

namespace {

struct FocusCounter : QPushButton
{
    int focusIns = 0;
    void focusInEvent(QFocusEvent *event) override { ++focusIns; QPushButton::focusInEvent(event); }
};

} // namespace

class tst_UiFilters : public QObject
{
    Q_OBJECT

private slots:
    void eventTriggerRunsAndPassesOn();
    void propertyChanges();
    void stripedBackground_data();
    void stripedBackground();
    void fillAndPaddingFollowParent();
    void adaptiveWidth_data();
    void adaptiveWidth();
};

void tst_UiFilters::eventTriggerRunsAndPassesOn()
{
    FocusCounter button;
    QList<int> seen;
    new YEventTriggerEventFilter(&button, QEvent::FocusIn, [&seen](QEvent *e) { seen << e->type(); });
    for (int i = 0; i < 2; ++i) {
        QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(&button, &in);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&button, &out);
    }
    QCOMPARE(seen, (QList<int>{QEvent::FocusIn, QEvent::FocusIn}));
    QCOMPARE(button.focusIns, 2);
}

void tst_UiFilters::propertyChanges()
{
    QObject target;
    QList<QPair<QString, QVariant>> seen;
    new YPropertyChangedEventFilter(&target, [&seen](const QString &name, const QVariant &value) {
        seen.append({name, value});
    });
    target.setProperty("__color", QColor(Qt::red));
    target.setProperty("__color", QColor(Qt::blue));
    target.setProperty("count", 7);
    target.setProperty("count", QVariant());
    const QList<QPair<QString, QVariant>> expected = {
        {"__color", QColor(Qt::red)}, {"__color", QColor(Qt::blue)}, {"count", 7}, {"count", QVariant()}};
    QCOMPARE(seen, expected);
}

void tst_UiFilters::stripedBackground_data()
{
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second");
    QTest::addColumn<QColor>("border");

    QTest::newRow("stock colours") << false << QColor("#2a2a2b") << QColor("#3c3d41") << QColor("#3c3d41");
    QTest::newRow("given colours") << true << QColor("#102030") << QColor("#405060") << QColor("#ff0000");
}

void tst_UiFilters::stripedBackground()
{
    QFETCH(bool, custom);
    QFETCH(QColor, first);
    QFETCH(QColor, second);
    QFETCH(QColor, border);

    QWidget widget;
    widget.resize(40, 30);
    const QColor colours[2] = {first, second};
    YBrushBackgroundFilter *filter = custom ? YBrushBackgroundFilter::striped(4, colours, border, &widget)
                                            : YBrushBackgroundFilter::striped(4, &widget);
    QCOMPARE(filter->brush().textureImage().size(), QSize(10, 8));
    widget.installEventFilter(filter);

    const QImage image = widget.grab().toImage();
    const QList<QPair<QPoint, QColor>> expected = {{{20, 1}, first},  {{20, 3}, first},  {{20, 4}, second},
                                                   {{20, 7}, second}, {{20, 9}, first},  {{39, 5}, border},
                                                   {{0, 5}, border}};
    for (const auto &[pos, colour] : expected)
        QCOMPARE(image.pixelColor(pos), colour);
}

void tst_UiFilters::fillAndPaddingFollowParent()
{
    QWidget parent;
    parent.resize(100, 50);
    auto *overlay = new QWidget(&parent);
    auto *padded = new QWidget(&parent);
    padded->setGeometry(5, 5, 10, 10);
    new YFillFilter(overlay);
    new YAdptivePaddingFilter(padded);
    QVERIFY(overlay->testAttribute(Qt::WA_TranslucentBackground));
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    parent.resize(210, 83);
    QTRY_COMPARE(overlay->size(), QSize(210, 83));
    QCOMPARE(padded->geometry(), QRect(0, 0, 210, 83));

    // Without a parent the padding filter leaves the widget alone.
    QWidget orphan;
    orphan.setGeometry(10, 20, 30, 40);
    new YAdptivePaddingFilter(&orphan);
    orphan.resize(50, 60);
    QCOMPARE(orphan.geometry(), QRect(10, 20, 50, 60));
}

void tst_UiFilters::adaptiveWidth_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("padding");

    QTest::newRow("empty caption") << QString() << 20;
    QTest::newRow("latin") << QString("Apply now") << 12;
    QTest::newRow("chinese") << QString::fromUtf8("全部保存") << 30;
}

void tst_UiFilters::adaptiveWidth()
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

QTEST_MAIN(tst_UiFilters)
#include "tst_uifilters.moc"
