#include "HookLists.h"
#include "HostSegment.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "YBrowserRunner.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>

static const QString page = R"(<html><head><meta charset="utf-8"><title>%1</title><style>
body { margin: 0; font-family: sans-serif; color: #333; background: #f4f6f9; } main { display: flex; gap: 24px; padding: 24px 32px; }
header { background: #2d6cb5; color: white; padding: 18px 32px; font-size: 22px; } h2 { margin: 0 0 8px; font-size: 17px; color: #2d6cb5; }
.card { flex: 1; background: white; border-radius: 6px; padding: 16px 20px; box-shadow: 0 1px 3px #0002; }
</style></head><body><header>%1</header><main><div class="card"><h2>Scores</h2><p>Home 2 : 1 Away</p><p>Second half, 67th minute.</p></div>
<div class="card"><h2>Schedule</h2><p>20:00 Opening match</p><p>22:30 Highlights</p></div>
<div class="card"><h2>Notes</h2><p>This page is served on 127.0.0.1 for the setting window.</p></div></main></body></html>)";

class tst_RunnerPixels : public QObject
{
    Q_OBJECT

private slots:
    // The setting face with real pages in two tabs as a person sees it (saved in $YBR_SCREENSHOT_DIR) and the host reads it.
    void settingFaceWithTwoTabs()
    {
        LocalHttpServer server;
        server.servePage("/sports", page.arg("Sports desk").toUtf8());
        server.servePage("/weather", page.arg("Weather desk").toUtf8());
        QVERIFY(server.start());
        BrowserParams p;
        p.urls = QStringList { server.url("/sports").toString(), server.url("/weather").toString() };
        p.currentUrl = p.urls.first();
        p.pageSize = QSize(1280, 720);
        p.sharedMemoryKey = uniqueKey();
        p.windowRect = QRect(0, 0, 957, 635);
        p.hidden = false;
        YBrowserRunner runner(p);
        runner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&runner));
        QTRY_COMPARE_WITH_TIMEOUT(runner.title(), QStringLiteral("Sports desk"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(runner.findChild<TabWidget*>()->tabText(1), QStringLiteral("Weather desk"), 30000);
        // B counts as taken at set-up and is never given back here: the runner keeps writing it.
        HostSegment host(p.sharedMemoryKey);
        QVERIFY(host.join());
        QTRY_COMPARE_WITH_TIMEOUT(host.bytes(1, 0, 4) + host.bytes(1, 1279 * 4, 4) + host.bytes(1, (50 * 1280 + 1279) * 4, 4),
                                  QByteArray::fromHex("b56c2dff").repeated(3), 30000);
        QCOMPARE(QSize(host.header(1)->width, host.header(1)->height), QSize(1280, 720));
        QTest::qWait(1500);
        QCOMPARE(runner.pos(), QGuiApplication::primaryScreen()->geometry().center() - runner.rect().center());
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(runner.winId());
        QCOMPARE(shot.size(), QSize(957, 635));
        QCOMPARE(QColor(shot.toImage().pixel(400, 16)), QColor(52, 114, 194)); // the title bar
        const QString dir = qEnvironmentVariable("YBR_SCREENSHOT_DIR");
        QVERIFY(dir.isEmpty() || shot.save(dir + "/setting-face.png"));
    }

    void loadSnapshotShowsPage_data()
    {
        QTest::addColumn<QString>("background");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("green") << "#00ff00" << qRgb(0, 255, 0);
        QTest::newRow("black") << "#000" << qRgb(0, 0, 0);
    }

    // The snapshot a host gets with LoadFinished is the loaded page, not the blank view before its first paint.
    void loadSnapshotShowsPage()
    {
        QFETCH(QString, background);
        QFETCH(QRgb, colour);
        LocalHttpServer server;
        server.servePage("/solid", QStringLiteral("<html><body style='margin:0;background:%1'></body></html>").arg(background).toUtf8());
        QVERIFY(server.start());
        BrowserParams p;
        p.urls = QStringList { server.url("/solid").toString() };
        p.currentUrl = p.urls.first();
        p.pageSize = QSize(640, 360);
        p.sharedMemoryKey = uniqueKey();
        YBrowserRunner runner(p);
        runner.show();
        QSignalSpy finished(&runner, &HostedRunner::loadFinished);
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().at(0).toBool(), true);
        const QImage snapshot = finished.first().at(1).value<QImage>();
        QCOMPARE(snapshot.size(), QSize(640, 360));
        QCOMPARE(snapshot.format(), QImage::Format_ARGB32);
        for (const QPoint& at : { QPoint(320, 180), QPoint(0, 0), QPoint(639, 0), QPoint(0, 359), QPoint(639, 359) })
            QCOMPARE(QColor::fromRgba(snapshot.pixel(at)), QColor::fromRgba(colour));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    runHooks(startupHooks());
    YUILIB::initialise();
    tst_RunnerPixels test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_runnerpixels.moc"
