#include "FrameHeader.h"
#include "LogWriter.h"
#include "StubView.h"
#include "TabWidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QStyle>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <vector>

Q_DECLARE_METATYPE(WebView*)

namespace {

StubView* stub(WebView* view)
{
    return qobject_cast<StubView*>(view);
}

QList<WebView*> views(const TabWidget& tabs)
{
    QList<WebView*> list;
    for (int i = 0; i < tabs.count(); ++i)
        list.append(tabs.webView(i));
    return list;
}

QStringList entriesOf(const QMenu* menu)
{
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return entries;
}

// Right-clicks the tab bar at pos and reads the menu; clicks the entry named
// choice, or closes the menu when there is none.
QStringList runContextMenu(TabWidget& tabs, const QPoint& pos, const QString& choice = QString())
{
    QStringList entries;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible())
            return;
        poll.stop();
        entries = entriesOf(menu);
        for (QAction* action : menu->actions()) {
            if (!choice.isEmpty() && action->text() == choice) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        menu->close();
    });
    poll.start(10);
    // What the window system delivers for a right click; QTest's own clicks do not make one.
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tabs.tabBar()->mapToGlobal(pos));
    QApplication::sendEvent(tabs.tabBar(), &event);
    return entries;
}

QPoint tabCentre(const TabWidget& tabs, int index)
{
    return tabs.tabBar()->tabRect(index).center();
}

QPoint emptyBarPoint(const TabWidget& tabs)
{
    const QTabBar* bar = tabs.tabBar();
    const QRect last = bar->tabRect(bar->count() - 1);
    return QPoint(last.right() + 20, last.center().y());
}

} // namespace

class TabWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void closeButtons_data();
    void closeButtons();
    void contextMenuEntries_data();
    void contextMenuEntries();
    void contextMenuActions_data();
    void contextMenuActions();
    void closingLastTabLeavesNewTab_data();
    void closingLastTabLeavesNewTab();
    void closeCurrentTab();
    void reportsReachOnlyCurrent_data();
    void reportsReachOnlyCurrent();
    void switchingTabs();
    void nextAndPrevious_data();
    void nextAndPrevious();
    void doubleClick();
    void navigationGoesToCurrentView();
    void newTabLikeKeepsEngine();
    void unregisteredModeFallsBack();
    void pageSize_data();
    void pageSize();
    void frameBuffer_data();
    void frameBuffer();
    void frameBufferWithoutView();

private:
    TabWidget* makeTabs(int count);

    TabWidget* tabs = nullptr;
};

void TabWidgetTest::initTestCase()
{
    qRegisterMetaType<WebView*>();
    for (int mode : { int(WebView::QtEngine), int(WebView::MiniEngine) })
        WebView::registerFactory(mode, [mode](TabWidget* tab) -> WebView* { return new StubView(tab, mode); });
    QVERIFY(!WebView::isRegistered(WebView::VipMiniEngine));
}

void TabWidgetTest::init()
{
    tabs = new TabWidget;
    tabs->resize(900, 500);
    tabs->move(50, 50);
    tabs->show();
    tabs->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(tabs));
}

void TabWidgetTest::cleanup()
{
    delete tabs;
    tabs = nullptr;
}

TabWidget* TabWidgetTest::makeTabs(int count)
{
    for (int i = 0; i < count; ++i)
        tabs->createTab();
    return tabs;
}

void TabWidgetTest::closeButtons_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("closable");
    QTest::newRow("one tab") << 1 << false;
    QTest::newRow("two tabs") << 2 << true;
    QTest::newRow("five tabs") << 5 << true;
}

void TabWidgetTest::closeButtons()
{
    QFETCH(int, count);
    QFETCH(bool, closable);
    makeTabs(count);
    QCOMPARE(tabs->tabsClosable(), closable);
    const auto side = QTabBar::ButtonPosition(
        tabs->style()->styleHint(QStyle::SH_TabBar_CloseButtonPosition, nullptr, tabs->tabBar()));
    for (int i = 0; i < count; ++i)
        QCOMPARE(tabs->tabBar()->tabButton(i, side) != nullptr, closable);

    // Going back to one tab takes the close button away again.
    while (tabs->count() > 1)
        tabs->closeTab(tabs->count() - 1);
    QCOMPARE(tabs->tabsClosable(), false);
    QVERIFY(!tabs->tabBar()->tabButton(0, side));
}

