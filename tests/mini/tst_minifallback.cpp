#include "LogWriter.h"
#include "MiniEngineBinder.h"
#include "PageServer.h"
#include "TabWidget.h"
#include "WebView_Mini.h"
#include "YConfiger.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Without an engine library the runner keeps going on Qt views.
class tst_MiniFallback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void logsTheMissingLibraryOnce();
    void miniModesGiveQtViews_data();
    void miniModesGiveQtViews();
    void engineSwitchToMiniKeepsTheUrl();

private:
    QStringList logLines() const;

    QTemporaryDir dir;
    std::unique_ptr<LogWriter> logWriter;
    PageServer server;
};

void tst_MiniFallback::initTestCase()
{
    YConfiger::instance()->setValue("MiniEngine/SearchPath", dir.path());
    MiniEngineBinder::reset();
    logWriter.reset(new LogWriter(dir.filePath("log")));
    server.setPage("/a", "<html><head><title>A page</title></head><body>a</body></html>");
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

void tst_MiniFallback::logsTheMissingLibraryOnce()
{
    WebView_Mini::startEngine();
    QCOMPARE(logLines(), QStringList());
    QTest::qWait(20);
    // The reason after the file name is the system's.
    const QString file = dir.filePath("libybrminiengine.so");
    const QStringList lines = logLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().startsWith(QStringLiteral("Mini engine not bound: \"Cannot load library %1: (").arg(file)),
             qPrintable(lines.first()));
    QVERIFY(!WebView::isRegistered(WebView::VipMiniEngine));
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

void tst_MiniFallback::engineSwitchToMiniKeepsTheUrl()
{
    TabWidget tabs;
    tabs.setPageSize(QSize(200, 100));
    tabs.createTab()->setUrl(server.url("/a"));
    QTRY_COMPARE_WITH_TIMEOUT(tabs.tabText(0), QString("A page"), 20000);

    // The setting window's engine selector choosing "Mini".
    tabs.setEngineMode(WebView::VipMiniEngine);
    const QString url = tabs.currentUrl();
    tabs.closeCurrentTab();
    tabs.createTab();
    tabs.setUrl(QUrl(url));

    QCOMPARE(tabs.count(), 1);
    QCOMPARE(tabs.currentView()->engineType(), int(WebView::QtEngine));
    QTRY_COMPARE_WITH_TIMEOUT(tabs.tabText(0), QString("A page"), 20000);
    QCOMPARE(tabs.currentUrl(), server.url("/a"));
}

QTEST_MAIN(tst_MiniFallback)
#include "tst_minifallback.moc"
