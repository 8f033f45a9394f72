#include "FakeView.h"
#include "HostSegment.h"
#include "UiLibSetup.h"
#include "UrlIconLabel.h"
#include "UrlLineEdit.h"
#include "YBrowserRunner.h"
#include "YToolButton.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QString pageA = "http://127.0.0.1:1/a";

BrowserParams record(const QStringList& urls = { pageA }, const QString& current = pageA, const QSize& page = QSize(64, 48))
{
    BrowserParams p;
    p.urls = urls;
    p.currentUrl = current;
    p.pageSize = page;
    p.sharedMemoryKey = uniqueKey();
    p.hidden = false;
    return p;
}

struct Runner
{
    explicit Runner(const BrowserParams& p) : window(p), host(p.sharedMemoryKey) { host.join(); }
    TabWidget* tabs() const { return window.findChild<TabWidget*>(); }
    FakeView* view() const { return qobject_cast<FakeView*>(tabs()->currentView()); }
    QPushButton* button(const char* name) const { return window.findChild<QPushButton*>(name); }
    UrlLineEdit* urlBar() const { return window.findChild<UrlLineEdit*>(); }
    QLineEdit* urlEdit() const { return urlBar()->lineEdit(); }
    QLineEdit* sizeEdit() const { return window.findChild<QComboBox*>("comboBox")->lineEdit(); }
    bool show() { return window.show(), QTest::qWaitForWindowExposed(&window); }
    bool focus(QWidget* widget)
    {
        window.activateWindow(), widget->setFocus();
        return QTest::qWaitForWindowActive(&window) && QTest::qWaitFor([widget] { return widget->hasFocus(); });
    }

    YBrowserRunner window;
    HostSegment host;
};

} // namespace

