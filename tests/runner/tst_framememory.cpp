#include "FrameMemory.h"
#include "HostSegment.h"
#include "LogWriter.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

// The runner's segment and the host's view of it, on a key of their own.
struct Segment
{
    // With a size the host makes the segment first and the runner joins it.
    bool open(int hostSize = 0)
    {
        if (hostSize && !host.memory.create(hostSize))
            return false;
        return runner.attach() && (hostSize || host.join());
    }

    QString key = uniqueKey();
    HostSegment host { key };
    FrameMemory runner { key };
};

QImage solid(const QSize& size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// What a whole frame leaves in a header, done here the way the tab widget does it.
void startWholeFrame(FrameHeader* h, const QSize& size)
{
    h->consumed = 0;
    h->wholeFrame = 1;
    h->dirtyX = h->dirtyY = 0;
    h->dirtyWidth = h->width = size.width();
    h->dirtyHeight = h->height = size.height();
}

} // namespace

class tst_FrameMemory : public QObject
{
    Q_OBJECT

private slots:
    void setUp();
    void partialsAccumulateWhileNothingTaken();
    void partialAfterWholeFrameKeepsWholeFrame();
    void clipping_data();
    void clipping();
    void swapsOnlyAfterHostTakes();
    void noSegment();
    void boundedSize_data();
    void boundedSize();
    void smallerSegmentBoundsEveryWrite();
};

void tst_FrameMemory::setUp()
{
    {
        Segment s;
        QVERIFY(s.open());
        QCOMPARE(s.runner.size(), qint64(265420856));
        QCOMPARE(s.host.memory.size(), 265420856);
        QCOMPARE(reinterpret_cast<char*>(s.runner.bufferB()) - reinterpret_cast<char*>(s.runner.bufferA()), 132710428);
        QCOMPARE(s.runner.capacity(s.runner.bufferA()), qint64(7680) * 4320 * 4);
        QCOMPARE(s.runner.capacity(s.runner.bufferB()), qint64(7680) * 4320 * 4);
        QCOMPARE(s.runner.writingSecond(), true);

        // A is written first, B counts as taken; the reserved bytes are left alone.
        s.host.header(0)->reserved = 0x5a;
        s.host.header(1)->reserved = 0xa5;
        s.runner.finishSetUp(true);
        QCOMPARE(s.runner.writingSecond(), false);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(s.host.header(0)), 4), QByteArray::fromHex("0000015a"));
        QCOMPARE(QByteArray(reinterpret_cast<char*>(s.host.header(1)), 4), QByteArray::fromHex("010001a5"));
        s.runner.finishSetUp(false);
        QCOMPARE(s.host.header(0)->engineFlag, quint8(0));
        QCOMPARE(s.host.header(1)->engineFlag, quint8(0));
    }
    // The host made the segment first: the runner joins it and writes where the host reads.
    Segment s;
    QVERIFY(s.open(265420856));
    s.runner.finishSetUp(false);
    QCOMPARE(s.host.header(1)->consumed, quint8(1));
}

void tst_FrameMemory::partialsAccumulateWhileNothingTaken()
{
    Segment s;
    QVERIFY(s.open());
    startWholeFrame(s.runner.bufferA(), QSize(100, 80));
    s.runner.finishSetUp(false);

    const QVector<QRect> updates { { 10, 10, 5, 5 }, { 40, 2, 10, 3 }, { 20, 60, 1, 1 } };
    for (const QRect& r : updates) {
        FrameHeader* h = s.runner.nextFrameBuffer(QSize(100, 80), false);
        QCOMPARE(h, s.runner.bufferB());
        s.runner.writeUpdate(h, r.topLeft(), solid(r.size(), qRgb(1, 2, 3)));
    }
    QCOMPARE(s.host.dirty(1), QRect(10, 2, 40, 59));
    QCOMPARE(s.host.header(1)->wholeFrame, quint8(0));
    QCOMPARE(s.host.header(1)->consumed, quint8(0));
    // Inside the bounding rectangle but outside every update: untouched.
    QCOMPARE(s.host.pixelAt(1, 30, 30), QByteArray(4, 0));
    QCOMPARE(s.host.pixelAt(1, 20, 60), pixelBytes(qRgb(1, 2, 3)));
}

