#include "FrameGrabber.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "YConfiger.h"
#include "YEngineView.h"
#include "YWebView_Qt.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <vector>

namespace {

const QByteArray mixedPage =
    "<html><body style='margin:0;background:#204080;font:20px sans-serif;color:#fff'>"
    "<div style='position:absolute;left:0;top:0;width:20px;height:20px;background:#f00'></div>"
    "<div style='height:120px;background:linear-gradient(90deg,#f00,#0f0,#00f)'></div>"
    "<p style='opacity:0.6'>Semi-transparent text over a solid page, 0123456789</p>"
    "<div style='width:200px;height:80px;border-radius:30px;background:rgba(255,255,255,0.5)'></div>"
    "</body></html>";

const QByteArray canvasPage =
    "<html><body style='margin:0;background:#101010'><canvas id=c width=900 height=500></canvas><script>"
    "var g=document.getElementById('c').getContext('2d');"
    "for(var i=0;i<50;i++){g.fillStyle='hsl('+i*7+',80%,50%)';g.beginPath();"
    "g.arc(20+i*17,250+Math.sin(i)*200,30,0,7);g.fill();}"
    "</script></body></html>";

// Stripes 100 px tall: stripe n is rgb(n*10, 255-n*10, 128).
QByteArray stripePage()
{
    QByteArray html = "<html><body style='margin:0'>";
    for (int n = 0; n < 25; ++n)
        html += QByteArray("<div style='height:100px;padding-left:40px;background:rgb(") + QByteArray::number(n * 10) + ','
            + QByteArray::number(255 - n * 10) + ",128)'>line " + QByteArray::number(n) + "</div>";
    return html + "</body></html>";
}

QRgb pixelAt(const std::vector<uchar>& buffer, const QSize& page, int x, int y)
{
    return reinterpret_cast<const QRgb*>(buffer.data())[qint64(y) * page.width() + x];
}

FrameGrabber::Path pathUnderTest()
{
    const QString name = qEnvironmentVariable("YBR_TEST_FRAMEPATH", QStringLiteral("software"));
    return FrameGrabber::parsePath(name);
}

} // namespace

class FramePathTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void settingNames_data();
    void settingNames();
    void fastPathMatchesReference_data();
    void fastPathMatchesReference();
    void slowFrameQueuesNoBurst();
    void timingsOnRequest();

private:
    bool load(WebView* view, const QString& path);

    LocalHttpServer server;
    QTemporaryDir dir;
    TabWidget* tabs = nullptr;
};

void FramePathTest::initTestCase()
{
    // Before the first quick window exists, as the start-up hook runs it.
    qputenv("YBR_FRAME_TIMINGS", dir.filePath("timings").toLocal8Bit());
    YConfiger::instance()->setValue("FramePath", FrameGrabber::pathName(pathUnderTest()));
    FrameGrabber::prepare();
    QCOMPARE(FrameGrabber::activePath(), pathUnderTest());
    QVERIFY(server.start());
    server.servePage("/mixed", mixedPage);
    server.servePage("/canvas", canvasPage);
    server.servePage("/stripes", stripePage());
}

void FramePathTest::init()
{
    tabs = new TabWidget;
    tabs->resize(400, 300);
    tabs->move(-99999, -99999);
    tabs->show();
}

void FramePathTest::cleanup()
{
    delete tabs;
    tabs = nullptr;
}

bool FramePathTest::load(WebView* view, const QString& path)
{
    QSignalSpy finished(tabs, &TabWidget::loadFinished);
    view->setUrl(server.url(path).toString());
    return finished.wait(20000) && finished.last().at(0).toBool();
}

void FramePathTest::settingNames_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("software") << "software" << int(FrameGrabber::SoftwarePath) << "software";
    QTest::newRow("readback, spaced and upper case") << " ReadBack " << int(FrameGrabber::ReadbackPath) << "readback";
    QTest::newRow("widget") << "widget" << int(FrameGrabber::WidgetPath) << "widget";
    QTest::newRow("auto") << "auto" << int(FrameGrabber::AutoPath) << "auto";
    QTest::newRow("absent") << "" << int(FrameGrabber::AutoPath) << "auto";
    QTest::newRow("unknown") << "gpu" << int(FrameGrabber::AutoPath) << "auto";
}

void FramePathTest::settingNames()
{
    QFETCH(QString, text);
    QFETCH(int, path);
    QFETCH(QString, name);
    QCOMPARE(int(FrameGrabber::parsePath(text)), path);
    QCOMPARE(FrameGrabber::pathName(FrameGrabber::Path(path)), name);
}