void TabWidgetTest::contextMenuEntries_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("onTab");
    QTest::addColumn<QStringList>("entries");
    const QString add = "添加新标签页(&T)";
    const QString reloadAll = "重新加载所有标签页";
    QTest::newRow("one tab, on the tab")
        << 1 << 0 << QStringList { add, "克隆标签页", "-", "重新加载", reloadAll };
    QTest::newRow("two tabs, on the second")
        << 2 << 1
        << QStringList { add, "克隆标签页", "-", "关闭标签页(&C)", "关闭其他标签页(&O)", "-", "重新加载", reloadAll };
    QTest::newRow("one tab, empty bar") << 1 << -1 << QStringList { add, "-", reloadAll };
    QTest::newRow("three tabs, empty bar") << 3 << -1 << QStringList { add, "-", reloadAll };
}

void TabWidgetTest::contextMenuEntries()
{
    QFETCH(int, count);
    QFETCH(int, onTab);
    QFETCH(QStringList, entries);
    makeTabs(count);
    const QPoint pos = onTab < 0 ? emptyBarPoint(*tabs) : tabCentre(*tabs, onTab);
    QCOMPARE(tabs->tabBar()->tabAt(pos), onTab);
    QCOMPARE(runContextMenu(*tabs, pos), entries);
    QCOMPARE(tabs->count(), count);
}

void TabWidgetTest::contextMenuActions_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("onTab");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QList<int>>("remaining"); // original tab numbers; -1 for a new tab
    QTest::addColumn<QList<int>>("reloads");   // per original tab
    QTest::newRow("close others on 3rd of 5") << 5 << 2 << "关闭其他标签页(&O)" << QList<int> { 2 } << QList<int> {};
    QTest::newRow("close 2nd of 3") << 3 << 1 << "关闭标签页(&C)" << QList<int> { 0, 2 } << QList<int> {};
    QTest::newRow("new tab") << 2 << 0 << "添加新标签页(&T)" << QList<int> { 0, 1, -1 } << QList<int> {};
    QTest::newRow("clone 1st of 2") << 2 << 0 << "克隆标签页" << QList<int> { 0, 1, -1 } << QList<int> {};
    QTest::newRow("reload 2nd of 3") << 3 << 1 << "重新加载" << QList<int> { 0, 1, 2 } << QList<int> { 0, 1, 0 };
    QTest::newRow("reload all of 3") << 3 << 0 << "重新加载所有标签页" << QList<int> { 0, 1, 2 } << QList<int> { 1, 1, 1 };
}

void TabWidgetTest::contextMenuActions()
{
    QFETCH(int, count);
    QFETCH(int, onTab);
    QFETCH(QString, entry);
    QFETCH(QList<int>, remaining);
    QFETCH(QList<int>, reloads);
    makeTabs(count);
    const QList<WebView*> before = views(*tabs);
    for (int i = 0; i < count; ++i)
        tabs->webView(i)->setUrl(QString("http://127.0.0.1/tab%1").arg(i));

    runContextMenu(*tabs, tabCentre(*tabs, onTab), entry);

    QCOMPARE(tabs->count(), remaining.size());
    for (int i = 0; i < remaining.size(); ++i) {
        if (remaining.at(i) >= 0) {
            QCOMPARE(tabs->webView(i), before.at(remaining.at(i)));
            continue;
        }
        QVERIFY(!before.contains(tabs->webView(i)));
        QCOMPARE(tabs->currentIndex(), i);
        QCOMPARE(tabs->tabText(i), QString("新建标签"));
        const QStringList expectedLoads = entry == "克隆标签页" ? QStringList { "http://127.0.0.1/tab0" } : QStringList();
        QCOMPARE(stub(tabs->webView(i))->loadedUrls, expectedLoads);
    }
    for (int i = 0; i < reloads.size(); ++i)
        QCOMPARE(stub(before.at(i))->reloads, reloads.at(i));
}

void TabWidgetTest::closingLastTabLeavesNewTab_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("qt engine") << int(WebView::QtEngine);
    QTest::newRow("mini engine") << int(WebView::MiniEngine);
}

