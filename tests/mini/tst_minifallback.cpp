#include "LogWriter.h"
#include "MiniEngineBinder.h"
#include "MiniPages.h"
#include "TabWidget.h"
#include "WebView_Mini.h"
#include "YBrowserRunner.h"
#include "YConfiger.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QtTest>

// Without an engine library the runner keeps going on Qt views.
class tst_MiniFallback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void miniModesGiveQtViews_data();
    void miniModesGiveQtViews();
    void runnerKeepsItsQtTabOnMini();

private:
    QStringList logLines() const;

    QTemporaryDir dir;
    std::unique_ptr<LogWriter> logWriter;
    MiniPages::Server server;
};

void tst_MiniFallback::initTestCase()
{
    YConfiger::instance()->setValue("MiniEngine/SearchPath", dir.path());
    MiniEngineBinder::reset();
    logWriter.reset(new LogWriter(dir.filePath("log")));
    // The missing library is logged once, by the start-up hook's deferred part.
    WebView_Mini::startEngine();
    QCOMPARE(logLines(), QStringList());
    QTest::qWait(20);
    QCOMPARE(logLines(), QStringList { QStringLiteral("Mini engine not bound: \"%1 does not exist\"")
                                           .arg(dir.filePath("libybrminiengine.so")) });
    QVERIFY(!WebView::isRegistered(WebView::VipMiniEngine));
}

QStringList tst_MiniFallback::logLines() const
{
    QFile file(logWriter->path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty())
            lines << QString::fromUtf8(line.mid(22)).trimmed();
    return lines;
}

void tst_MiniFallback::miniModesGiveQtViews_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("logged");
    QTest::newRow("mini") << int(WebView::MiniEngine) << QStringList();
    QTest::newRow("vip mini") << int(WebView::VipMiniEngine)
                              << QStringList { "No web view for engine mode 2, using mode 1" };
}

void tst_MiniFallback::miniModesGiveQtViews()
{
    QFETCH(int, mode);
    QFETCH(QStringList, logged);

    const int before = logLines().size();
    TabWidget tabs;
    tabs.setPageSize(QSize(200, 100));
    WebView* view = tabs.newTab(mode);
    QVERIFY(view);
    QCOMPARE(view->engineType(), int(WebView::QtEngine));
    QCOMPARE(tabs.count(), 1);
    QCOMPARE(logLines().mid(before), logged);
}

void tst_MiniFallback::runnerKeepsItsQtTabOnMini()
{
    BrowserParams p;
    p.urls = QStringList { server.url("/a") };
    p.currentUrl = p.urls.first();
    p.pageSize = QSize(200, 100);
    p.sharedMemoryKey = QStringLiteral("tst_minifallback_%1").arg(QCoreApplication::applicationPid());
    p.hidden = true;
    YBrowserRunner runner(p);
    auto* tabs = runner.findChild<TabWidget*>();
    QTRY_COMPARE_WITH_TIMEOUT(tabs->tabText(0), QString("A page"), 20000);

    const int before = logLines().size();
    auto* selector = runner.findChild<QComboBox*>("defaultMode");
    selector->setCurrentIndex(1);
    QCOMPARE(logLines().mid(before), QStringList { "No engine for mode, the tab keeps its engine : \"2\"" });
    QCOMPARE(selector->currentIndex(), 0);
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->currentView()->engineType(), int(WebView::QtEngine));
    QCOMPARE(runner.url(), QUrl(server.url("/a")));
    QCOMPARE(runner.title(), QString("A page"));
}

QTEST_MAIN(tst_MiniFallback)
#include "tst_minifallback.moc"