void FramePathTest::fastPathMatchesReference_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("scrollY");
    QTest::addColumn<QRgb>("topLeft");
    QTest::newRow("mixed 640x360") << "/mixed" << QSize(640, 360) << 0 << qRgb(0xff, 0, 0);
    QTest::newRow("canvas 1280x720") << "/canvas" << QSize(1280, 720) << 0 << qRgb(16, 16, 16);
    QTest::newRow("stripes scrolled 800x600") << "/stripes" << QSize(800, 600) << 1250 << qRgb(120, 135, 128);
    QTest::newRow("mixed 1920x1080") << "/mixed" << QSize(1920, 1080) << 0 << qRgb(0xff, 0, 0);
    QTest::newRow("stripes larger than the screen") << "/stripes" << QSize(2600, 1500) << 0 << qRgb(0, 255, 128);
}

void FramePathTest::fastPathMatchesReference()
{
    QFETCH(QString, page);
    QFETCH(QSize, size);
    QFETCH(int, scrollY);
    QFETCH(QRgb, topLeft);
    tabs->setPageSize(size);
    auto* view = static_cast<YWebView_Qt*>(tabs->createTab());
    QVERIFY(load(view, page));
    if (scrollY)
        view->engine()->page()->runJavaScript(QStringLiteral("window.scrollTo(0, %1)").arg(scrollY));

    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    std::vector<uchar> fast(bytes + 64, 0xEE);
    std::vector<uchar> reference(bytes + 64, 0xEE);
    QTRY_VERIFY_WITH_TIMEOUT((view->grabber()->grabReference(reference.data(), size),
                                 pixelAt(reference, size, 0, 0) == topLeft),
        15000);
    // The canvas and the scroll settle in later paints: both paths must agree on one.
    QTRY_VERIFY_WITH_TIMEOUT((view->renderTo(fast.data()), view->grabber()->grabReference(reference.data(), size),
                                 std::memcmp(fast.data(), reference.data(), bytes) == 0),
        10000);
    QCOMPARE(int(view->grabber()->lastPath()), int(pathUnderTest()));
    QCOMPARE(pixelAt(fast, size, 0, 0), topLeft);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(fast.data() + bytes), 64), QByteArray(64, '\xEE'));
}

void FramePathTest::slowFrameQueuesNoBurst()
{
    tabs->setPageSize(QSize(320, 200));
    tabs->createTab();
    QElapsedTimer clock;
    clock.start();
    QVector<qint64> ticks;
    qint64 slowEnd = -1;
    connect(tabs, &TabWidget::totalUpdate, this, [&] {
        ticks << clock.elapsed();
        if (ticks.size() == 5) {
            QThread::msleep(200);
            slowEnd = clock.elapsed();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 12, 10000);
    // Six ticks fell in the slow frame: at most one of them comes late.
    int late = 0;
    for (qint64 tick : ticks)
        late += tick >= slowEnd && tick < slowEnd + 20;
    QCOMPARE(late, 1);
    QCOMPARE(ticks.at(5) >= slowEnd, true);
    QVERIFY2(ticks.at(6) - ticks.at(5) >= 20, qPrintable(QString::number(ticks.at(6) - ticks.at(5))));
}

void FramePathTest::timingsOnRequest()
{
    tabs->setPageSize(QSize(640, 360));
    WebView* view = tabs->createTab();
    QVERIFY(load(view, "/canvas"));
    std::vector<uchar> buffer(640 * 360 * 4);
    view->renderTo(buffer.data());
    const auto contents = [this] {
        QFile file(dir.filePath("timings"));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    };
    QTRY_VERIFY_WITH_TIMEOUT(contents().contains("\nP "), 10000);
    const QList<QByteArray> lines = contents().split('\n');
    int frames = 0;
    int lastPath = -1;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.value(0) == "F") {
            QCOMPARE(fields.size(), 4);
            lastPath = fields.at(3).toInt();
            QVERIFY(fields.at(2).toLongLong() >= 0);
            ++frames;
        } else if (!line.isEmpty()) {
            QCOMPARE(fields.value(0), QByteArray("P"));
            QCOMPARE(fields.size(), 2);
        }
    }
    QVERIFY(frames >= 1);
    QCOMPARE(lastPath, int(pathUnderTest()));
}

QTEST_MAIN(FramePathTest)
#include "tst_framepath.moc"
