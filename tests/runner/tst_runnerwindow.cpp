#include "FakeView.h"
#include "HostSegment.h"
#include "LogWriter.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "YBrowserRunner.h"

#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString pageA = "http://127.0.0.1:1/a";

BrowserParams record(const QStringList& urls = { pageA }, const QString& current = pageA, const QSize& page = QSize(64, 48))
{
    BrowserParams p;
    p.urls = urls;
    p.currentUrl = current;
    p.pageSize = page;
    p.sharedMemoryKey = uniqueKey();
    return p;
}

// A runner with the host's view of its segment.
struct Runner
{
    explicit Runner(const BrowserParams& p) : window(p), host(p.sharedMemoryKey) { host.join(); }
    TabWidget* tabs() const { return window.findChild<TabWidget*>(); }
    FakeView* view() const { return qobject_cast<FakeView*>(tabs()->currentView()); }
    QComboBox* sizes() const { return window.findChild<QComboBox*>("comboBox"); }
    QPushButton* button(const char* name) const { return window.findChild<QPushButton*>(name); }
    bool show()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

    YBrowserRunner window;
    HostSegment host;
};

// Closes every message box the code under test opens, keeping what it showed.
struct MessageCatcher : QObject
{
    MessageCatcher()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << QStringList { box->windowTitle(), box->text() };
                buttons << int(box->standardButtons());
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(5);
    }
    QTimer timer;
    QList<QStringList> seen;
    QList<int> buttons;
};

bool offEveryScreen(const QWidget& window)
{
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(window.geometry()))
            return false;
    }
    return true;
}

} // namespace

class tst_RunnerWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void construction();
    void updateParams_data();
    void updateParams();
    void framesFollowTheCurrentView();
    void wholeFrameWithoutView();
    void pageSizeTyped_data();
    void pageSizeTyped();
    void pageSizeChosenFromList();
    void showSetting();
    void maxFollowsWindowState();
    void buttons();
    void completerHistory();
    void engineSwitch();
    void hostLimits();
    void windowSize_data();
    void windowSize();

private:
    QTemporaryDir logDir;
    std::unique_ptr<LogWriter> writer;
    QStringList logLines();
};

void tst_RunnerWindow::initTestCase()
{
    YUILIB::initialise();
    qRegisterMetaType<WebView*>();
    WebView::registerFactory(WebView::QtEngine, [](TabWidget* tab) { return new FakeView(tab); });
    writer.reset(new LogWriter(logDir.path()));
}

QStringList tst_RunnerWindow::logLines()
{
    QFile file(writer->path());
    file.open(QIODevice::ReadOnly);
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << QString::fromUtf8(line.mid(22)).trimmed();
    }
    return lines;
}

void tst_RunnerWindow::construction()
{
    BrowserParams p;
    p.sharedMemoryKey = uniqueKey();
    Runner runner(p);
    QCOMPARE(runner.window.params(), BrowserParams());
    QCOMPARE(int(runner.window.windowFlags()), 0x00040C0B);
    QCOMPARE(runner.window.objectName(), QStringLiteral("YBrowserRunnerClass"));
    QCOMPARE(runner.window.windowTitle(), QStringLiteral("YBrowserRunner"));
    auto* mode = runner.window.findChild<QComboBox*>("defaultMode");
    QVERIFY(mode->isHidden());
    QCOMPARE(mode->currentIndex(), 0);
    QCOMPARE(runner.sizes()->count(), 25);
    QCOMPARE(runner.sizes()->itemText(0), QStringLiteral("3840*2160"));
    QCOMPARE(runner.sizes()->itemText(9), QStringLiteral("1768*992"));
    QCOMPARE(runner.sizes()->itemText(24), QStringLiteral("800*600"));
    QCOMPARE(runner.sizes()->currentText(), QStringLiteral("1920*1080"));
    QCOMPARE(runner.window.url(), QUrl(BrowserParams::DefaultUrl));
    QCOMPARE(runner.window.isMute(), false);
    QCOMPARE(runner.window.findChild<QLineEdit*>()->text(), QString::fromLatin1(BrowserParams::DefaultUrl));
}

void tst_RunnerWindow::updateParams_data()
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