void TabWidgetTest::closingLastTabLeavesNewTab()
{
    QFETCH(int, mode);
    makeTabs(1);
    tabs->setEngineMode(mode);
    QPointer<WebView> old = tabs->webView(0);
    tabs->setTabText(0, "page");

    tabs->closeTab(0);

    QCOMPARE(tabs->count(), 1);
    QVERIFY(tabs->webView(0) != old.data());
    QCOMPARE(tabs->webView(0)->engineType(), mode);
    QCOMPARE(tabs->tabText(0), QString("新建标签"));
    QVERIFY(old);
    QTRY_VERIFY(!old);

    // Indexes without a tab change nothing.
    tabs->closeTab(1);
    tabs->closeTab(-1);
    QCOMPARE(tabs->count(), 1);
}

void TabWidgetTest::closeCurrentTab()
{
    makeTabs(3);
    const QList<WebView*> before = views(*tabs);
    tabs->setCurrentIndex(1);
    QSignalSpy changed(tabs, &TabWidget::currentViewChanged);
    QSignalSpy finished(tabs, &TabWidget::loadFinished);

    tabs->closeCurrentTab();
    QCOMPARE(views(*tabs), (QList<WebView*> { before.at(0), before.at(2) }));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(finished.count(), 0);

    tabs->closeCurrentTab();
    tabs->closeCurrentTab();
    QCOMPARE(tabs->count(), 0);
    QVERIFY(!tabs->currentView());
    tabs->closeCurrentTab();
    QCOMPARE(tabs->count(), 0);
}

void TabWidgetTest::reportsReachOnlyCurrent_data()
{
    QTest::addColumn<bool>("current");
    QTest::newRow("current tab") << true;
    QTest::newRow("background tab") << false;
}

void TabWidgetTest::reportsReachOnlyCurrent()
{
    QFETCH(bool, current);
    makeTabs(2);
    WebView* view = tabs->webView(current ? 1 : 0);
    QSignalSpy titles(tabs, &TabWidget::titleChanged);
    QSignalSpy urls(tabs, &TabWidget::urlChanged);
    QSignalSpy icons(tabs, &TabWidget::favIconChanged);
    QSignalSpy progress(tabs, &TabWidget::loadProgress);
    QSignalSpy actions(tabs, &TabWidget::actionEnableChanged);
    QPixmap red(16, 16);
    red.fill(Qt::red);

    tabs->viewTitleChanged(view, "A <b>title</b>");
    tabs->viewUrlChanged(view, "http://127.0.0.1:8080/a b?x=1");
    tabs->viewIconChanged(view, QIcon(red));
    tabs->viewLoadProgress(view, 42);
    tabs->viewActionChanged(view, WebView::BackAction, true);

    const int index = tabs->indexOf(view);
    QCOMPARE(tabs->tabText(index), QString("A <b>title</b>"));
    QCOMPARE(tabs->tabToolTip(index), QString("A <b>title</b>"));
    QCOMPARE(tabs->tabBar()->tabData(index).toString(), QString("http://127.0.0.1:8080/a b?x=1"));
    QCOMPARE(tabs->tabIcon(index).pixmap(16, 16).toImage().pixel(8, 8), QColor(Qt::red).rgb());
    const int expected = current ? 1 : 0;
    QCOMPARE(titles.count(), expected);
    QCOMPARE(urls.count(), expected);
    QCOMPARE(icons.count(), expected);
    QCOMPARE(progress.count(), expected);
    QCOMPARE(actions.count(), expected);
    if (current) {
        QCOMPARE(titles.at(0).at(0).toString(), QString("A <b>title</b>"));
        QCOMPARE(urls.at(0).at(0).toUrl(), QUrl("http://127.0.0.1:8080/a%20b?x=1"));
        QCOMPARE(progress.at(0).at(0).toInt(), 42);
        QCOMPARE(actions.at(0), (QList<QVariant> { 1, true }));
    }

    // A view that is no tab of this widget changes nothing.
    StubView stranger(tabs, 1);
    tabs->viewTitleChanged(&stranger, "stranger");
    tabs->viewLoadProgress(&stranger, 7);
    QCOMPARE(titles.count(), expected);
    QCOMPARE(progress.count(), expected);
    QCOMPARE(tabs->tabText(0) == "stranger" || tabs->tabText(1) == "stranger", false);
}

