#include "FakeView.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "UrlIconLabel.h"
#include "UrlLineEdit.h"
#include "YToolButton.h"

#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A window with the URL bar, another field to move the focus to, and tabs.
struct Browser
{
    Browser()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(urlEdit = new UrlLineEdit);
        layout->addWidget(other = new QLineEdit);
        layout->addWidget(tabs = new TabWidget);
        first = qobject_cast<FakeView*>(tabs->createTab());
        first->setUrl("http://127.0.0.1:1/first");
        urlEdit->setTabWidget(tabs);
        urlEdit->setFixedSize(400, 28);
        window.show();
    }
    QLineEdit* edit() const { return urlEdit->lineEdit(); }
    bool focus(QWidget* widget)
    {
        window.activateWindow();
        widget->setFocus();
        return QTest::qWaitForWindowActive(&window) && QTest::qWaitFor([widget] { return widget->hasFocus(); });
    }
    QRgb iconColour() const { return urlEdit->findChild<UrlIconLabel*>()->pixmap()->toImage().pixel(8, 8); }

    QWidget window;
    UrlLineEdit* urlEdit;
    QLineEdit* other;
    TabWidget* tabs;
    FakeView* first;
};

int barWidth(QWidget* widget, int row)
{
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int x = 0; x < image.width(); ++x)
        count += image.pixel(x, row) == qRgb(0xF1, 0xF9, 0xFF);
    return count;
}

} // namespace

class tst_UrlLineEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void followsTheCurrentView();
    void emptyTextRestoredOnFocusOut();
    void progressBar_data();
    void progressBar();
    void layoutAndClearButton();
    void drag_data();
    void drag();
};

void tst_UrlLineEdit::initTestCase()
{
    YUILIB::initialise();
    WebView::registerFactory(WebView::QtEngine, [](TabWidget* tab) { return new FakeView(tab); });
}

void tst_UrlLineEdit::followsTheCurrentView()
{
    Browser browser;
    QCOMPARE(browser.edit()->text(), QStringLiteral("http://127.0.0.1:1/first"));
    QCOMPARE(browser.iconColour(), QColor(browser.first->id * 10, 0, 0).rgb());
    auto* second = qobject_cast<FakeView*>(browser.tabs->createTab());
    second->setUrl("http://127.0.0.1:1/second");
    QCOMPARE(browser.edit()->text(), QStringLiteral("http://127.0.0.1:1/second"));
    QCOMPARE(browser.edit()->cursorPosition(), 0);
    QCOMPARE(browser.iconColour(), QColor(second->id * 10, 0, 0).rgb());

    browser.tabs->setCurrentIndex(0);
    // A background tab's report changes neither text nor icon.
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(browser.edit()->text(), QStringLiteral("http://127.0.0.1:1/first"));
        QCOMPARE(browser.iconColour(), QColor(browser.first->id * 10, 0, 0).rgb());
        second->report("http://127.0.0.1:1/background", solidIcon(Qt::green));
    }
}

void tst_UrlLineEdit::emptyTextRestoredOnFocusOut()
{
    Browser browser;
    QVERIFY(browser.focus(browser.urlEdit));
    browser.edit()->clear();
    QVERIFY(browser.focus(browser.other));
    QCOMPARE(browser.edit()->text(), QStringLiteral("http://127.0.0.1:1/first"));

    QVERIFY(browser.focus(browser.urlEdit));
    browser.edit()->setText("typed");
    QVERIFY(browser.focus(browser.other));
    QCOMPARE(browser.edit()->text(), QStringLiteral("typed"));
    QCOMPARE(browser.first->loads, QStringList { "http://127.0.0.1:1/first" });
}

void tst_UrlLineEdit::progressBar_data()
{
    QTest::addColumn<int>("progress");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<int>("width");

    QTest::newRow("half") << 50 << false << 150;
    QTest::newRow("none") << 0 << false << 0;
    QTest::newRow("third") << 33 << false << 99;
    QTest::newRow("full") << 100 << false << 300;
    QTest::newRow("beyond") << 250 << false << 300;
    QTest::newRow("focused") << 50 << true << 0;
}

