#include "FrameMemory.h"
#include "LogWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

QString uniqueKey()
{
    static int serial = 0;
    return QStringLiteral("tst_framememory_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
}

// The host's view of the segment: a second QSharedMemory on the same key.
struct Host
{
    explicit Host(const QString& key) : memory(key) {}
    bool join() { return memory.attach(QSharedMemory::ReadWrite); }
    FrameHeader* header(int index) { return reinterpret_cast<FrameHeader*>(static_cast<char*>(memory.data()) + index * FrameMemory::BufferBytes); }
    QRect dirty(int index) { FrameHeader* h = header(index); return QRect(h->dirtyX, h->dirtyY, h->dirtyWidth, h->dirtyHeight); }
    QByteArray bytes(int index, qint64 offset, int count) { return QByteArray(reinterpret_cast<const char*>(header(index)->pixels()) + offset, count); }
    QSharedMemory memory;
};

QImage solid(const QSize& size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QByteArray pixelBytes(QRgb colour, int count)
{
    const char one[4] = { char(qBlue(colour)), char(qGreen(colour)), char(qRed(colour)), char(qAlpha(colour)) };
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(one, 4);
    return bytes;
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
    void createsOrJoins();
    void setUpMarksBTaken();
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

void tst_FrameMemory::createsOrJoins()
{
    const QString key = uniqueKey();
    {
        FrameMemory runner(key);
        QVERIFY(runner.attach());
        QCOMPARE(runner.size(), qint64(265420856));
        Host host(key);
        QVERIFY(host.join());
        QCOMPARE(host.memory.size(), 265420856);
        QCOMPARE(reinterpret_cast<char*>(runner.bufferB()) - reinterpret_cast<char*>(runner.bufferA()), 132710428);
        QCOMPARE(runner.capacity(runner.bufferA()), qint64(7680) * 4320 * 4);
        QCOMPARE(runner.capacity(runner.bufferB()), qint64(7680) * 4320 * 4);
    }
    // The host made the segment first: the runner joins it and writes where the host reads.
    Host host(key);
    QVERIFY(host.memory.create(265420856));
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    runner.finishSetUp(false);
    QCOMPARE(host.header(1)->consumed, quint8(1));
}

void tst_FrameMemory::setUpMarksBTaken()
{
    const QString key = uniqueKey();
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    QCOMPARE(runner.writingSecond(), true);
    Host host(key);
    QVERIFY(host.join());
    host.header(0)->reserved = 0x5a;
    host.header(1)->reserved = 0xa5;
    runner.finishSetUp(true);
    QCOMPARE(runner.writingSecond(), false);
    QCOMPARE(host.header(0)->consumed, quint8(0));
    QCOMPARE(host.header(1)->consumed, quint8(1));
    QCOMPARE(host.header(0)->engineFlag, quint8(1));
    QCOMPARE(host.header(1)->engineFlag, quint8(1));
    QCOMPARE(host.header(0)->reserved, quint8(0x5a));
    QCOMPARE(host.header(1)->reserved, quint8(0xa5));
    runner.finishSetUp(false);
    QCOMPARE(host.header(0)->engineFlag, quint8(0));
    QCOMPARE(host.header(1)->engineFlag, quint8(0));
}

void tst_FrameMemory::partialsAccumulateWhileNothingTaken()
{
    const QString key = uniqueKey();
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    Host host(key);
    QVERIFY(host.join());
    startWholeFrame(runner.bufferA(), QSize(100, 80));
    runner.finishSetUp(false);

    const QVector<QRect> updates { { 10, 10, 5, 5 }, { 40, 2, 10, 3 }, { 20, 60, 1, 1 } };
    for (const QRect& r : updates) {
        FrameHeader* h = runner.nextFrameBuffer(QSize(100, 80), false);
        QCOMPARE(h, runner.bufferB());
        runner.writeUpdate(h, r.topLeft(), solid(r.size(), qRgb(1, 2, 3)));
    }
    QCOMPARE(host.dirty(1), QRect(10, 2, 40, 59));
    QCOMPARE(host.header(1)->wholeFrame, quint8(0));
    QCOMPARE(host.header(1)->consumed, quint8(0));
    // Inside the bounding rectangle but outside every update: untouched.
    QCOMPARE(host.bytes(1, (30 * 100 + 30) * 4, 4), QByteArray(4, 0));
    QCOMPARE(host.bytes(1, (60 * 100 + 20) * 4, 4), pixelBytes(qRgb(1, 2, 3), 1));
}

void tst_FrameMemory::partialAfterWholeFrameKeepsWholeFrame()
{
    const QString key = uniqueKey();
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    Host host(key);
    QVERIFY(host.join());
    runner.finishSetUp(false);
    FrameHeader* h = runner.nextFrameBuffer(QSize(32, 16), false);
    startWholeFrame(h, QSize(32, 16));
    runner.writeUpdate(runner.nextFrameBuffer(QSize(32, 16), false), QPoint(4, 4), solid(QSize(2, 2), qRgb(9, 9, 9)));
    QCOMPARE(host.header(1)->wholeFrame, quint8(1));
    QCOMPARE(host.header(1)->consumed, quint8(0));
    QCOMPARE(host.dirty(1), QRect(0, 0, 32, 16));
    QCOMPARE(host.bytes(1, (5 * 32 + 5) * 4, 4), pixelBytes(qRgb(9, 9, 9), 1));
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

    const QString key = uniqueKey();
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    Host host(key);
    QVERIFY(host.join());
    runner.finishSetUp(false);
    FrameHeader* h = runner.nextFrameBuffer(QSize(10, 6), false);
    std::memset(h->pixels(), 0xee, 10 * 6 * 4 + 64);

    // Each pixel of the update carries its own position, so a shifted copy shows.
    QImage image(imageSize, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x, y, 0x77, 0xff));
    runner.writeUpdate(h, pos, image);

    QCOMPARE(host.dirty(1), dirty);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 10; ++x) {
            const QRgb expected = written.contains(x, y) ? qRgba(x - pos.x(), y - pos.y(), 0x77, 0xff) : 0xeeeeeeee;
            QCOMPARE(host.bytes(1, (y * 10 + x) * 4, 4), pixelBytes(expected, 1));
        }
    }
    QCOMPARE(host.bytes(1, 10 * 6 * 4, 64), QByteArray(64, char(0xee)));
}