void tst_RunnerWindow::updateParams()
{
    QFETCH(QStringList, urls);
    QFETCH(QString, current);
    QFETCH(int, index);

    BrowserParams first = record({ "http://127.0.0.1:1/first" }, "http://127.0.0.1:1/first");
    YBrowserRunner runner(first);
    auto* tabs = runner.findChild<TabWidget*>();
    QPointer<FakeView> old = qobject_cast<FakeView*>(tabs->currentView());
    BrowserParams next = record(urls, current, QSize(320, 200));
    next.sharedMemoryKey = first.sharedMemoryKey;
    runner.updateParams(next);

    QCOMPARE(tabs->count(), urls.size());
    QCOMPARE(tabs->currentIndex(), index);
    for (int i = 0; i < urls.size(); ++i)
        QCOMPARE(qobject_cast<FakeView*>(tabs->webView(i))->loads, QStringList { urls.at(i) });
    QCOMPARE(runner.url(), index < 0 ? QUrl() : QUrl(urls.at(index)));
    QCOMPARE(runner.isMute(), index < 0);
    QCOMPARE(old->isMuted(), true);
    QCOMPARE(runner.pageSize(), QSize(320, 200));
    QCOMPARE(runner.params().urls, urls);
    QCOMPARE(runner.params().currentUrl, index < 0 ? QString() : urls.at(index));
    // Without a view nothing is touched and nothing fails.
    runner.setUrl(QUrl("http://127.0.0.1:1/z"));
    runner.setMute(false);
    QCOMPARE(runner.title(), index < 0 ? QString() : QString(""));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(old.isNull());
    QCOMPARE(tabs->findChildren<FakeView*>().size(), urls.size());
}

void tst_RunnerWindow::framesFollowTheCurrentView()
{
    Runner runner(record());
    HostSegment& host = runner.host;
    TabWidget* tabs = runner.tabs();
    FakeView* first = runner.view();
    QSignalSpy finished(&runner.window, &HostedRunner::loadFinished);

    // Set-up: A holds the first whole frame, B counts as taken.
    QCOMPARE(host.header(0)->consumed, quint8(0));
    QCOMPARE(host.header(0)->wholeFrame, quint8(1));
    QCOMPARE(host.header(1)->consumed, quint8(1));
    QCOMPARE(host.header(0)->engineFlag, quint8(0));
    QCOMPARE(host.header(1)->engineFlag, quint8(0));
    QCOMPARE(host.dirty(0), QRect(0, 0, 64, 48));
    QCOMPARE(host.pixel(0, 0, 0), FakeView::colourOf(first->id, 1));
    QCOMPARE(host.pixel(0, 63, 47), FakeView::colourOf(first->id, 1));

    // The first partial update moves to B with exactly its rectangle.
    QImage update(3, 2, QImage::Format_ARGB32);
    update.fill(qRgba(1, 2, 3, 4));
    emit tabs->viewUpdate(5, 7, update);
    QCOMPARE(host.header(1)->consumed, quint8(0));
    QCOMPARE(host.header(1)->wholeFrame, quint8(0));
    QCOMPARE(host.dirty(1), QRect(5, 7, 3, 2));
    QCOMPARE(host.pixel(1, 7, 8), qRgba(1, 2, 3, 4));

    // A new current tab: previous muted, new unmuted, two whole frames, one snapshot.
    auto* second = qobject_cast<FakeView*>(tabs->createTab());
    QCOMPARE(first->mutes, QList<bool> { true });
    QCOMPARE(second->mutes, QList<bool> { false });
    QCOMPARE(second->renders, 3);
    QCOMPARE(host.header(1)->wholeFrame, quint8(1));
    QCOMPARE(host.dirty(1), QRect(0, 0, 64, 48));
    QCOMPARE(host.pixel(1, 10, 10), FakeView::colourOf(second->id, 2));
    QCOMPARE(host.pixel(0, 10, 10), FakeView::colourOf(first->id, 1));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    const QImage snapshot = finished.at(0).at(1).value<QImage>();
    QCOMPARE(snapshot.size(), QSize(64, 48));
    QCOMPARE(snapshot.pixel(63, 47), FakeView::colourOf(second->id, 3));

    // Writing stays in B until the host takes A.
    emit tabs->totalUpdate();
    QCOMPARE(host.pixel(1, 0, 0), FakeView::colourOf(second->id, 4));
    host.header(0)->consumed = 1;
    emit tabs->totalUpdate();
    QCOMPARE(host.header(0)->consumed, quint8(0));
    QCOMPARE(host.pixel(0, 0, 0), FakeView::colourOf(second->id, 5));
    QCOMPARE(host.pixel(1, 0, 0), FakeView::colourOf(second->id, 4));

    // The flag follows the tab widget's engine mode, not the view's engine.
    tabs->setEngineMode(WebView::VipMiniEngine);
    runner.window.wholeImage();
    QCOMPARE(host.header(0)->engineFlag, quint8(1));
    QCOMPARE(host.header(1)->engineFlag, quint8(0));
    tabs->setEngineMode(WebView::MiniEngine);
    runner.window.wholeImage();
    QCOMPARE(host.header(0)->engineFlag, quint8(0));
    QCOMPARE(second->renders, 7);
}

