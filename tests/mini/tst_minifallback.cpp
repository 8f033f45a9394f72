#include "LogWriter.h"
#include "MiniEngineBinder.h"
#include "MiniPages.h"
#include "TabWidget.h"
#include "WebView_Mini.h"
#include "YBrowserRunner.h"
#include "YConfiger.h"

#include <QComboBox>
#include <QtTest>

// Without an engine library the runner keeps going on Qt views.
class tst_MiniFallback : public QObject
{
    Q_OBJECT

private slots:
    void miniModesGiveQtViews()
    {
        MiniPages pages;
        QVERIFY(pages.write());
        YConfiger::instance()->setValue("MiniEngine/SearchPath", pages.dir.path());
        MiniEngineBinder::reset();
        LogWriter logWriter(pages.dir.filePath("log"));
        WebView_Mini::startEngine();
        BrowserParams p;
        p.urls = QStringList { pages.url("a.html") };
        p.currentUrl = p.urls.first();
        p.pageSize = QSize(200, 100);
        p.sharedMemoryKey = QStringLiteral("tst_minifallback_%1").arg(QCoreApplication::applicationPid());
        p.hidden = true;
        YBrowserRunner runner(p);
        auto* tabs = runner.findChild<TabWidget*>();
        QTRY_COMPARE_WITH_TIMEOUT(tabs->tabText(0), QString("A page"), 20000);
        auto* selector = runner.findChild<QComboBox*>("defaultMode");
        selector->setCurrentIndex(1);
        QCOMPARE(selector->currentIndex(), 0);
        QCOMPARE(tabs->currentView()->engineType(), int(WebView::QtEngine));
        QCOMPARE(runner.url(), QUrl(pages.url("a.html")));
        QCOMPARE(runner.title(), QString("A page"));
        QCOMPARE(tabs->newTab(WebView::MiniEngine)->engineType(), int(WebView::QtEngine));
        QCOMPARE(tabs->newTab(WebView::VipMiniEngine)->engineType(), int(WebView::QtEngine));

        QFile log(logWriter.path());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QStringList lines;
        // The profile's own line (who holds it) depends on other runners of the user.
        for (const QString& line : QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)) {
            if (!line.mid(22).startsWith("Profile "))
                lines << line.mid(22).trimmed();
        }
        // The missing library is logged once, the first interface standing for both.
        const QString missing = pages.dir.filePath("libybrminiengine.so") + " does not exist";
        QCOMPARE(lines, QStringList({ "hide", "Mini engine not bound: \"" + missing + "\"",
                                      "No engine for mode, the tab keeps its engine : \"2\"",
                                      "No web view for engine mode 2, using mode 1" }));
    }
};

QTEST_MAIN(tst_MiniFallback)
#include "tst_minifallback.moc"