void tst_UrlLineEdit::progressBar()
{
    QFETCH(int, progress);
    QFETCH(bool, focused);
    QFETCH(int, width);

    Browser browser;
    // Contents rectangle (2, 2, 300, 24) inside the style sheet's border.
    browser.urlEdit->setFixedWidth(304);
    QVERIFY(browser.focus(focused ? static_cast<QWidget*>(browser.urlEdit) : browser.other));
    browser.tabs->viewLoadProgress(browser.first, progress);
    QCOMPARE(barWidth(browser.urlEdit, 2), width);
    QCOMPARE(barWidth(browser.urlEdit, 25), width);
    QCOMPARE(barWidth(browser.urlEdit, 1), 0);
    QCOMPARE(barWidth(browser.urlEdit, 26), 0);
    if (width > 0)
        QCOMPARE(browser.urlEdit->grab().toImage().pixel(2, 2), qRgb(0xF1, 0xF9, 0xFF));
}

void tst_UrlLineEdit::layoutAndClearButton()
{
    Browser browser;
    QVERIFY(QTest::qWaitForWindowExposed(&browser.window));
    auto* clear = browser.urlEdit->findChild<YUILIB::YToolButton*>();
    auto* hint = browser.urlEdit->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(browser.edit()->geometry(), QRect(4, 0, 372, 28));
    QCOMPARE(clear->geometry(), QRect(376, 4, 20, 20));
    // Contents rectangle (2, 2, 396, 24): icon 8 pixels in, centred vertically.
    QCOMPARE(browser.urlEdit->findChild<UrlIconLabel*>()->geometry(), QRect(10, 6, 16, 16));
    // Hint: the right 120 pixels of the 396 - 28 - 16 pixels after the icon.
    QCOMPARE(hint->geometry(), QRect(26 + 352 - 1 - 120, 0, 120, 28));
    QCOMPARE(browser.edit()->textMargins(), QMargins(25, 0, 0, 0));

    QCOMPARE(clear->toolTip(), QStringLiteral("清除"));
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(browser.edit()->text(), QString());
    QCOMPARE(browser.first->loads, QStringList { "http://127.0.0.1:1/first" });
    QVERIFY(hint->isVisible());
    QCOMPARE(hint->text(), QStringLiteral("按Enter键结束输入"));
}

void tst_UrlLineEdit::drag_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("distance");
    QTest::addColumn<bool>("drags");

    const int left = Qt::LeftButton, right = Qt::RightButton;
    const int start = QApplication::startDragDistance();
    QTest::newRow("at drag distance") << left << left << start << false;
    QTest::newRow("past drag distance") << left << left << start + 1 << true;
    QTest::newRow("right button") << right << right << start + 20 << false;
    QTest::newRow("both buttons") << left << (left | right) << start + 20 << false;
}

void tst_UrlLineEdit::drag()
{
    QFETCH(int, button);
    QFETCH(int, buttons);
    QFETCH(int, distance);
    QFETCH(bool, drags);

    Browser browser;
    QVERIFY(QTest::qWaitForWindowExposed(&browser.window));
    auto* label = browser.urlEdit->findChild<UrlIconLabel*>();
    QString text;
    QList<QUrl> urls;
    bool started = false;
    QTimer::singleShot(50, [&] {
        if (QDrag* drag = label->findChild<QDrag*>()) {
            started = true;
            text = drag->mimeData()->text();
            urls = drag->mimeData()->urls();
            QDrag::cancel();
        }
    });
    const QPoint from(2, 2), to(2 + distance / 2, 2 + distance - distance / 2);
    QMouseEvent press(QEvent::MouseButtonPress, from, label->mapToGlobal(from), Qt::MouseButton(button), Qt::MouseButtons(button), {});
    QApplication::sendEvent(label, &press);
    QMouseEvent move(QEvent::MouseMove, to, label->mapToGlobal(to), Qt::NoButton, Qt::MouseButtons(buttons), {});
    QApplication::sendEvent(label, &move);
    QTest::qWait(100);
    QCOMPARE(started, drags);
    if (drags) {
        QCOMPARE(text, QStringLiteral("http://127.0.0.1:1/first"));
        QCOMPARE(urls, QList<QUrl> { QUrl("http://127.0.0.1:1/first") });
    }
}

QTEST_MAIN(tst_UrlLineEdit)
#include "tst_urllineedit.moc"