void tst_RunnerWindow::wholeFrameWithoutView()
{
    Runner runner(record({}, QString(), QSize(40, 30)));
    QSignalSpy finished(&runner.window, &HostedRunner::loadFinished);
    FrameHeader* b = runner.host.header(1);
    std::fill(b->pixels(), b->pixels() + 40 * 30 * 4, 0x5a);
    b->wholeFrame = 0;
    b->width = 7;
    b->height = 9;
    b->dirtyX = b->dirtyY = b->dirtyWidth = b->dirtyHeight = 3;
    runner.window.wholeImage();
    QCOMPARE(b->consumed, quint8(0));
    QCOMPARE(b->wholeFrame, quint8(1));
    QCOMPARE(QSize(b->width, b->height), QSize(40, 30));
    QCOMPARE(runner.host.dirty(1), QRect(0, 0, 40, 30));
    QCOMPARE(runner.host.pixel(1, 0, 0), 0x5a5a5a5au);
    QCOMPARE(runner.host.pixel(1, 39, 29), 0x5a5a5a5au);
    emit runner.tabs()->loadFinished(true);
    QCOMPARE(finished.count(), 0);
}

void tst_RunnerWindow::pageSizeTyped_data()
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

void tst_RunnerWindow::pageSizeTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QSize, page);
    QFETCH(int, messages);

    Runner runner(record({ pageA }, pageA, QSize(1920, 1080)));
    QLineEdit* edit = runner.sizes()->lineEdit();
    MessageCatcher catcher;
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(runner.window.pageSize(), page);
    QCOMPARE(catcher.seen.size(), messages);
    for (int i = 0; i < messages; ++i) {
        QCOMPARE(catcher.seen.at(i), QStringList({ QStringLiteral("提示"), QStringLiteral("网站分辨率不能大于7680X4320!") }));
        QCOMPARE(catcher.buttons.at(i), int(QMessageBox::Ok));
    }
}

void tst_RunnerWindow::pageSizeChosenFromList()
{
    Runner runner(record({ pageA }, pageA, QSize(1920, 1080)));
    FakeView* view = runner.view();
    runner.sizes()->setCurrentIndex(24);
    QCOMPARE(runner.window.pageSize(), QSize(800, 600));
    QCOMPARE(runner.window.params().pageSize, QSize(800, 600));
    QCOMPARE(view->sizes.last(), QSize(800, 600));
    // B was taken at set-up, so the whole frame went there.
    QCOMPARE(QSize(runner.host.header(1)->width, runner.host.header(1)->height), QSize(800, 600));
    QCOMPARE(runner.host.header(1)->wholeFrame, quint8(1));
    QCOMPARE(runner.host.dirty(1), QRect(0, 0, 800, 600));
    QCOMPARE(runner.host.pixel(1, 799, 599), FakeView::colourOf(view->id, view->renders));
}

void tst_RunnerWindow::showSetting()
{
    BrowserParams p = record();
    p.windowRect = QRect(0, 0, 800, 500);
    Runner runner(p);
    QVERIFY(runner.show());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    runner.window.showSetting(true);
    QCOMPARE(runner.window.geometry(), QRect(screen.center() - QRect(0, 0, 800, 500).center(), QSize(800, 500)));
    runner.window.showSetting(false);
    runner.window.showSetting(false);
    QTest::qWait(100);
    QVERIFY(offEveryScreen(runner.window));
    QVERIFY(runner.window.isVisible());
    runner.button("max")->setChecked(true);
    runner.window.showSetting(true);
    QCOMPARE(runner.window.pos(), QPoint(0, 0));
    QVERIFY(runner.window.isMaximized());
    QCOMPARE(logLines().mid(logLines().size() - 4), QStringList({ "show", "hide", "hide", "show" }));
}