void TabWidgetTest::switchingTabs()
{
    makeTabs(3);
    QStringList order;
    connect(tabs, &TabWidget::currentViewChanged, this,
            [&](WebView* v) { order << QString("view %1").arg(tabs->indexOf(v)); });
    connect(tabs, &TabWidget::loadFinished, this, [&](bool ok) { order << QString("finished %1").arg(ok); });

    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabCentre(*tabs, 0));
    tabs->setCurrentIndex(1);
    QCOMPARE(order, (QStringList { "view 0", "finished 1", "view 1", "finished 1" }));
    QCOMPARE(tabs->currentView(), tabs->webView(1));
    QVERIFY(tabs->isCurrentView(tabs->webView(1)));
    QVERIFY(!tabs->isCurrentView(tabs->webView(0)));
    QVERIFY(!tabs->isCurrentView(nullptr));

    // A new tab becomes current through the same reports.
    order.clear();
    WebView* added = tabs->createTab();
    QCOMPARE(order, (QStringList { "view 3", "finished 1" }));
    QCOMPARE(tabs->currentView(), added);
}

void TabWidgetTest::nextAndPrevious_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("next");
    QTest::addColumn<int>("result");
    QTest::newRow("next from last wraps") << 4 << 3 << true << 0;
    QTest::newRow("next in the middle") << 4 << 1 << true << 2;
    QTest::newRow("previous from first wraps") << 4 << 0 << false << 3;
    QTest::newRow("previous in the middle") << 4 << 2 << false << 1;
    QTest::newRow("single tab stays") << 1 << 0 << true << 0;
}

void TabWidgetTest::nextAndPrevious()
{
    QFETCH(int, count);
    QFETCH(int, start);
    QFETCH(bool, next);
    QFETCH(int, result);
    makeTabs(count);
    tabs->setCurrentIndex(start);
    next ? tabs->nextTab() : tabs->previousTab();
    QCOMPARE(tabs->currentIndex(), result);
}

void TabWidgetTest::doubleClick()
{
    makeTabs(2);
    QTest::mouseDClick(tabs->tabBar(), Qt::LeftButton, {}, tabCentre(*tabs, 0));
    QCOMPARE(tabs->count(), 2);

    tabs->setEngineMode(WebView::MiniEngine);
    const QPoint empty = emptyBarPoint(*tabs);
    QCOMPARE(tabs->tabBar()->tabAt(empty), -1);
    QTest::mouseDClick(tabs->tabBar(), Qt::LeftButton, {}, empty);
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(tabs->currentView()->engineType(), int(WebView::MiniEngine));
}

void TabWidgetTest::navigationGoesToCurrentView()
{
    makeTabs(2);
    tabs->setCurrentIndex(0);
    StubView* current = stub(tabs->webView(0));
    StubView* other = stub(tabs->webView(1));
    tabs->forward();
    tabs->back();
    tabs->back();
    tabs->reload();
    tabs->setUrl(QUrl("http://127.0.0.1:1234/page?q=a"));
    QCOMPARE(current->forwards, 1);
    QCOMPARE(current->backs, 2);
    QCOMPARE(current->reloads, 1);
    QCOMPARE(current->loadedUrls, QStringList { "http://127.0.0.1:1234/page?q=a" });
    QTRY_VERIFY(current->hasFocus());
    QCOMPARE(other->forwards + other->backs + other->reloads + other->loadedUrls.size(), 0);

    other->setUrl("http://127.0.0.1/other");
    QCOMPARE(tabs->urls(), (QStringList { "http://127.0.0.1:1234/page?q=a", "http://127.0.0.1/other" }));
    QCOMPARE(tabs->currentUrl(), QString("http://127.0.0.1:1234/page?q=a"));

    tabs->clear();
    tabs->forward();
    tabs->setUrl(QUrl("http://127.0.0.1/none"));
    QCOMPARE(tabs->currentUrl(), QString());
    QCOMPARE(tabs->urls(), QStringList());
    QCOMPARE(current->loadedUrls.size(), 1);
    delete current;
    delete other;
}

void TabWidgetTest::newTabLikeKeepsEngine()
{
    makeTabs(1);
    WebView* mini = tabs->newTab(WebView::MiniEngine);
    tabs->setCurrentIndex(0);
    QCOMPARE(tabs->engineMode(), int(WebView::QtEngine));

    WebView* like = tabs->newTabLike(mini);
    QCOMPARE(like->engineType(), int(WebView::MiniEngine));
    QCOMPARE(tabs->currentView(), like);
    QCOMPARE(tabs->count(), 3);
    QVERIFY(!tabs->newTabLike(nullptr));
    QCOMPARE(tabs->count(), 3);
}

