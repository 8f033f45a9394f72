#include "FakeView.h"
#include "LogWriter.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "YBrowserRunner.h"

#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString uniqueKey()
{
    static int serial = 0;
    return QStringLiteral("tst_runnerwindow_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
}

BrowserParams record(const QStringList& urls, const QString& current, const QSize& page = QSize(64, 48))
{
    BrowserParams p;
    p.urls = urls;
    p.currentUrl = current;
    p.pageSize = page;
    p.sharedMemoryKey = uniqueKey();
    return p;
}

struct Host
{
    explicit Host(const QString& key) : memory(key) { memory.attach(); }
    FrameHeader* header(int index) { return reinterpret_cast<FrameHeader*>(static_cast<char*>(memory.data()) + index * FrameMemory::BufferBytes); }
    QRect dirty(int index) { FrameHeader* h = header(index); return QRect(h->dirtyX, h->dirtyY, h->dirtyWidth, h->dirtyHeight); }
    QRgb pixel(int index, int x, int y) { return reinterpret_cast<const QRgb*>(header(index)->pixels())[y * header(index)->width + x]; }
    QSharedMemory memory;
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

private:
    QTemporaryDir logDir;
    std::unique_ptr<LogWriter> writer;
    QStringList logLines();
};

void tst_RunnerWindow::initTestCase()
{
    YUILIB::initialise();
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
    YBrowserRunner runner(p);
    QCOMPARE(runner.params(), BrowserParams());
    QCOMPARE(int(runner.windowFlags()), 0x00040C0B);
    QCOMPARE(runner.objectName(), QStringLiteral("YBrowserRunnerClass"));
    QCOMPARE(runner.windowTitle(), QStringLiteral("YBrowserRunner"));
    auto* mode = runner.findChild<QComboBox*>("defaultMode");
    QVERIFY(mode->isHidden());
    QCOMPARE(mode->currentIndex(), 0);
    auto* sizes = runner.findChild<QComboBox*>("comboBox");
    QCOMPARE(sizes->count(), 25);
    QCOMPARE(sizes->itemText(0), QStringLiteral("3840*2160"));
    QCOMPARE(sizes->itemText(9), QStringLiteral("1768*992"));
    QCOMPARE(sizes->itemText(24), QStringLiteral("800*600"));
    QCOMPARE(sizes->currentText(), QStringLiteral("1920*1080"));
    QCOMPARE(runner.url(), QUrl(BrowserParams::DefaultUrl));
    QCOMPARE(runner.isMute(), false);
    QCOMPARE(runner.findChild<QLineEdit*>()->text(), QString::fromLatin1(BrowserParams::DefaultUrl));
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
    const BrowserParams p = record({ "http://127.0.0.1:1/a" }, "http://127.0.0.1:1/a");
    YBrowserRunner runner(p);
    Host host(p.sharedMemoryKey);
    QVERIFY(host.memory.isAttached());
    auto* tabs = runner.findChild<TabWidget*>();
    auto* first = qobject_cast<FakeView*>(tabs->currentView());
    QSignalSpy finished(&runner, &HostedRunner::loadFinished);

    // Set-up: A holds the first whole frame, B counts as taken.
    QCOMPARE(host.header(0)->consumed, quint8(0));
    QCOMPARE(host.header(0)->wholeFrame, quint8(1));
    QCOMPARE(host.dirty(0), QRect(0, 0, 64, 48));
    QCOMPARE(host.pixel(0, 0, 0), FakeView::colourOf(first->id, 1));
    QCOMPARE(host.pixel(0, 63, 47), FakeView::colourOf(first->id, 1));
    QCOMPARE(host.header(1)->consumed, quint8(1));
    QCOMPARE(host.header(0)->engineFlag, quint8(0));
    QCOMPARE(host.header(1)->engineFlag, quint8(0));

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
    runner.wholeImage();
    QCOMPARE(host.header(0)->engineFlag, quint8(1));
    QCOMPARE(host.header(1)->engineFlag, quint8(0));
    tabs->setEngineMode(WebView::MiniEngine);
    runner.wholeImage();
    QCOMPARE(host.header(0)->engineFlag, quint8(0));
    QCOMPARE(second->renders, 7);
}

void tst_RunnerWindow::wholeFrameWithoutView()
{
    const BrowserParams p = record({}, QString(), QSize(40, 30));
    YBrowserRunner runner(p);
    Host host(p.sharedMemoryKey);
    QSignalSpy finished(&runner, &HostedRunner::loadFinished);
    FrameHeader* b = host.header(1);
    std::fill(b->pixels(), b->pixels() + 40 * 30 * 4, 0x5a);
    b->wholeFrame = 0;
    b->width = 7;
    b->height = 9;
    b->dirtyX = b->dirtyY = b->dirtyWidth = b->dirtyHeight = 3;
    runner.wholeImage();
    QCOMPARE(b->consumed, quint8(0));
    QCOMPARE(b->wholeFrame, quint8(1));
    QCOMPARE(b->width, 40);
    QCOMPARE(b->height, 30);
    QCOMPARE(host.dirty(1), QRect(0, 0, 40, 30));
    QCOMPARE(host.pixel(1, 0, 0), 0x5a5a5a5au);
    QCOMPARE(host.pixel(1, 39, 29), 0x5a5a5a5au);
    emit runner.findChild<TabWidget*>()->loadFinished(true);
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
    QTest::newRow("second star refused") << "3**2" << "3*2" << QSize(3, 2) << 0;
}

void tst_RunnerWindow::pageSizeTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QSize, page);
    QFETCH(int, messages);

    const BrowserParams p = record({ "http://127.0.0.1:1/a" }, "http://127.0.0.1:1/a", QSize(1920, 1080));
    YBrowserRunner runner(p);
    QLineEdit* edit = runner.findChild<QComboBox*>("comboBox")->lineEdit();
    MessageCatcher catcher;
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(runner.pageSize(), page);
    QCOMPARE(catcher.seen.size(), messages);
    for (int i = 0; i < messages; ++i) {
        QCOMPARE(catcher.seen.at(i), QStringList({ QStringLiteral("提示"), QStringLiteral("网站分辨率不能大于7680X4320!") }));
        QCOMPARE(catcher.buttons.at(i), int(QMessageBox::Ok));
    }
}