void tst_RunnerWindow::maxFollowsWindowState()
{
    BrowserParams p = record();
    p.hidden = false;
    Runner runner(p);
    YBrowserRunner& window = runner.window;
    QVERIFY(runner.show());
    QPushButton* max = runner.button("max");
    QVERIFY(max->isCheckable());
    window.showMaximized();
    QTRY_VERIFY(max->isChecked());
    window.showNormal();
    QTRY_VERIFY(!max->isChecked());
    window.setWindowState(Qt::WindowMaximized);
    QTRY_VERIFY(max->isChecked());
    QTest::mouseClick(max, Qt::LeftButton);
    QTRY_VERIFY(!window.isMaximized());
    QVERIFY(!max->isChecked());
    QTest::mouseClick(max, Qt::LeftButton);
    QTRY_VERIFY(window.isMaximized());
    QVERIFY(window.params().maximized);
    // A double click on the title bar goes through the window's move/resize filter.
    for (bool maximised : { false, true }) {
        const QPoint pos(maximised ? 210 : 200, 16);
        QTest::mouseMove(window.windowHandle(), pos);
        QTest::mouseDClick(window.windowHandle(), Qt::LeftButton, {}, pos);
        QTRY_COMPARE(window.isMaximized(), maximised);
        QCOMPARE(max->isChecked(), maximised);
    }
}

void tst_RunnerWindow::buttons()
{
    BrowserParams p = record();
    p.hidden = false;
    Runner runner(p);
    QVERIFY(runner.show());
    FakeView* view = runner.view();
    QSignalSpy done(&runner.window, &HostedRunner::settingDone);
    for (const char* name : { "back", "forward", "reload" })
        QTest::mouseClick(runner.button(name), Qt::LeftButton);
    QCOMPARE(view->actions, QStringList({ "back", "forward", "reload" }));
    QTest::mouseClick(runner.button("ok"), Qt::LeftButton);
    QCOMPARE(done.count(), 1);
    QSignalSpy icons(&runner.window, &YBrowserRunner::iconChanged);
    view->report(view->url(), solidIcon(Qt::blue));
    QCOMPARE(icons.count(), 1);
    QCOMPARE(icons.at(0).at(0).value<QIcon>().pixmap(16, 16).toImage().pixel(4, 4), QColor(Qt::blue).rgb());

    QLineEdit* edit = runner.window.findChild<QLineEdit*>();
    edit->setText("127.0.0.1:8/typed");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(view->loads.last(), QStringLiteral("http://127.0.0.1:8/typed"));
    runner.window.setUrl(QUrl("http://127.0.0.1:9/set"));
    QCOMPARE(view->loads.last(), QStringLiteral("http://127.0.0.1:9/set"));
}

void tst_RunnerWindow::completerHistory()
{
    Runner runner(record());
    FakeView* view = runner.view();
    QLineEdit* edit = runner.window.findChild<QLineEdit*>();
    // The URL loaded before the window was wired is not in the history.
    QVERIFY(!edit->completer());
    view->report("http://127.0.0.1:1/b", QIcon());
    QCompleter* firstCompleter = edit->completer();
    QVERIFY(firstCompleter);
    QCOMPARE(firstCompleter->filterMode(), Qt::MatchContains);
    QCOMPARE(firstCompleter->model()->rowCount(), 1);
    auto* popup = qobject_cast<QListView*>(firstCompleter->popup());
    QVERIFY(popup->uniformItemSizes());
    QCOMPARE(popup->styleSheet(), QStringLiteral("QListView { color: #eeeeee; outline: 0px; border: 1px solid darkgray;"
                                                 " background-color: rgb(80,80,83); selection-background-color: rgb(55,143,252); }"));
    // A repeated or invalid URL leaves the history as it is.
    for (const char* url : { "http://127.0.0.1:1/b", "http://bad host/" }) {
        view->report(url, QIcon());
        QCOMPARE(edit->completer(), firstCompleter);
    }
    view->report("http://127.0.0.1:1/c", QIcon());
    QVERIFY(edit->completer() != firstCompleter);
    QCOMPARE(edit->completer()->model()->rowCount(), 2);
    QCOMPARE(edit->completer()->model()->index(1, 0).data().toString(), QStringLiteral("http://127.0.0.1:1/c"));
    // A background tab's report does not reach the history.
    auto* other = qobject_cast<FakeView*>(runner.tabs()->createTab());
    runner.tabs()->setCurrentIndex(0);
    other->report("http://127.0.0.1:1/background", QIcon());
    QCOMPARE(edit->completer()->model()->rowCount(), 2);
}

