#include "FrameGrabber.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "YConfiger.h"
#include "YEngineView.h"
#include "YWebView_Qt.h"

#include <QtTest>

#include <cstring>
#include <vector>

namespace {

const FrameGrabber::Path testedPath =
    FrameGrabber::parsePath(qEnvironmentVariable("YBR_TEST_FRAMEPATH", QStringLiteral("software")));

} // namespace

class FramePathTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Before the first quick window exists, as the start-up hook runs it; spelt as a hand-edited file may.
        qputenv("YBR_FRAME_TIMINGS", dir.filePath("timings").toLocal8Bit());
        YConfiger::instance()->setValue("FramePath", " " + FrameGrabber::pathName(testedPath).toUpper() + " ");
        FrameGrabber::prepare();
        QCOMPARE(FrameGrabber::activePath(), testedPath);
        QCOMPARE(FrameGrabber::parsePath("gpu"), FrameGrabber::AutoPath);
        QVERIFY(server.start());
        server.servePage("/mixed", "<html><body style='margin:0;background:#204080;font:20px sans-serif;color:#fff'>"
            "<div style='position:absolute;left:0;top:0;width:20px;height:20px;background:#f00'></div>"
            "<div style='height:120px;background:linear-gradient(90deg,#f00,#0f0,#00f)'></div><p style='opacity:0.6'>"
            "Semi-transparent text over a solid page, 0123456789</p><div style='width:200px;height:80px;"
            "border-radius:30px;background:rgba(255,255,255,0.5)'></div></body></html>");
        server.servePage("/canvas", "<html><body style='margin:0;background:#101010'><canvas id=c width=900 height=500></canvas>"
            "<script>var g=document.getElementById('c').getContext('2d');for(var i=0;i<50;i++){g.fillStyle='hsl('+i*7+',80%,50%)';"
            "g.beginPath();g.arc(20+i*17,250+Math.sin(i)*200,30,0,7);g.fill();}</script></body></html>");
        // Stripes 100 px tall: stripe n is rgb(n*10, 255-n*10, 128).
        server.servePage("/stripes", "<html><body style='margin:0'><script>for(var n=0;n<25;n++)document.write(\"<div"
            " style='height:100px;padding-left:40px;background:rgb(\"+n*10+\",\"+(255-n*10)+\",128)'>line \"+n+\"</div>\");"
            "</script></body></html>");
        // No background of its own: with TransparentBackground the page is transparent around the half-red box.
        server.servePage("/overlay", "<html><body style='margin:0'><div style='position:absolute;left:100px;top:50px;"
            "width:200px;height:100px;background:rgba(255,0,0,0.5)'></div></body></html>");
    }

    void fastPathMatchesReference_data()
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

    void fastPathMatchesReference()
    {
        QFETCH(QString, page);
        QFETCH(QSize, size);
        QFETCH(int, scrollY);
        QFETCH(QRgb, topLeft);
        YWebView_Qt* view = openTab(size);
        QSignalSpy finished(tabs.data(), &TabWidget::loadFinished);
        view->setUrl(server.url(page).toString());
        QVERIFY(finished.wait(20000) && finished.last().at(0).toBool());
        view->engine()->page()->runJavaScript(QStringLiteral("window.scrollTo(0, %1)").arg(scrollY));
        const qint64 bytes = qint64(size.width()) * size.height() * 4;
        std::vector<uchar> fast(bytes + 64, 0xEE), reference = fast;
        const auto topLeftOf = [](const std::vector<uchar>& buffer) { return *reinterpret_cast<const QRgb*>(buffer.data()); };
        QTRY_VERIFY_WITH_TIMEOUT((view->grabber()->grabReference(reference.data(), size), topLeftOf(reference) == topLeft),
                                 15000);
        // The canvas and the scroll settle in later paints: both paths must agree on one.
        QTRY_VERIFY_WITH_TIMEOUT((view->renderTo(fast.data()), view->grabber()->grabReference(reference.data(), size),
                                  std::memcmp(fast.data(), reference.data(), bytes) == 0),
                                 10000);
        QCOMPARE(int(view->grabber()->lastPath()), int(testedPath));
        QCOMPARE(topLeftOf(fast), topLeft);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(fast.data() + bytes), 64), QByteArray(64, '\xEE'));
        QFile timings(dir.filePath("timings"));
        QVERIFY(timings.open(QIODevice::ReadOnly));
        const QString lines = timings.readAll(), frame = QString("F \\d+ \\d+ %1\n").arg(int(testedPath));
        // Paints, and at least one whole frame: every one of this path.
        const QRegularExpression format(QString("^(%1|P \\d+\n)*%1(P \\d+\n)*$").arg(frame));
        QVERIFY2(lines.contains("\nP ") && format.match(lines).hasMatch(), qPrintable(lines.left(400)));
    }

    void slowFrameQueuesNoBurst()
    {
        openTab(QSize(320, 200));
        QElapsedTimer clock;
        clock.start();
        QVector<qint64> ticks;
        qint64 slowEnd = -1;
        connect(tabs.data(), &TabWidget::totalUpdate, this, [&] {
            ticks << clock.elapsed();
            if (ticks.size() == 5)
                slowEnd = (QThread::msleep(200), clock.elapsed());
        });
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 12, 10000);
        // Six ticks fell in the slow frame: at most one of them comes late.
        int late = 0;
        for (qint64 tick : ticks)
            late += tick >= slowEnd && tick < slowEnd + 20;
        QCOMPARE(late, 1);
        QVERIFY(ticks.at(5) >= slowEnd);
        QVERIFY2(ticks.at(6) - ticks.at(5) >= 20, qPrintable(QString::number(ticks.at(6) - ticks.at(5))));
    }

    void transparentBackground_data()
    {
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<bool>("widgetPath");
        QTest::addColumn<QByteArray>("corner"); // B, G, R, A as the host reads them
        QTest::addColumn<QByteArray>("box");
        QTest::newRow("fast path, transparent") << true << false << QByteArray(4, 0) << QByteArray("\0\0\xff", 3);
        QTest::newRow("widget path, transparent") << true << true << QByteArray(4, 0) << QByteArray("\0\0\xff", 3);
        QTest::newRow("fast path, opaque") << false << false << QByteArray(4, '\xff') << QByteArray("\x7f\x7f\xff\xff", 4);
        QTest::newRow("widget path, opaque") << false << true << QByteArray(4, '\xff') << QByteArray("\x7f\x7f\xff\xff", 4);
    }

    // Straight alpha on every path: half-transparent red keeps red 255, not the premultiplied 128.
    void transparentBackground()
    {
        QFETCH(bool, transparent);
        QFETCH(bool, widgetPath);
        QFETCH(QByteArray, corner);
        QFETCH(QByteArray, box);
        YConfiger::instance()->setValue("TransparentBackground", transparent ? "true" : "false");
        YWebView_Qt* view = openTab(QSize(640, 360));
        YConfiger::instance()->setValue("TransparentBackground", QVariant());
        QSignalSpy finished(tabs.data(), &TabWidget::loadFinished);
        view->setUrl(server.url("/overlay").toString());
        QVERIFY(finished.wait(20000));
        // Over stale bytes: a transparent pixel must replace what the buffer held, not blend over it.
        std::vector<uchar> frame(640 * 360 * 4, 0xEE);
        const auto grab = [&] {
            std::fill(frame.begin(), frame.end(), 0xEE);
            widgetPath ? view->grabber()->grabReference(frame.data(), QSize(640, 360)) : view->renderTo(frame.data());
        };
        const auto bytesAt = [&](int x, int y, int count) {
            return QByteArray(reinterpret_cast<const char*>(frame.data()) + (y * 640 + x) * 4, count);
        };
        QTRY_VERIFY2_WITH_TIMEOUT((grab(), uchar(bytesAt(200, 100, 3).at(2)) == 0xff && uchar(bytesAt(200, 100, 3).at(1)) <= 0x80),
                                  (bytesAt(200, 100, 4) + bytesAt(0, 0, 4)).toHex().constData(), 15000);
        for (const QPoint& at : { QPoint(0, 0), QPoint(639, 0), QPoint(0, 359), QPoint(639, 359), QPoint(99, 100) })
            QCOMPARE(bytesAt(at.x(), at.y(), 4), corner);
        for (const QPoint& at : { QPoint(100, 50), QPoint(200, 100), QPoint(299, 149) }) {
            const QByteArray pixel = bytesAt(at.x(), at.y(), 4);
            if (transparent) {
                QCOMPARE(pixel.left(3), box);
                QVERIFY2(uchar(pixel.at(3)) == 127 || uchar(pixel.at(3)) == 128, pixel.toHex().constData());
            } else {
                QVERIFY2(pixel == box || pixel == QByteArray("\x80\x80\xff\xff", 4), pixel.toHex().constData());
            }
        }
        if (!widgetPath)
            QCOMPARE(int(view->grabber()->lastPath()), int(testedPath));
    }

private:
    YWebView_Qt* openTab(const QSize& pageSize)
    {
        tabs.reset(new TabWidget);
        tabs->setPageSize(pageSize);
        tabs->resize(400, 300);
        tabs->move(-99999, -99999);
        tabs->show();
        return static_cast<YWebView_Qt*>(tabs->createTab());
    }

    LocalHttpServer server;
    QTemporaryDir dir;
    QScopedPointer<TabWidget> tabs;
};

QTEST_MAIN(FramePathTest)
#include "tst_framepath.moc"