void tst_FrameMemory::swapsOnlyAfterHostTakes()
{
    const QString key = uniqueKey();
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    Host host(key);
    QVERIFY(host.join());
    startWholeFrame(runner.bufferA(), QSize(20, 10));
    runner.finishSetUp(false);

    QCOMPARE(runner.nextFrameBuffer(QSize(20, 10), false), runner.bufferB());
    startWholeFrame(runner.bufferB(), QSize(20, 10));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(runner.nextFrameBuffer(QSize(20, 10), false), runner.bufferB());
    host.header(0)->consumed = 1;
    QCOMPARE(runner.nextFrameBuffer(QSize(30, 12), true), runner.bufferA());
    QCOMPARE(runner.writingSecond(), false);
    QCOMPARE(host.header(0)->width, 30);
    QCOMPARE(host.header(0)->height, 12);
    QCOMPARE(host.header(0)->engineFlag, quint8(1));
    QCOMPARE(host.header(1)->width, 20);
    QCOMPARE(host.header(1)->engineFlag, quint8(0));
    host.header(1)->consumed = 1;
    QCOMPARE(runner.nextFrameBuffer(QSize(30, 12), false), runner.bufferB());
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

    const QString key = uniqueKey();
    Host host(key);
    QVERIFY(host.memory.create(segment));
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    QCOMPARE(runner.size(), qint64(segment));
    QCOMPARE(runner.boundedSize(asked), bounded);
}

void tst_FrameMemory::smallerSegmentBoundsEveryWrite()
{
    // The segment ends on a page boundary: a single byte written past it faults.
    const int segment = 4096 * 10;
    const QString key = uniqueKey();
    Host host(key);
    QVERIFY(host.memory.create(segment));
    FrameMemory runner(key);
    QVERIFY(runner.attach());
    QVERIFY(!runner.bufferB());
    QCOMPARE(runner.capacity(runner.bufferA()), qint64(segment - 28));
    runner.finishSetUp(false);

    FrameHeader* h = runner.nextFrameBuffer(QSize(100, 4320), false);
    QCOMPARE(h, runner.bufferA());
    QCOMPARE(h->width, 100);
    QCOMPARE(h->height, 102);
    // A host that rewrites the header does not move the bound either.
    host.header(0)->height = 4320;
    runner.writeUpdate(h, QPoint(0, 0), solid(QSize(100, 200), qRgb(0xab, 0xcd, 0xef)));
    QCOMPARE(host.dirty(0), QRect(0, 0, 100, 200));
    QCOMPARE(host.bytes(0, 101 * 400, 400), pixelBytes(qRgb(0xab, 0xcd, 0xef), 100));
    host.header(0)->width = 1 << 30;
    runner.writeUpdate(h, QPoint(0, 0), solid(QSize(7000, 2), qRgb(1, 2, 3)));
    QCOMPARE(host.bytes(0, 0, 400), pixelBytes(qRgb(0xab, 0xcd, 0xef), 100));
    // Without B the runner keeps writing A.
    host.header(0)->consumed = 1;
    QCOMPARE(runner.nextFrameBuffer(QSize(100, 100), false), runner.bufferA());
}

QTEST_GUILESS_MAIN(tst_FrameMemory)
#include "tst_framememory.moc"
