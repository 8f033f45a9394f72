#include "HookLists.h"
#include "HostSegment.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "WebView.h"
#include "YBrowserRunner.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>

namespace {

BrowserParams record(const QStringList& urls, const QSize& pageSize)
{
    BrowserParams p;
    p.urls = urls;
    p.currentUrl = urls.first();
    p.pageSize = pageSize;
    p.sharedMemoryKey = uniqueKey();
    return p;
}

const QByteArray solidPage = "<html><head><title>Solid</title></head>"
                             "<body style=\"margin:0;background:#336699\"></body></html>";

const QByteArray articlePage = R"(<html><head><meta charset="utf-8"><title>%1</title>
<style>
body { margin: 0; font-family: sans-serif; color: #333; background: #f4f6f9; }
header { background: #2d6cb5; color: white; padding: 18px 32px; font-size: 22px; }
main { display: flex; gap: 24px; padding: 24px 32px; }
.card { flex: 1; background: white; border-radius: 6px; padding: 16px 20px; box-shadow: 0 1px 3px #0002; }
.card h2 { margin: 0 0 8px; font-size: 17px; color: #2d6cb5; }
</style></head>
<body><header>%1</header><main>
<div class="card"><h2>Scores</h2><p>Home 2 : 1 Away</p><p>Second half, 67th minute.</p></div>
<div class="card"><h2>Schedule</h2><p>20:00 Opening match</p><p>22:30 Highlights</p></div>
<div class="card"><h2>Notes</h2><p>This page is served on 127.0.0.1 for the setting window.</p></div>
</main></body></html>)";

} // namespace

class tst_RunnerPixels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void realPixelsInTheBuffer();
    void settingFaceWithTwoTabs();

private:
    LocalHttpServer server;
};

void tst_RunnerPixels::initTestCase()
{
    QVERIFY(WebView::isRegistered(WebView::QtEngine));
    server.servePage("/solid", solidPage);
    server.servePage("/sports", QString::fromUtf8(articlePage).arg("Sports desk").toUtf8());
    server.servePage("/weather", QString::fromUtf8(articlePage).arg("Weather desk").toUtf8());
    QVERIFY(server.start());
}

void tst_RunnerPixels::realPixelsInTheBuffer()
{
    const BrowserParams p = record({ server.url("/solid").toString() }, QSize(320, 240));
    YBrowserRunner runner(p);
    runner.show();
    HostSegment host(p.sharedMemoryKey);
    QVERIFY(host.join());

    // B# marks the host as not taking anything: the runner keeps writing B.
    const QList<QPoint> points { { 0, 0 }, { 319, 0 }, { 160, 120 }, { 0, 239 }, { 319, 239 } };
    auto allSolid = [&] {
        for (const QPoint& point : points) {
            if (host.pixelAt(1, point.x(), point.y()) != QByteArray::fromHex("996633ff"))
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allSolid(), 30000);
    QCOMPARE(QSize(host.header(1)->width, host.header(1)->height), QSize(320, 240));
    QCOMPARE(host.header(1)->wholeFrame, quint8(1));
    QCOMPARE(host.header(1)->consumed, quint8(0));
    QCOMPARE(runner.title(), QStringLiteral("Solid"));
    QCOMPARE(runner.url(), server.url("/solid"));
}

void tst_RunnerPixels::settingFaceWithTwoTabs()
{
    BrowserParams p = record({ server.url("/sports").toString(), server.url("/weather").toString() }, QSize(1280, 720));
    p.windowRect = QRect(0, 0, 957, 635);
    p.hidden = false;
    YBrowserRunner runner(p);
    runner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&runner));
    QTRY_COMPARE_WITH_TIMEOUT(runner.title(), QStringLiteral("Sports desk"), 30000);
    auto* tabs = runner.findChild<TabWidget*>();
    QTRY_COMPARE_WITH_TIMEOUT(tabs->tabText(1), QStringLiteral("Weather desk"), 30000);
    QTest::qWait(1500);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(runner.pos(), screen.center() - runner.rect().center());
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(runner.winId());
    QCOMPARE(shot.size(), QSize(957, 635));
    // The title bar's blue and the page header's blue are on screen.
    QCOMPARE(QColor(shot.toImage().pixel(400, 16)), QColor(52, 114, 194));
    const QString dir = qEnvironmentVariable("YBR_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(shot.save(dir + "/setting-face.png"));

    // Only the current page of real views is heard.
    for (int current : { 1, 0 }) {
        tabs->setCurrentIndex(current);
        QCOMPARE(tabs->webView(current)->isMuted(), false);
        QCOMPARE(tabs->webView(1 - current)->isMuted(), true);
        QCOMPARE(runner.isMute(), false);
    }
}

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
