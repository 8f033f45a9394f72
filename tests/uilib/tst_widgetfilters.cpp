#include "YAdptivePaddingFilter.h"
#include "YEventTriggerEventFilter.h"
#include "YPropertyChangedEventFilter.h"
#include "YToolButton.h"
#include "YToolButtonAdptiveWidth.h"
#include "YToolButtonPainters.h"

#include <QtTest>
#include <QtWidgets>

using YUILIB::YToolButton;
Q_DECLARE_METATYPE(QList<QColor>)

namespace {

// Four columns of one colour each: disabled, normal, hot, pressed.
QImage strip()
{
    QImage image(40, 10, QImage::Format_ARGB32);
    const QColor colours[] = {Qt::gray, Qt::white, Qt::blue, Qt::red};
    QPainter painter(&image);
    for (int column = 0; column < 4; ++column)
        painter.fillRect(column * 10, 0, 10, 10, colours[column]);
    return image;
}

struct FocusCountingButton : QPushButton
{
    using QPushButton::QPushButton;
    int focusIns = 0;
    void focusInEvent(QFocusEvent *event) override
    {
        ++focusIns;
        QPushButton::focusInEvent(event);
    }
};

} // namespace

class tst_WidgetFilters : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->resize(300, 100);
    }

    void toolButtonState_data()
    {
        QTest::addColumn<QString>("conditions");
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("column");
        QTest::newRow("plain") << "" << 0 << QColor(Qt::white);
        QTest::newRow("disabled, checked, hovered") << "disabled checked hovered" << 7 << QColor(Qt::gray);
        QTest::newRow("pressed with focus") << "down focus" << 24 << QColor(Qt::red);
        QTest::newRow("pressed and hovered") << "down hovered" << 12 << QColor(Qt::red);
        QTest::newRow("hovered") << "hovered" << 4 << QColor(Qt::blue);
    }

    // The state bits the painting callables get, and the strip column drawn for them.
    void toolButtonState()
    {
        QFETCH(QString, conditions);
        QFETCH(int, state);
        QFETCH(QColor, column);
        auto *button = new YToolButton(window.get());
        button->setGeometry(10, 10, 40, 20);
        YUILIB::setImageStrip(button, strip());
        int painted = -1;
        button->setUnderlay([&painted](QPainter &, int s) { painted = s; });
        QVERIFY(showActive());
        button->setCheckable(conditions.contains("checked"));
        button->setChecked(conditions.contains("checked"));
        // Losing the focus lets a pressed button go: focus first.
        conditions.contains("focus") ? button->setFocus() : button->clearFocus();
        QTRY_COMPARE(button->hasFocus(), conditions.contains("focus"));
        button->setDown(conditions.contains("down"));
        if (conditions.contains("hovered")) {
            QEvent enter(QEvent::Enter);
            QApplication::sendEvent(button, &enter);
        }
        button->setEnabled(!conditions.contains("disabled"));
        const QImage image = button->grab().toImage();
        QCOMPARE(painted, state);
        QCOMPARE(button->paintState(), state);
        QCOMPARE(image.pixelColor(20, 10), column);
    }

    void colorChanged_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QList<QColor>>("colours");
        QTest::addColumn<int>("emitted");
        QTest::newRow("same colour twice") << QVariant() << QList<QColor>{Qt::red, Qt::red} << 1;
        QTest::newRow("each change") << QVariant() << QList<QColor>{Qt::red, Qt::blue, Qt::red} << 3;
        QTest::newRow("invalid ignored") << QVariant() << QList<QColor>{Qt::red, QColor()} << 1;
        QTest::newRow("stored as text") << QVariant("#ff0000") << QList<QColor>{Qt::red} << 0;
    }

    void colorChanged()
    {
        QFETCH(QVariant, stored);
        QFETCH(QList<QColor>, colours);
        QFETCH(int, emitted);
        YToolButton button;
        button.setProperty("__color", stored);
        QSignalSpy spy(&button, &YToolButton::colorChanged);
        QColor kept;
        for (const QColor &colour : colours) {
            YUILIB::setColorButton(&button, colour);
            kept = colour.isValid() ? colour : kept;
        }
        QCOMPARE(spy.count(), emitted);
        QCOMPARE(YUILIB::buttonColor(&button), kept);
    }

    void adaptiveWidth_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("width");
        QTest::newRow("empty caption") << QString() << 20;
        QTest::newRow("caption") << QString("确认") << -1;
    }

    void adaptiveWidth()
    {
        QFETCH(QString, caption);
        QFETCH(int, width);
        auto *button = new QPushButton(caption, window.get());
        new YToolButtonAdptiveWidth(button, 20);
        QVERIFY(showActive());
        button->resize(200, 30);
        if (width < 0)
            width = button->fontMetrics().boundingRect(caption).width() + 20;
        QTRY_COMPARE(button->width(), width);
        QCOMPARE(button->minimumWidth(), width);
        QCOMPARE(button->maximumWidth(), width);
    }

    void paddingFilter_data()
    {
        QTest::addColumn<bool>("parented");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("with a parent") << true << QRect(0, 0, 250, 80);
        QTest::newRow("without a parent") << false << QRect(5, 5, 10, 10);
    }

    // Without a parent at construction the filter watches nothing, even once the widget gets one.
    void paddingFilter()
    {
        QFETCH(bool, parented);
        QFETCH(QRect, geometry);
        auto *child = new QWidget(parented ? window.get() : nullptr);
        new YAdptivePaddingFilter(child);
        child->setParent(window.get());
        child->setGeometry(5, 5, 10, 10);
        window->resize(250, 80);
        QVERIFY(showActive());
        QCOMPARE(child->geometry(), geometry);
    }

    // Each focus-in runs the callable, and the button still gets the event.
    void focusInTrigger()
    {
        auto *watched = new FocusCountingButton("a", window.get());
        auto *other = new QPushButton("b", window.get());
        other->move(100, 0);
        int triggered = 0;
        new YEventTriggerEventFilter(watched, QEvent::FocusIn, [&triggered](QEvent *e) {
            QCOMPARE(e->type(), QEvent::FocusIn);
            ++triggered;
        });
        QVERIFY(showActive());
        for (QWidget *w : QList<QWidget *>{watched, other, watched}) {
            w->setFocus();
            QTRY_VERIFY(w->hasFocus());
        }
        QCOMPARE(triggered, 2);
        QCOMPARE(watched->focusIns, 2);
    }

    // The first setting of a property and every later change reach the callable with the new value.
    void propertyCallbacks()
    {
        QObject watched;
        QStringList seen;
        new YPropertyChangedEventFilter(&watched, [&seen](const QString &name, const QVariant &value) {
            seen << name + "=" + value.toString();
        });
        watched.setProperty("_button_role_", 3);
        watched.setProperty("_button_role_", 6);
        watched.setProperty("__color", QColor(Qt::red));
        watched.setProperty("_button_role_", QVariant());
        QCOMPARE(seen, (QStringList{"_button_role_=3", "_button_role_=6", "__color=#ff0000", "_button_role_="}));
    }

private:
    // Without a window manager the window may need asking more than once.
    bool showActive()
    {
        window->show();
        return QTest::qWaitFor([this] { window->activateWindow(); return QTest::qWaitForWindowActive(window.get(), 500); },
                               20000);
    }

    std::unique_ptr<QWidget> window;
};

QTEST_MAIN(tst_WidgetFilters)
#include "tst_widgetfilters.moc"
