#include "HookLists.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "WebView.h"
#include "YBrowserRunner.h"

#include <QApplication>
#include <QScreen>
#include <QSharedMemory>
#include <QtTest>

namespace {

QString uniqueKey()
{
    static int serial = 0;
    return QStringLiteral("tst_runnerpixels_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
}

QByteArray pixelBytes(const QSharedMemory& memory, int buffer, int x, int y)
{
    const char* header = static_cast<const char*>(memory.constData()) + buffer * FrameMemory::BufferBytes;
    const auto* h = reinterpret_cast<const FrameHeader*>(header);
    return QByteArray(header + sizeof(FrameHeader) + (qint64(y) * h->width + x) * 4, 4);
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
    void tabChangeMutes();
    void settingFaceScreenshot();

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
    BrowserParams p;
    p.urls = QStringList { server.url("/solid").toString() };
    p.currentUrl = p.urls.first();
    p.pageSize = QSize(320, 240);
    p.sharedMemoryKey = uniqueKey();
    YBrowserRunner runner(p);
    runner.show();
    QSharedMemory host(p.sharedMemoryKey);
    QVERIFY(host.attach());

    // B# marks the host as not taking anything: the runner keeps writing B.
    const QByteArray expected = QByteArray::fromHex("996633ff");
    const QList<QPoint> points { { 0, 0 }, { 319, 0 }, { 160, 120 }, { 0, 239 }, { 319, 239 } };
    auto allSolid = [&] {
        for (const QPoint& point : points) {
            if (pixelBytes(host, 1, point.x(), point.y()) != expected)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(allSolid(), 30000);
    const auto* b = reinterpret_cast<const FrameHeader*>(static_cast<const char*>(host.constData()) + FrameMemory::BufferBytes);
    QCOMPARE(b->width, 320);
    QCOMPARE(b->height, 240);
    QCOMPARE(b->wholeFrame, quint8(1));
    QCOMPARE(b->consumed, quint8(0));
    QCOMPARE(runner.title(), QStringLiteral("Solid"));
    QCOMPARE(runner.url(), server.url("/solid"));
}

void tst_RunnerPixels::tabChangeMutes()
{
    BrowserParams p;
    p.urls = QStringList { server.url("/solid").toString(), server.url("/sports").toString() };
    p.currentUrl = p.urls.first();
    p.pageSize = QSize(320, 240);
    p.sharedMemoryKey = uniqueKey();
    YBrowserRunner runner(p);
    runner.show();
    auto* tabs = runner.findChild<TabWidget*>();
    QCOMPARE(tabs->currentIndex(), 0);
    tabs->setCurrentIndex(1);
    QCOMPARE(tabs->webView(0)->isMuted(), true);
    QCOMPARE(tabs->webView(1)->isMuted(), false);
    QCOMPARE(runner.isMute(), false);
    tabs->setCurrentIndex(0);
    QCOMPARE(tabs->webView(1)->isMuted(), true);
    QCOMPARE(runner.isMute(), false);
}

void tst_RunnerPixels::settingFaceScreenshot()
{
    BrowserParams p;
    p.urls = QStringList { server.url("/sports").toString(), server.url("/weather").toString() };
    p.currentUrl = p.urls.first();
    p.pageSize = QSize(1280, 720);
    p.windowRect = QRect(0, 0, 957, 635);
    p.hidden = false;
    p.sharedMemoryKey = uniqueKey();
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
    const QImage image = shot.toImage();
    QCOMPARE(QColor(image.pixel(400, 16)), QColor(52, 114, 194));
    const QString dir = qEnvironmentVariable("YBR_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        QVERIFY(shot.save(dir + "/setting-face.png"));
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