void tst_RunnerWindow::pageSizeChosenFromList()
{
    const BrowserParams p = record({ "http://127.0.0.1:1/a" }, "http://127.0.0.1:1/a", QSize(1920, 1080));
    YBrowserRunner runner(p);
    Host host(p.sharedMemoryKey);
    auto* view = qobject_cast<FakeView*>(runner.findChild<TabWidget*>()->currentView());
    runner.findChild<QComboBox*>("comboBox")->setCurrentIndex(24);
    QCOMPARE(runner.pageSize(), QSize(800, 600));
    QCOMPARE(view->sizes.last(), QSize(800, 600));
    // B was taken at set-up, so the whole frame went there.
    QCOMPARE(host.header(1)->width, 800);
    QCOMPARE(host.header(1)->height, 600);
    QCOMPARE(host.header(1)->wholeFrame, quint8(1));
    QCOMPARE(host.dirty(1), QRect(0, 0, 800, 600));
    QCOMPARE(host.pixel(1, 799, 599), FakeView::colourOf(view->id, view->renders));
    QCOMPARE(runner.params().pageSize, QSize(800, 600));
}

void tst_RunnerWindow::showSetting()
{
    BrowserParams p = record({ "http://127.0.0.1:1/a" }, "http://127.0.0.1:1/a");
    p.windowRect = QRect(0, 0, 800, 500);
    YBrowserRunner runner(p);
    runner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&runner));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    runner.showSetting(true);
    QCOMPARE(runner.pos(), screen.center() - QRect(0, 0, 800, 500).center());
    QCOMPARE(runner.size(), QSize(800, 500));
    runner.showSetting(false);
    runner.showSetting(false);
    QTest::qWait(100);
    QVERIFY(offEveryScreen(runner));
    QVERIFY(runner.isVisible());
    runner.findChild<QPushButton*>("max")->setChecked(true);
    runner.showSetting(true);
    QCOMPARE(runner.pos(), QPoint(0, 0));
    QVERIFY(runner.isMaximized());
    QCOMPARE(logLines().mid(logLines().size() - 4), QStringList({ "show", "hide", "hide", "show" }));
}