void tst_FrameMemory::partialAfterWholeFrameKeepsWholeFrame()
{
    Segment s;
    QVERIFY(s.open());
    s.runner.finishSetUp(false);
    startWholeFrame(s.runner.nextFrameBuffer(QSize(32, 16), false), QSize(32, 16));
    s.runner.writeUpdate(s.runner.nextFrameBuffer(QSize(32, 16), false), QPoint(4, 4), solid(QSize(2, 2), qRgb(9, 9, 9)));
    QCOMPARE(s.host.header(1)->wholeFrame, quint8(1));
    QCOMPARE(s.host.header(1)->consumed, quint8(0));
    QCOMPARE(s.host.dirty(1), QRect(0, 0, 32, 16));
    QCOMPARE(s.host.pixelAt(1, 5, 5), pixelBytes(qRgb(9, 9, 9)));
}

void tst_FrameMemory::clipping_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QSize>("imageSize");
    QTest::addColumn<QRect>("dirty");
    QTest::addColumn<QRect>("written");

    // Frame 10 x 6.
    QTest::newRow("inside") << QPoint(2, 1) << QSize(3, 2) << QRect(2, 1, 3, 2) << QRect(2, 1, 3, 2);
    QTest::newRow("past right") << QPoint(8, 1) << QSize(5, 2) << QRect(8, 1, 5, 2) << QRect(8, 1, 2, 2);
    QTest::newRow("past bottom") << QPoint(1, 4) << QSize(2, 5) << QRect(1, 4, 2, 5) << QRect(1, 4, 2, 2);
    QTest::newRow("past corner") << QPoint(9, 5) << QSize(4, 4) << QRect(9, 5, 4, 4) << QRect(9, 5, 1, 1);
    QTest::newRow("at right edge") << QPoint(10, 0) << QSize(3, 3) << QRect(10, 0, 3, 3) << QRect();
    QTest::newRow("below bottom") << QPoint(0, 6) << QSize(3, 3) << QRect(0, 6, 3, 3) << QRect();
    QTest::newRow("negative x") << QPoint(-2, 1) << QSize(4, 2) << QRect(-2, 1, 4, 2) << QRect(0, 1, 2, 2);
    QTest::newRow("negative y") << QPoint(3, -4) << QSize(2, 5) << QRect(3, -4, 2, 5) << QRect(3, 0, 2, 1);
    QTest::newRow("all negative") << QPoint(-50, -50) << QSize(4, 4) << QRect(-50, -50, 4, 4) << QRect();
    QTest::newRow("covers all") << QPoint(-1, -1) << QSize(12, 8) << QRect(-1, -1, 12, 8) << QRect(0, 0, 10, 6);
    QTest::newRow("far right") << QPoint(2147483000, 0) << QSize(1000, 1) << QRect(2147483000, 0, 647, 1) << QRect();
}