void TabWidgetTest::unregisteredModeFallsBack()
{
    QTemporaryDir logDir;
    LogWriter writer(logDir.path());
    tabs->setEngineMode(WebView::VipMiniEngine);

    WebView* view = tabs->createTab();
    QVERIFY(view);
    QCOMPARE(view->engineType(), int(WebView::QtEngine));
    QCOMPARE(tabs->currentView(), view);
    QCOMPARE(tabs->engineMode(), int(WebView::VipMiniEngine));

    QFile file(writer.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).mid(22).trimmed(), QByteArray("No web view for engine mode 2, using mode 1"));
}

void TabWidgetTest::pageSize_data()
{
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QSize>("stored");
    QTest::newRow("ordinary") << QSize(1280, 720) << QSize(1280, 720);
    QTest::newRow("largest") << QSize(7680, 4320) << QSize(7680, 4320);
    QTest::newRow("too wide") << QSize(7681, 100) << QSize(7680, 100);
    QTest::newRow("too high") << QSize(100, 5000) << QSize(100, 4320);
    QTest::newRow("negative") << QSize(-5, -1) << QSize(0, 0);
}

void TabWidgetTest::pageSize()
{
    QFETCH(QSize, asked);
    QFETCH(QSize, stored);
    QCOMPARE(tabs->pageSize(), QSize(-1, -1));
    makeTabs(3);
    tabs->setPageSize(asked);
    QCOMPARE(tabs->pageSize(), stored);
    for (WebView* view : views(*tabs))
        QCOMPARE(stub(view)->pageSizes, QList<QSize> { stored });
}

void TabWidgetTest::frameBuffer_data()
{
    QTest::addColumn<QSize>("page");
    QTest::newRow("800x600") << QSize(800, 600);
    QTest::newRow("1x1") << QSize(1, 1);
    QTest::newRow("odd 333x7") << QSize(333, 7);
}

void TabWidgetTest::frameBuffer()
{
    QFETCH(QSize, page);
    makeTabs(2);
    tabs->setPageSize(page);
    stub(tabs->webView(0))->colour = 0xff112233;
    stub(tabs->webView(1))->colour = 0x80a0b0c0;
    const qint64 pixelBytes = qint64(page.width()) * page.height() * 4;
    std::vector<uchar> memory(sizeof(FrameHeader) + pixelBytes + 64, 0xEE);
    auto* header = reinterpret_cast<FrameHeader*>(memory.data());
    header->consumed = 1;
    header->wholeFrame = 0;
    header->engineFlag = 1;

    tabs->setFrameBuffer(header);

    QCOMPARE(int(memory[0]), 0);
    QCOMPARE(int(memory[1]), 1);
    QCOMPARE(int(memory[2]), 1);
    QCOMPARE(int(memory[3]), 0xEE);
    const qint32 fields[6] = { page.width(), page.height(), 0, 0, page.width(), page.height() };
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(memory.data() + 4), 24),
             QByteArray(reinterpret_cast<const char*>(fields), 24));
    const QByteArray pixel = QByteArray::fromHex("c0b0a080"); // B, G, R, A in memory
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(memory.data() + 28), 4), pixel);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(memory.data() + 28 + pixelBytes - 4), 4), pixel);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(memory.data() + 28 + pixelBytes), 64), QByteArray(64, '\xEE'));
}

void TabWidgetTest::frameBufferWithoutView()
{
    tabs->setPageSize(QSize(4, 2));
    std::vector<uchar> memory(sizeof(FrameHeader) + 4 * 2 * 4, 0x5A);
    auto* header = reinterpret_cast<FrameHeader*>(memory.data());

    tabs->setFrameBuffer(header);
    tabs->setFrameBuffer(nullptr);

    QCOMPARE(header->consumed, quint8(0));
    QCOMPARE(header->wholeFrame, quint8(1));
    QCOMPARE(header->engineFlag, quint8(0x5A));
    QCOMPARE(QList<int>({ header->width, header->height, header->dirtyX, header->dirtyY, header->dirtyWidth,
                          header->dirtyHeight }),
             QList<int>({ 4, 2, 0, 0, 4, 2 }));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(header->pixels()), 32), QByteArray(32, '\x5A'));
}

QTEST_MAIN(TabWidgetTest)
#include "tst_tabwidget.moc"
