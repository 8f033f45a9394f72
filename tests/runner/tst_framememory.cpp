#include "HostSegment.h"
#include "LogWriter.h"

#include <QImage>
#include <QtTest>

namespace {

// The runner's segment and the host's view of it; with a size the host makes it first.
struct Segment
{
    bool open(int hostSize = 0) { return (!hostSize || host.memory.create(hostSize)) && runner.attach() && (hostSize || host.join()); }
    QString key = uniqueKey();
    HostSegment host { key };
    FrameMemory runner { key };
};

QImage solid(const QSize& size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    return image.fill(colour), image;
}

} // namespace

class tst_FrameMemory : public QObject
{
    Q_OBJECT

private slots:
    void clipping_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<QRect>("dirty");
        QTest::addColumn<QRect>("written");
        // Frame 10 x 6.
        QTest::newRow("inside") << QPoint(2, 1) << QSize(3, 2) << QRect(2, 1, 3, 2) << QRect(2, 1, 3, 2);
        QTest::newRow("past right") << QPoint(8, 1) << QSize(5, 2) << QRect(8, 1, 5, 2) << QRect(8, 1, 2, 2);
        QTest::newRow("past bottom") << QPoint(1, 4) << QSize(2, 5) << QRect(1, 4, 2, 5) << QRect(1, 4, 2, 2);
        QTest::newRow("at right edge") << QPoint(10, 0) << QSize(3, 3) << QRect(10, 0, 3, 3) << QRect();
        QTest::newRow("negative x") << QPoint(-2, 1) << QSize(4, 2) << QRect(-2, 1, 4, 2) << QRect(0, 1, 2, 2);
        QTest::newRow("all negative") << QPoint(-50, -50) << QSize(4, 4) << QRect(-50, -50, 4, 4) << QRect();
        QTest::newRow("covers all") << QPoint(-1, -1) << QSize(12, 8) << QRect(-1, -1, 12, 8) << QRect(0, 0, 10, 6);
        QTest::newRow("far right") << QPoint(2147483000, 0) << QSize(1000, 1) << QRect(2147483000, 0, 647, 1) << QRect();
    }

    void clipping()
    {
        QFETCH(QPoint, pos);
        QFETCH(QSize, imageSize);
        QFETCH(QRect, dirty);
        QFETCH(QRect, written);
        Segment s;
        QVERIFY(s.open());
        s.runner.finishSetUp(false);
        FrameHeader* h = s.runner.nextFrameBuffer(QSize(10, 6), false);
        std::fill_n(h->pixels(), 10 * 6 * 4 + 64, 0xee);
        // Each pixel of the update carries its own position, so a shifted copy shows.
        QImage image(imageSize, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgba(x, y, 0x77, 0xff));
        s.runner.writeUpdate(h, pos, image);
        QCOMPARE(s.host.dirty(1), dirty);
        QByteArray expected;
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x)
                expected += pixelBytes(written.contains(x, y) ? qRgba(x - pos.x(), y - pos.y(), 0x77, 0xff) : 0xeeeeeeee);
        QCOMPARE(s.host.bytes(1, 0, 10 * 6 * 4 + 64), expected + QByteArray(64, char(0xee)));
    }

    void noSegment()
    {
        QTemporaryDir dir;
        LogWriter writer(dir.path());
        FrameMemory runner(QString {});
        QVERIFY(!runner.attach());
        runner.finishSetUp(false);
        QVERIFY(!runner.nextFrameBuffer(QSize(20, 10), false));
        runner.writeUpdate(nullptr, QPoint(0, 0), solid(QSize(2, 2), qRgb(1, 1, 1)));
        QFile file(writer.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).contains("   Frame memory unavailable, frames are not delivered : \""), lines.at(0));
    }

    void smallerSegmentBoundsEveryWrite()
    {
        // The segment ends on a page boundary: a single byte written past it faults.
        Segment s;
        QVERIFY(s.open(4096 * 10));
        QVERIFY(!s.runner.bufferB());
        s.runner.finishSetUp(false);
        FrameHeader* h = s.runner.nextFrameBuffer(QSize(100, 4320), false);
        QCOMPARE(h, s.runner.bufferA());
        QCOMPARE(QSize(h->width, h->height), QSize(100, 102));
        // A host that rewrites the header does not move the bound either.
        s.host.header(0)->height = 4320;
        s.runner.writeUpdate(h, QPoint(0, 0), solid(QSize(100, 200), qRgb(0xab, 0xcd, 0xef)));
        QCOMPARE(s.host.dirty(0), QRect(0, 0, 100, 200));
        QCOMPARE(s.host.bytes(0, 101 * 400, 400), pixelBytes(qRgb(0xab, 0xcd, 0xef), 100));
        s.host.header(0)->width = 1 << 30;
        s.runner.writeUpdate(h, QPoint(0, 0), solid(QSize(7000, 2), qRgb(1, 2, 3)));
        QCOMPARE(s.host.bytes(0, 0, 400), pixelBytes(qRgb(0xab, 0xcd, 0xef), 100));
        // Without B the runner keeps writing A.
        s.host.header(0)->consumed = 1;
        QCOMPARE(s.runner.nextFrameBuffer(QSize(100, 100), false), s.runner.bufferA());
    }
};

QTEST_GUILESS_MAIN(tst_FrameMemory)
#include "tst_framememory.moc"