class tst_RunnerWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        YUILIB::initialise();
        WebView::registerFactory(WebView::QtEngine, [](TabWidget* tab) { return new FakeView(tab); });
    }

    void updateParams_data()
    {
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("index");
        const QString a = "http://127.0.0.1:1/a", b = "http://127.0.0.1:1/b", c = "http://127.0.0.1:1/c";
        QTest::newRow("second of three") << QStringList { a, b, c } << b << 1;
        QTest::newRow("current not listed") << QStringList { a, b, c } << "http://elsewhere/" << 2;
        QTest::newRow("first match") << QStringList { a, b, a } << a << 0;
        QTest::newRow("no urls") << QStringList {} << a << -1;
    }

    void updateParams()
    {
        QFETCH(QStringList, urls);
        QFETCH(QString, current);
        QFETCH(int, index);
        Runner runner(record(BrowserParams().urls, BrowserParams::DefaultUrl, QSize(1920, 1080)));
        QCOMPARE(runner.window.params(), BrowserParams());
        QPointer<FakeView> old = runner.view();
        BrowserParams next = record(urls, current, QSize(40, 30));
        next.sharedMemoryKey = runner.host.memory.key();
        runner.window.updateParams(next);
        TabWidget* tabs = runner.tabs();
        QCOMPARE(tabs->count(), urls.size());
        QCOMPARE(tabs->currentIndex(), index);
        for (int i = 0; i < urls.size(); ++i)
            QCOMPARE(qobject_cast<FakeView*>(tabs->webView(i))->loads, QStringList { urls.at(i) });
        QCOMPARE(runner.window.url(), index < 0 ? QUrl() : QUrl(urls.at(index)));
        QCOMPARE(runner.window.isMute(), index < 0);
        QCOMPARE(old->isMuted(), true);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(old.isNull());
        if (index >= 0)
            return;
        // Without a view nothing fails, and a whole frame resets B's header only.
        runner.window.setUrl(QUrl("http://127.0.0.1:1/z"));
        runner.window.setMute(false);
        FrameHeader* b = runner.host.header(1);
        std::fill(b->pixels(), b->pixels() + 40 * 30 * 4, 0x5a);
        b->wholeFrame = b->dirtyX = b->dirtyY = b->dirtyWidth = b->dirtyHeight = b->width = b->height = 3;
        QSignalSpy finished(&runner.window, &HostedRunner::loadFinished);
        runner.window.wholeImage();
        emit tabs->loadFinished(true);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(b), 4), QByteArray::fromHex("00010000"));
        QCOMPARE(QSize(b->width, b->height), QSize(40, 30));
        QCOMPARE(runner.host.dirty(1), QRect(0, 0, 40, 30));
        QCOMPARE(runner.host.bytes(1, 0, 40 * 30 * 4), QByteArray(40 * 30 * 4, 0x5a));
        QCOMPARE(finished.count(), 0);
    }

    void framesFollowTheCurrentView()
    {
        Runner runner(record());
        HostSegment& host = runner.host;
        TabWidget* tabs = runner.tabs();
        FakeView* first = runner.view();
        QSignalSpy finished(&runner.window, &HostedRunner::loadFinished);
        // Set-up: A holds the first whole frame, B counts as taken.
        QCOMPARE(QByteArray(reinterpret_cast<char*>(host.header(0)), 3) + QByteArray(reinterpret_cast<char*>(host.header(1)), 3),
                 QByteArray::fromHex("000100" "010000"));
        QCOMPARE(host.dirty(0), QRect(0, 0, 64, 48));
        QCOMPARE(host.pixel(0, 63, 47), FakeView::colourOf(first->id, 1));
        // The first partial update moves to B with exactly its rectangle; while nothing is taken, more add to it.
        QImage update(3, 2, QImage::Format_ARGB32);
        update.fill(qRgba(1, 2, 3, 4));
        emit tabs->viewUpdate(5, 7, update);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(host.header(1)), 2), QByteArray(2, 0));
        QCOMPARE(host.dirty(1), QRect(5, 7, 3, 2));
        emit tabs->viewUpdate(20, 2, update);
        emit tabs->viewUpdate(10, 30, update.copy(0, 0, 1, 1));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(host.header(1)), 2), QByteArray(2, 0));
        QCOMPARE(host.dirty(1), QRect(5, 2, 18, 29));
        QCOMPARE(QList<QRgb>({ host.pixel(1, 7, 8), host.pixel(1, 10, 30), host.pixel(1, 15, 15) }), QList<QRgb>({ qRgba(1, 2, 3, 4), qRgba(1, 2, 3, 4), 0 }));
        // A new current tab: previous muted, new unmuted, two whole frames, one snapshot.
        auto* second = qobject_cast<FakeView*>(tabs->createTab());
        QCOMPARE(first->mutes + second->mutes, QList<bool>({ true, false }));
        QCOMPARE(second->renders, 3);
        QCOMPARE(host.header(1)->wholeFrame, quint8(1));
        QCOMPARE(host.dirty(1), QRect(0, 0, 64, 48));
        QCOMPARE(host.pixel(1, 10, 10), FakeView::colourOf(second->id, 2));
        QCOMPARE(host.pixel(0, 10, 10), FakeView::colourOf(first->id, 1));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(finished.at(0).at(1).value<QImage>().pixel(63, 47), FakeView::colourOf(second->id, 3));
        // A partial after a whole frame keeps it whole; the flag follows the tab widget's engine mode.
        emit tabs->viewUpdate(1, 1, update);
        QCOMPARE(host.header(1)->wholeFrame, quint8(1));
        QCOMPARE(host.dirty(1), QRect(0, 0, 64, 48));
        host.header(0)->consumed = 1;
        tabs->setEngineMode(WebView::VipMiniEngine);
        runner.window.wholeImage();
        QCOMPARE(host.header(0)->engineFlag, quint8(1));
        QCOMPARE(host.pixel(0, 0, 0), FakeView::colourOf(second->id, 4));
    }

    // Rendered at the next paint; a newer load or SettingDone takes a waiting one first, in order.
    void loadSnapshotWaitsForPaint()
    {
        Runner runner(record());
        FakeView* view = runner.view();
        view->paintsReported = true;
        QStringList heard;
        connect(&runner.window, &HostedRunner::loadFinished, this, [&](bool ok, const QImage& image) {
            heard << QStringLiteral("load %1 %2").arg(ok).arg(image.pixel(0, 0) == FakeView::colourOf(view->id, view->renders));
        });
        connect(&runner.window, &HostedRunner::settingDone, this, [&] { heard << "setting done"; });
        emit runner.tabs()->loadFinished(true);
        QCOMPARE(heard, QStringList());
        emit view->painted();
        QCOMPARE(heard, QStringList { "load 1 1" });
        emit view->painted();
        emit runner.tabs()->loadFinished(false);
        emit runner.tabs()->loadFinished(true);
        QCOMPARE(heard, QStringList({ "load 1 1", "load 0 1" }));
        QTest::mouseClick(runner.button("ok"), Qt::LeftButton);
        QCOMPARE(heard, QStringList({ "load 1 1", "load 0 1", "load 1 1", "setting done" }));
        // Never painted: taken anyway, half a second on.
        emit runner.tabs()->loadFinished(false);
        QTRY_COMPARE_WITH_TIMEOUT(heard.size(), 5, 5000);
        QCOMPARE(heard.last(), "load 0 1");
    }

    void pageSizeTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<int>("messages");
        const QSize before(1920, 1080);
        QTest::newRow("largest") << "7680*4320" << "7680*4320" << QSize(7680, 4320) << 0;
        QTest::newRow("too wide") << "7681*100" << "7681*100" << before << 3;
        QTest::newRow("too high") << "100*4321" << "100*4321" << QSize(100, 432) << 1;
        QTest::newRow("no height") << "1920*" << "1920*" << before << 0;
        QTest::newRow("no width") << "*1080" << "*1080" << before << 0;
        QTest::newRow("lone star") << "*" << "*" << before << 0;
        QTest::newRow("zero width") << "0*600" << "0*600" << before << 0;
        QTest::newRow("no star") << "1920" << "1920" << before << 0;
        QTest::newRow("leading zeros") << "0800*0600" << "0800*0600" << QSize(800, 600) << 0;
        QTest::newRow("letters refused") << "12a4*5x" << "124*5" << QSize(124, 5) << 0;
        QTest::newRow("beyond int") << "99999999999*6" << "99999999999*6" << before << 0;
        QTest::newRow("second star refused") << "3**2" << "3*2" << QSize(3, 2) << 0;
    }

    void pageSizeTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QSize, page);
        QFETCH(int, messages);
        Runner runner(record({ pageA }, pageA, QSize(1920, 1080)));
        QStringList seen;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&seen] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + " " + box->text() + " " + QString::number(box->standardButtons());
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(5);
        runner.sizeEdit()->clear();
        QTest::keyClicks(runner.sizeEdit(), typed);
        QCOMPARE(runner.sizeEdit()->text(), shown);
        QCOMPARE(runner.window.pageSize(), page);
        QCOMPARE(seen, QStringList(QVector<QString>(messages, QString::fromUtf8("提示 网站分辨率不能大于7680X4320! %1").arg(QMessageBox::Ok)).toList()));
        // A new page size reaches the view, and a whole frame of it goes to B, taken at set-up.
        QCOMPARE(QSize(runner.host.header(1)->width, runner.host.header(1)->height), page == QSize(1920, 1080) ? QSize(0, 0) : page);
        if (page != QSize(1920, 1080))
            QCOMPARE(runner.view()->sizes.last(), page);
    }

    void settingFace()
    {
        BrowserParams p = record();
        p.windowRect = QRect(0, 0, 800, 500);
        Runner runner(p);
        YBrowserRunner& window = runner.window;
        QPushButton* max = runner.button("max");
        QVERIFY(runner.show());
        window.showSetting(true);
        QCOMPARE(window.geometry(), QRect(QGuiApplication::primaryScreen()->geometry().center() - QRect(0, 0, 800, 500).center(), QSize(800, 500)));
        QVERIFY(window.findChild<QComboBox*>("defaultMode")->isHidden());
        // Maximised by any means, max is checked; and max maximises.
        window.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(max->isChecked());
        // A double click on the title bar goes through the window's move/resize filter.
        QTest::mouseMove(window.windowHandle(), QPoint(200, 16));
        QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(200, 16));
        QTRY_VERIFY(!window.isMaximized());
        QVERIFY(!max->isChecked());
        QTest::mouseClick(max, Qt::LeftButton);
        QTRY_VERIFY(window.isMaximized());
        QVERIFY(window.params().maximized);
        // Parked: off every screen, whatever coordinate the window system can hold; then back maximised at (0, 0).
        window.showSetting(false);
        QTest::qWait(100);
        for (QScreen* screen : QGuiApplication::screens())
            QVERIFY(!screen->geometry().intersects(window.geometry()));
        QVERIFY(window.isVisible());
        window.showSetting(true);
        QCOMPARE(window.pos(), QPoint(0, 0));
        QVERIFY(window.isMaximized());
    }

    void urlBarAndHistory()
    {
        Runner runner(record());
        QVERIFY(runner.show());
        FakeView* view = runner.view();
        QSignalSpy done(&runner.window, &HostedRunner::settingDone);
        for (const char* name : { "back", "forward", "reload", "ok" })
            QTest::mouseClick(runner.button(name), Qt::LeftButton);
        QCOMPARE(view->actions, QStringList({ "back", "forward", "reload" }));
        QCOMPARE(done.count(), 1);
        // Emptied, the text comes back on focus-out; typed, it stays until Enter.
        QVERIFY(runner.focus(runner.urlEdit()));
        runner.urlEdit()->clear();
        QVERIFY(runner.focus(runner.sizeEdit()));
        QCOMPARE(runner.urlEdit()->text(), pageA);
        QVERIFY(runner.focus(runner.urlEdit()));
        runner.urlEdit()->setText("127.0.0.1:8/typed");
        QVERIFY(runner.focus(runner.sizeEdit()));
        QCOMPARE(view->loads, QStringList { pageA });
        QTest::keyClick(runner.urlEdit(), Qt::Key_Return);
        QCOMPARE(view->loads.last(), QStringLiteral("http://127.0.0.1:8/typed"));
        // One completer entry per distinct valid URL the current view reports, the first one not included.
        for (const char* url : { "http://127.0.0.1:1/b", "http://127.0.0.1:1/b", "http://bad host/", "http://127.0.0.1:1/c" })
            view->report(url);
        qobject_cast<FakeView*>(runner.tabs()->createTab())->report("http://127.0.0.1:1/new");
        runner.tabs()->setCurrentIndex(0);
        qobject_cast<FakeView*>(runner.tabs()->webView(1))->report("http://127.0.0.1:1/background");
        QCompleter* completer = runner.urlEdit()->completer();
        QCOMPARE(completer->filterMode(), Qt::MatchContains);
        QCOMPARE(qobject_cast<QStringListModel*>(completer->model())->stringList(), QStringList({ "http://127.0.0.1:8/typed", "http://127.0.0.1:1/b", "http://127.0.0.1:1/c", "http://127.0.0.1:1/new" }));
        // Geometry in a bar of 400 x 28 (contents rectangle (2, 2, 396, 24)), and the clear button.
        UrlLineEdit* bar = runner.urlBar();
        bar->setFixedSize(400, 28);
        auto* clear = bar->findChild<YUILIB::YToolButton*>();
        auto* hint = bar->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(runner.urlEdit()->geometry(), QRect(4, 0, 372, 28));
        QCOMPARE(clear->geometry(), QRect(376, 4, 20, 20));
        QCOMPARE(bar->findChild<UrlIconLabel*>()->geometry(), QRect(10, 6, 16, 16));
        // Hint: the right 120 pixels of the 396 - 28 - 16 pixels after the icon.
        QCOMPARE(hint->geometry(), QRect(26 + 352 - 1 - 120, 0, 120, 28));
        QCOMPARE(runner.urlEdit()->textMargins(), QMargins(25, 0, 0, 0));
        QCOMPARE(clear->toolTip(), QStringLiteral("清除"));
        const QStringList loads = view->loads;
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(runner.urlEdit()->text(), QString());
        QCOMPARE(view->loads, loads);
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(), QStringLiteral("按Enter键结束输入"));
    }

    void urlBarProgress_data()
    {
        QTest::addColumn<int>("progress");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<int>("width");
        QTest::newRow("none") << 0 << false << 0;
        QTest::newRow("third") << 33 << false << 99;
        QTest::newRow("beyond") << 250 << false << 300;
        QTest::newRow("focused") << 50 << true << 0;
    }

    void urlBarProgress()
    {
        QFETCH(int, progress);
        QFETCH(bool, focused);
        QFETCH(int, width);
        Runner runner(record());
        QVERIFY(runner.show());
        // Contents rectangle (2, 2, 300, 24) inside the style sheet's border.
        runner.urlBar()->setFixedSize(304, 28);
        QVERIFY(runner.focus(focused ? static_cast<QWidget*>(runner.urlEdit()) : runner.sizeEdit()));
        runner.tabs()->viewLoadProgress(runner.view(), progress);
        const QImage image = runner.urlBar()->grab().toImage();
        for (int row : { 1, 2, 25, 26 }) {
            int count = 0;
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, row) == qRgb(0xF1, 0xF9, 0xFF);
            QCOMPARE(count, row == 1 || row == 26 ? 0 : width);
        }
    }

    void urlBarDrag_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("distance");
        QTest::addColumn<bool>("drags");
        const int left = Qt::LeftButton, right = Qt::RightButton, start = QApplication::startDragDistance();
        QTest::newRow("at drag distance") << left << left << start << false;
        QTest::newRow("past drag distance") << left << left << start + 1 << true;
        QTest::newRow("right button") << right << right << start + 20 << false;
        QTest::newRow("both buttons") << left << (left | right) << start + 20 << false;
    }

    void urlBarDrag()
    {
        QFETCH(int, button);
        QFETCH(int, buttons);
        QFETCH(int, distance);
        QFETCH(bool, drags);
        Runner runner(record());
        QVERIFY(runner.show());
        auto* label = runner.urlBar()->findChild<UrlIconLabel*>();
        QStringList dragged;
        QTimer::singleShot(50, [&] {
            if (QDrag* drag = label->findChild<QDrag*>()) {
                dragged << drag->mimeData()->text() << drag->mimeData()->urls().value(0).toString();
                QDrag::cancel();
            }
        });
        const QPoint from(2, 2), to(2 + distance / 2, 2 + distance - distance / 2);
        QMouseEvent press(QEvent::MouseButtonPress, from, label->mapToGlobal(from), Qt::MouseButton(button), Qt::MouseButtons(button), {});
        QApplication::sendEvent(label, &press);
        QMouseEvent move(QEvent::MouseMove, to, label->mapToGlobal(to), Qt::NoButton, Qt::MouseButtons(buttons), {});
        QApplication::sendEvent(label, &move);
        QTest::qWait(100);
        QCOMPARE(dragged, drags ? QStringList({ pageA, pageA }) : QStringList());
    }
};

QTEST_MAIN(tst_RunnerWindow)
#include "tst_runnerwindow.moc"