void tst_RunnerWindow::engineSwitch()
{
    Runner runner(record({ pageA, "http://127.0.0.1:1/b" }, "http://127.0.0.1:1/b"));
    TabWidget* tabs = runner.tabs();
    auto* mode = runner.window.findChild<QComboBox*>("defaultMode");
    WebView* old = tabs->currentView();

    // No view kind for mode 2: the switch is refused and the selector goes back.
    WebView::registerFactory(WebView::VipMiniEngine, nullptr);
    mode->setCurrentIndex(1);
    QCOMPARE(mode->currentIndex(), 0);
    QCOMPARE(tabs->engineMode(), int(WebView::QtEngine));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->currentView(), old);
    QVERIFY(logLines().last().startsWith("No engine for mode, the tab keeps its engine : \"2\""));

    WebView::registerFactory(WebView::VipMiniEngine, [](TabWidget* tab) { return new FakeView(tab); });
    QSignalSpy changed(tabs, &TabWidget::currentViewChanged);
    mode->setCurrentIndex(1);
    QCOMPARE(tabs->engineMode(), int(WebView::VipMiniEngine));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(changed.count(), 1);
    FakeView* replacement = runner.view();
    QVERIFY(replacement != old);
    QCOMPARE(replacement->loads, QStringList { "http://127.0.0.1:1/b" });
    QCOMPARE(runner.window.params().urls, QStringList({ pageA, "http://127.0.0.1:1/b" }));
    runner.window.wholeImage();
    QCOMPARE(runner.host.header(1)->engineFlag, quint8(1));
    QVERIFY(mode->isHidden());
    WebView::registerFactory(WebView::VipMiniEngine, nullptr);
}

void tst_RunnerWindow::hostLimits()
{
    // A page beyond a frame buffer: bounded, shown as such, and no message.
    BrowserParams p = record({ pageA }, pageA, QSize(9000, 5000));
    p.windowRect = QRect(0, 0, 100000, -5);
    MessageCatcher catcher;
    {
        YBrowserRunner runner(p);
        runner.updateParams(p);
        QCOMPARE(runner.pageSize(), QSize(7680, 4320));
        QCOMPARE(runner.findChild<QComboBox*>("comboBox")->currentText(), QStringLiteral("7680*4320"));
        QCOMPARE(runner.size(), QSize(7680, 1).expandedTo(runner.minimumSize()));
    }
    QCoreApplication::processEvents();
    QCOMPARE(catcher.seen.size(), 0);

    // A segment the host made smaller: the page shrinks until a frame fits.
    p = record({ pageA }, pageA, QSize(1920, 1080));
    HostSegment small(p.sharedMemoryKey);
    QVERIFY(small.memory.create(28 + 40000));
    Runner runner(p);
    QCOMPARE(runner.window.pageSize(), QSize(1920, 5));
    FakeView* view = runner.view();
    QCOMPARE(view->sizes.last(), QSize(1920, 5));
    QCOMPARE(QSize(small.header(0)->width, small.header(0)->height), QSize(1920, 5));
    QCOMPARE(small.pixel(0, 1919, 4), FakeView::colourOf(view->id, 1));
    runner.sizes()->setCurrentText("100*200");
    QCOMPARE(runner.window.pageSize(), QSize(100, 100));
    runner.window.wholeImage();
    QCOMPARE(small.header(0)->height, 100);
}

void tst_RunnerWindow::windowSize_data()
{
    QTest::addColumn<bool>("maximized");
    QTest::addColumn<QSize>("size");

    QTest::newRow("normal") << false << QSize(900, 600);
    QTest::newRow("maximised") << true << QSize(1920, 1080);
}

void tst_RunnerWindow::windowSize()
{
    QFETCH(bool, maximized);
    QFETCH(QSize, size);

    BrowserParams p = record();
    p.maximized = maximized;
    p.windowRect = QRect(50, 60, 900, 600);
    Runner runner(p);
    QCOMPARE(runner.window.size(), size);
    QCOMPARE(runner.button("max")->isChecked(), maximized);
    QCOMPARE(runner.window.params().windowRect, QRect(QPoint(0, 0), size));
    QCOMPARE(runner.window.params().maximized, maximized);
}

QTEST_MAIN(tst_RunnerWindow)
#include "tst_runnerwindow.moc"