void tst_FrameMemory::clipping()
{
    QFETCH(QPoint, pos);
    QFETCH(QSize, imageSize);
    QFETCH(QRect, dirty);
    QFETCH(QRect, written);

    Segment s;
    QVERIFY(s.open());
    s.runner.finishSetUp(false);
    FrameHeader* h = s.runner.nextFrameBuffer(QSize(10, 6), false);
    std::memset(h->pixels(), 0xee, 10 * 6 * 4 + 64);

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

void tst_FrameMemory::swapsOnlyAfterHostTakes()
{
    Segment s;
    QVERIFY(s.open());
    startWholeFrame(s.runner.bufferA(), QSize(20, 10));
    s.runner.finishSetUp(false);

    QCOMPARE(s.runner.nextFrameBuffer(QSize(20, 10), false), s.runner.bufferB());
    startWholeFrame(s.runner.bufferB(), QSize(20, 10));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(s.runner.nextFrameBuffer(QSize(20, 10), false), s.runner.bufferB());
    s.host.header(0)->consumed = 1;
    QCOMPARE(s.runner.nextFrameBuffer(QSize(30, 12), true), s.runner.bufferA());
    QCOMPARE(s.runner.writingSecond(), false);
    QCOMPARE(QSize(s.host.header(0)->width, s.host.header(0)->height), QSize(30, 12));
    QCOMPARE(s.host.header(0)->engineFlag, quint8(1));
    QCOMPARE(s.host.header(1)->width, 20);
    QCOMPARE(s.host.header(1)->engineFlag, quint8(0));
    s.host.header(1)->consumed = 1;
    QCOMPARE(s.runner.nextFrameBuffer(QSize(30, 12), false), s.runner.bufferB());
}

void tst_FrameMemory::noSegment()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    LogWriter writer(dir.path());
    FrameMemory runner(QString {});
    QVERIFY(!runner.attach());
    runner.finishSetUp(false);
    QCOMPARE(runner.size(), qint64(0));
    QVERIFY(!runner.bufferA());
    QVERIFY(!runner.bufferB());
    QVERIFY(!runner.nextFrameBuffer(QSize(20, 10), false));
    runner.writeUpdate(nullptr, QPoint(0, 0), solid(QSize(2, 2), qRgb(1, 1, 1)));
    QCOMPARE(runner.boundedSize(QSize(9000, 5000)), QSize(7680, 4320));

    QFile file(writer.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).contains("   Frame memory unavailable, frames are not delivered : \""), lines.at(0));
}

void tst_FrameMemory::boundedSize_data()
{
    QTest::addColumn<int>("segment");
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QSize>("bounded");

    const int full = 265420856;
    QTest::newRow("fits") << full << QSize(1920, 1080) << QSize(1920, 1080);
    QTest::newRow("largest") << full << QSize(7680, 4320) << QSize(7680, 4320);
    QTest::newRow("too wide") << full << QSize(7681, 100) << QSize(7680, 100);
    QTest::newRow("too high") << full << QSize(100, 4321) << QSize(100, 4320);
    QTest::newRow("huge") << full << QSize(1 << 30, 1 << 30) << QSize(7680, 4320);
    QTest::newRow("empty") << full << QSize(0, 0) << QSize(1, 1);
    QTest::newRow("invalid") << full << QSize(-1, -1) << QSize(1, 1);
    // Only A, with room for 10,000 pixels.
    QTest::newRow("only A") << 28 + 40000 << QSize(1920, 1080) << QSize(1920, 5);
    QTest::newRow("only A, narrow") << 28 + 40000 << QSize(100, 1080) << QSize(100, 100);
    QTest::newRow("only A, too wide") << 28 + 40000 << QSize(20000, 3) << QSize(7680, 1);
    QTest::newRow("B of 4 pixels") << 132710428 + 28 + 16 << QSize(1920, 1080) << QSize(4, 1);
    QTest::newRow("header only") << 28 << QSize(1920, 1080) << QSize(0, 0);
}

void tst_FrameMemory::boundedSize()
{
    QFETCH(int, segment);
    QFETCH(QSize, asked);
    QFETCH(QSize, bounded);

    Segment s;
    QVERIFY(s.open(segment));
    QCOMPARE(s.runner.size(), qint64(segment));
    QCOMPARE(s.runner.boundedSize(asked), bounded);
}

void tst_FrameMemory::smallerSegmentBoundsEveryWrite()
{
    // The segment ends on a page boundary: a single byte written past it faults.
    Segment s;
    QVERIFY(s.open(4096 * 10));
    QVERIFY(!s.runner.bufferB());
    QCOMPARE(s.runner.capacity(s.runner.bufferA()), qint64(4096 * 10 - 28));
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

QTEST_GUILESS_MAIN(tst_FrameMemory)
#include "tst_framememory.moc"
