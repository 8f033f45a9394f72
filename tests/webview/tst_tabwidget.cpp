#include "FakeView.h"
#include "LogWriter.h"
#include "PageDialogs.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// The runner suite's fake view, in any engine mode.
class StubView : public FakeView
{
public:
    StubView(TabWidget* parent, int mode) : FakeView(parent), mode(mode) {}
    int engineType() const override { return mode; }

    const int mode;
};

const QString addEntry = "添加新标签页(&T)", cloneEntry = "克隆标签页", closeEntry = "关闭标签页(&C)",
              othersEntry = "关闭其他标签页(&O)", reloadEntry = "重新加载", allEntry = "重新加载所有标签页";

// The centre of tab index, or a point on the empty bar for -1.
QPoint pointOn(const TabWidget& tabs, int index)
{
    const QRect tab = tabs.tabBar()->tabRect(index < 0 ? tabs.count() - 1 : index);
    return index < 0 ? QPoint(tab.right() + 20, tab.center().y()) : tab.center();
}

// Right-clicks the bar at pos, reads the menu, then clicks choice or closes it.
QStringList runContextMenu(TabWidget& tabs, const QPoint& pos, const QString& choice)
{
    QStringList entries;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !menu->isVisible())
            return;
        poll.stop();
        for (QAction* action : menu->actions())
            entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        for (QAction* action : menu->actions()) {
            if (!choice.isEmpty() && action->text() == choice)
                return QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        }
        menu->close();
    });
    poll.start(10);
    // What the window system delivers for a right click; QTest's own clicks do not make one.
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tabs.tabBar()->mapToGlobal(pos));
    QApplication::sendEvent(tabs.tabBar(), &event);
    return entries;
}

} // namespace

class TabWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (int mode : { int(WebView::QtEngine), int(WebView::MiniEngine) })
            WebView::registerFactory(mode, [mode](TabWidget* tab) -> WebView* { return new StubView(tab, mode); });
    }

    void init()
    {
        tabs = new TabWidget;
        tabs->resize(900, 500);
        tabs->move(50, 50);
        tabs->show();
        // With no window manager the previous row's closing menu may hold the activation.
        QVERIFY(QTest::qWaitFor([this] { tabs->activateWindow(); return QTest::qWaitForWindowActive(tabs, 500); }, 20000));
    }

    void cleanup() { delete tabs; }

    void contextMenu_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("onTab"); // -1: the empty bar
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QList<int>>("remaining"); // original tab numbers; -1 for a new tab
        QTest::addColumn<QList<int>>("reloads");   // per original tab
        const QStringList one = { addEntry, cloneEntry, "-", reloadEntry, allEntry };
        const QStringList many = { addEntry, cloneEntry, "-", closeEntry, othersEntry, "-", reloadEntry, allEntry };
        const QStringList bar = { addEntry, "-", allEntry };
        QTest::newRow("one tab") << 1 << 0 << "" << one << QList<int> { 0 } << QList<int> { 0 };
        QTest::newRow("close others on 3rd of 5") << 5 << 2 << othersEntry << many << QList<int> { 2 } << QList<int> {};
        QTest::newRow("close 2nd of 3") << 3 << 1 << closeEntry << many << QList<int> { 0, 2 } << QList<int> {};
        QTest::newRow("clone 1st of 2") << 2 << 0 << cloneEntry << many << QList<int> { 0, 1, -1 } << QList<int> {};
        QTest::newRow("reload 2nd of 3") << 3 << 1 << reloadEntry << many << QList<int> { 0, 1, 2 }
                                         << QList<int> { 0, 1, 0 };
        QTest::newRow("new tab on the bar of 3") << 3 << -1 << addEntry << bar << QList<int> { 0, 1, 2, -1 }
                                                 << QList<int> {};
        QTest::newRow("reload all on the bar of 1") << 1 << -1 << allEntry << bar << QList<int> { 0 } << QList<int> { 1 };
    }

    // Also the close buttons: on every tab while there are two or more, else none.
    void contextMenu()
    {
        QFETCH(int, count);
        QFETCH(int, onTab);
        QFETCH(QString, choice);
        QFETCH(QStringList, entries);
        QFETCH(QList<int>, remaining);
        QFETCH(QList<int>, reloads);
        const QList<WebView*> before = makeTabs(count);
        const auto closeButtons = [bar = tabs->tabBar()] {
            int buttons = 0;
            for (int i = 0; i < bar->count(); ++i)
                buttons += bar->tabButton(i, QTabBar::LeftSide) || bar->tabButton(i, QTabBar::RightSide);
            return buttons;
        };
        QCOMPARE(closeButtons(), count > 1 ? count : 0);

        QCOMPARE(runContextMenu(*tabs, pointOn(*tabs, onTab), choice), entries);
        QCOMPARE(tabs->count(), remaining.size());
        QCOMPARE(closeButtons(), remaining.size() > 1 ? remaining.size() : 0);
        for (int i = 0; i < remaining.size(); ++i) {
            if (remaining.at(i) >= 0) {
                QCOMPARE(tabs->webView(i), before.at(remaining.at(i)));
                continue;
            }
            QVERIFY(!before.contains(tabs->webView(i)));
            QCOMPARE(tabs->currentIndex(), i);
            QCOMPARE(tabs->tabText(i), QString("新建标签"));
            const QStringList loads = choice == cloneEntry ? QStringList { "http://127.0.0.1/tab0" } : QStringList();
            QCOMPARE(static_cast<StubView*>(tabs->webView(i))->loads, loads);
        }
        for (int i = 0; i < reloads.size(); ++i)
            QCOMPARE(static_cast<StubView*>(before.at(i))->actions.count("reload"), reloads.at(i));
    }

    void newTab_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("mode"); // the tab widget's
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("engine");
        QTest::addColumn<QString>("logged");
        const int qt = WebView::QtEngine, mini = WebView::MiniEngine;
        QTest::newRow("closing every tab") << "close all" << mini << 1 << mini << "";
        QTest::newRow("double click on the empty bar") << "double click -1" << mini << 3 << mini << "";
        QTest::newRow("double click on a tab") << "double click 1" << mini << 2 << qt << "";
        QTest::newRow("new window of a mini tab") << "like" << qt << 4 << mini << "";
        QTest::newRow("unregistered mode") << "create" << int(WebView::VipMiniEngine) << 3 << qt
                                           << "No web view for engine mode 2, using mode 1";
    }

    // Which engine a new tab gets, and when there is one at all.
    void newTab()
    {
        QFETCH(QString, how);
        QFETCH(int, mode);
        QFETCH(int, count);
        QFETCH(int, engine);
        QFETCH(QString, logged);
        QTemporaryDir logDir;
        LogWriter writer(logDir.path());
        QPointer<WebView> first = makeTabs(2).first();
        tabs->setEngineMode(mode);
        if (how == "close all") {
            tabs->closeTab(1);
            tabs->closeTab(0);
        } else if (how.startsWith("double click")) {
            QTest::mouseDClick(tabs->tabBar(), Qt::LeftButton, {}, pointOn(*tabs, how.split(' ').last().toInt()));
        } else {
            WebView* made = how == "like" ? tabs->newTabLike(tabs->newTab(WebView::MiniEngine)) : tabs->createTab();
            QCOMPARE(made, tabs->currentView());
        }
        QVERIFY(!tabs->newTabLike(nullptr));
        tabs->closeTab(-1);
        tabs->closeTab(tabs->count());

        QCOMPARE(tabs->count(), count);
        QCOMPARE(tabs->currentIndex(), count - 1);
        QCOMPARE(tabs->currentView()->engineType(), engine);
        QCOMPARE(tabs->tabText(count - 1), QString("新建标签"));
        QCOMPARE(static_cast<StubView*>(tabs->currentView())->loads.isEmpty(), how != "double click 1");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(first.isNull(), how == "close all");
        QFile log(writer.path());
        log.open(QIODevice::ReadOnly); // made by the first line
        QCOMPARE(QString(log.readAll().mid(22)).trimmed(), logged);
    }

    void switchingTabs_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("result");
        QTest::newRow("click on the first tab") << "click" << 2 << 0;
        QTest::newRow("next from the last wraps") << "next" << 3 << 0;
        QTest::newRow("next in the middle") << "next" << 1 << 2;
        QTest::newRow("previous from the first wraps") << "previous" << 0 << 3;
        QTest::newRow("previous in the middle") << "previous" << 2 << 1;
        QTest::newRow("a new tab") << "new" << 1 << 4;
    }

    // Every change of the current tab reports the new view, then loadFinished(true).
    void switchingTabs()
    {
        QFETCH(QString, how);
        QFETCH(int, start);
        QFETCH(int, result);
        const QList<WebView*> views = makeTabs(4);
        tabs->setCurrentIndex(start);
        QStringList order;
        QObject context;
        connect(tabs, &TabWidget::currentViewChanged, &context,
                [&](WebView* v) { order << QString("view %1").arg(tabs->indexOf(v)); });
        connect(tabs, &TabWidget::loadFinished, &context, [&](bool ok) { order << QString("finished %1").arg(ok); });
        if (how == "click")
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, pointOn(*tabs, 0));
        else if (how == "new")
            tabs->createTab();
        else
            how == "next" ? tabs->nextTab() : tabs->previousTab();
        QCOMPARE(order, (QStringList { QString("view %1").arg(result), "finished 1" }));
        QVERIFY(tabs->isCurrentView(tabs->webView(result)) && !tabs->isCurrentView(views.at(start)));
        QVERIFY(!tabs->isCurrentView(nullptr));
    }

    void captionsFitTheirTabs_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("short title") << "YBrowserRunner demo";
        QTest::newRow("long title") << "YBrowserRunner demo: a page title longer than its tab";
    }

    // Each caption's ink lies between the 15 px left padding and the close button,
    // as wide as the caption in the style sheet's 14 px font: no glyph is cut.
    void captionsFitTheirTabs()
    {
        QFETCH(QString, title);
        const QList<WebView*> views = makeTabs(2);
        tabs->viewTitleChanged(views.at(0), title);
        tabs->viewTitleChanged(views.at(1), "Weather desk");
        QTabBar* bar = tabs->tabBar();
        QFont drawn = bar->font();
        drawn.setPixelSize(14);
        const QImage image = bar->grab().toImage();
        for (int i = 0; i < bar->count(); ++i) {
            const QRect tab = bar->tabRect(i);
            QVERIFY(image.rect().contains(tab));
            const QWidget* close = bar->tabButton(i, QTabBar::RightSide);
            const int end = close ? close->geometry().left() - 1 : tab.right() - 8;
            int left = INT_MAX, right = -1;
            for (int x = tab.left(); x <= end; ++x) {
                for (int y = tab.top(); y <= tab.bottom(); ++y) {
                    if (qGray(image.pixel(x, y)) < 160) {
                        left = qMin(left, x);
                        right = x;
                        break;
                    }
                }
            }
            const int caption = QFontMetrics(drawn).horizontalAdvance(bar->tabText(i));
            const QString where = QString("tab %1 at %2..%3, ink %4..%5, caption %6 px")
                                      .arg(i).arg(tab.left()).arg(tab.right()).arg(left).arg(right).arg(caption);
            QVERIFY2(left >= tab.left() + 15 && right < end, qPrintable(where));
            QVERIFY2(right - left + 1 >= caption - 3, qPrintable(where));
        }
    }

    void closingTabWithDialogOpen_data()
    {
        QTest::addColumn<bool>("current"); // the engine switch closes the current tab, the tab bar any
        QTest::newRow("close tab") << false;
        QTest::newRow("close current tab") << true;
    }

    // Closed from its page's dialog: the view outlives the dialog's loop, asks nothing more, then goes.
    void closingTabWithDialogOpen()
    {
        QFETCH(bool, current);
        QTemporaryDir logDir;
        LogWriter writer(logDir.path());
        QPointer<WebView> view = makeTabs(2).at(current ? 1 : 0);
        auto* page = new QObject(view);
        bool aliveInLoop = false;
        QTimer::singleShot(0, [&] {
            current ? tabs->closeCurrentTab() : tabs->closeTab(0);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            aliveInLoop = !view.isNull();
        });
        for (const QString& kind : { "alert", "confirm" }) {
            QMessageBox box(QMessageBox::Information, kind, "x", QMessageBox::Ok, view);
            QCOMPARE(PageDialogs::exec(page, kind, box), 0);
        }
        QVERIFY(aliveInLoop && view);
        QCOMPARE(tabs->count(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(view.isNull());
        QFile log(writer.path());
        log.open(QIODevice::ReadOnly);
        QCOMPARE(QString(log.readAll().mid(22)).trimmed(), QString("Page dialog closed :  \"alert\""));
    }

private:
    QList<WebView*> makeTabs(int count)
    {
        QList<WebView*> views;
        for (int i = 0; i < count; ++i) {
            views.append(tabs->createTab());
            views.last()->setUrl(QString("http://127.0.0.1/tab%1").arg(i));
        }
        return views;
    }

    TabWidget* tabs = nullptr;
};

QTEST_MAIN(TabWidgetTest)
#include "tst_tabwidget.moc"