void tst_RunnerWindow::maxFollowsWindowState()
{
    BrowserParams p = record({ "http://127.0.0.1:1/a" }, "http://127.0.0.1:1/a");
    p.hidden = false;
    YBrowserRunner runner(p);
    runner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&runner));
    auto* max = runner.findChild<QPushButton*>("max");
    QVERIFY(max->isCheckable());
    runner.showMaximized();
    QTRY_VERIFY(max->isChecked());
    runner.showNormal();
    QTRY_VERIFY(!max->isChecked());
    runner.setWindowState(Qt::WindowMaximized);
    QTRY_VERIFY(max->isChecked());
    QTest::mouseClick(max, Qt::LeftButton);
    QTRY_VERIFY(!runner.isMaximized());
    QVERIFY(!max->isChecked());
    QTest::mouseClick(max, Qt::LeftButton);
    QTRY_VERIFY(runner.isMaximized());
    QVERIFY(runner.params().maximized);
}

void tst_RunnerWindow::buttons()
{
    BrowserParams p = record({ "http://127.0.0.1:1/a" }, "http://127.0.0.1:1/a");
    p.hidden = false;
    YBrowserRunner runner(p);
    runner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&runner));
    auto* view = qobject_cast<FakeView*>(runner.findChild<TabWidget*>()->currentView());
    QSignalSpy done(&runner, &HostedRunner::settingDone);
    for (const char* name : { "back", "forward", "reload" })
        QTest::mouseClick(runner.findChild<QPushButton*>(name), Qt::LeftButton);
    QCOMPARE(view->actions, QStringList({ "back", "forward", "reload" }));
    QTest::mouseClick(runner.findChild<QPushButton*>("ok"), Qt::LeftButton);
    QCOMPARE(done.count(), 1);

    QLineEdit* edit = runner.findChild<QLineEdit*>();
    edit->setText("127.0.0.1:8/typed");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(view->loads.last(), QStringLiteral("http://127.0.0.1:8/typed"));
    runner.setUrl(QUrl("http://127.0.0.1:9/set"));
    QCOMPARE(view->loads.last(), QStringLiteral("http://127.0.0.1:9/set"));
}

void tst_RunnerWindow::completerHistory()
{
    const BrowserParams p = record({ "http://127.0.0.1:1/a" }, "http://127.0.0.1:1/a");
    YBrowserRunner runner(p);
    auto* tabs = runner.findChild<TabWidget*>();
    auto* view = qobject_cast<FakeView*>(tabs->currentView());
    QLineEdit* edit = runner.findChild<QLineEdit*>();
    // The URL loaded before the window was wired is not in the history.
    QVERIFY(!edit->completer());
    view->report("http://127.0.0.1:1/b", QIcon());
    QCompleter* firstCompleter = edit->completer();
    QVERIFY(firstCompleter);
    QCOMPARE(firstCompleter->filterMode(), Qt::MatchContains);
    QCOMPARE(firstCompleter->model()->rowCount(), 1);
    view->report("http://127.0.0.1:1/b", QIcon());
    QCOMPARE(edit->completer(), firstCompleter);
    view->report("not a url at all%%", QIcon());
    view->report("http://127.0.0.1:1/c", QIcon());
    QVERIFY(edit->completer() != firstCompleter);
    QCOMPARE(edit->completer()->model()->rowCount(), 3);
    QCOMPARE(edit->completer()->model()->index(2, 0).data().toString(), QStringLiteral("http://127.0.0.1:1/c"));
    // A background tab's report does not reach the history.
    auto* other = qobject_cast<FakeView*>(tabs->createTab());
    tabs->setCurrentIndex(0);
    other->report("http://127.0.0.1:1/background", QIcon());
    QCOMPARE(edit->completer()->model()->rowCount(), 3);
}

QTEST_MAIN(tst_RunnerWindow)
#include "tst_runnerwindow.moc"
