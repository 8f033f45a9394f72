#include <QtTest>

#include "FrameMemory.h"
#include "FrameReader.h"

#include <cstring>

namespace {
// What the runner does for one whole frame: choose, then fill under the lock.
void writeWhole(FrameMemory& memory, const QSize& size, quint8 value)
{
    FrameHeader* h = memory.nextFrameBuffer(size, false);
    QVERIFY(h);
    memory.lock();
    h->consumed = 0;
    h->wholeFrame = 1;
    h->dirtyX = h->dirtyY = 0;
    h->dirtyWidth = h->width;
    h->dirtyHeight = h->height;
    std::memset(h->pixels(), value, size_t(h->width) * h->height * 4);
    memory.unlock();
}

QString uniqueKey()
{
    return QStringLiteral("ybr-reader-%1-%2").arg(QCoreApplication::applicationPid()).arg(QRandomGenerator::global()->generate());
}
}

class tst_FrameReader : public QObject
{
    Q_OBJECT

private slots:
    void takesNewestFrame_data();
    void takesNewestFrame();
    void headerFieldsAsWritten();
    void boundedBySmallSegment();
};

void tst_FrameReader::takesNewestFrame_data()
{
    // A script of runner frames ('1'..'9' writes a frame of that value) and
    // host takes ('t', expecting the value that follows, '-' for none).
    QTest::addColumn<QString>("script");
    QTest::newRow("take after each frame") << "1t1 2t2 3t3 4t4";
    QTest::newRow("frames pile up") << "123t3 45t5 t- 6t6";
    QTest::newRow("nothing new") << "1t1 t- t- 2t2";
    QTest::newRow("ping-pong after a take") << "1t1 2t2 34t4 567t7";
    QTest::newRow("long run without taking") << "123456789t9 1t1";
}

void tst_FrameReader::takesNewestFrame()
{
    QFETCH(QString, script);
    const QString key = uniqueKey();
    FrameMemory memory(key);
    QVERIFY(memory.attach());
    memory.finishSetUp(false);
    FrameReader reader(key);
    QVERIFY(reader.attach());
    const QSize size(16, 8);
    FrameReader::Frame frame;
    const QString steps = QString(script).remove(' ');
    for (int i = 0; i < steps.size(); ++i) {
        const QChar step = steps.at(i);
        if (step != 't') {
            writeWhole(memory, size, quint8(step.digitValue()));
            continue;
        }
        const QChar expected = steps.at(++i);
        const bool took = reader.take(frame);
        QCOMPARE(took, expected != '-');
        if (took) {
            QCOMPARE(frame.image.size(), size);
            QCOMPARE(int(frame.image.constBits()[0]), expected.digitValue());
            QCOMPARE(int(frame.image.constBits()[size.width() * size.height() * 4 - 1]), expected.digitValue());
        }
    }
}

void tst_FrameReader::headerFieldsAsWritten()
{
    const QString key = uniqueKey();
    FrameMemory memory(key);
    QVERIFY(memory.attach());
    memory.finishSetUp(true);
    FrameReader reader(key);
    QVERIFY(reader.attach());
    QVERIFY(reader.header(1).consumed);
    QVERIFY(reader.header(1).engineFlag);

    FrameHeader* h = memory.nextFrameBuffer(QSize(20, 10), true);
    QImage update(3, 2, QImage::Format_ARGB32);
    update.fill(0xff102030);
    memory.writeUpdate(h, QPoint(5, 4), update);
    FrameReader::Frame frame;
    QVERIFY(reader.take(frame));
    QCOMPARE(frame.buffer, 1);
    QCOMPARE(frame.header.size, QSize(20, 10));
    QVERIFY(!frame.header.wholeFrame);
    QVERIFY(frame.header.engineFlag);
    QCOMPARE(frame.header.dirty, QRect(5, 4, 3, 2));
    QCOMPARE(frame.image.pixel(7, 5), 0xff102030u);
    QVERIFY(reader.header(1).consumed);
}

void tst_FrameReader::boundedBySmallSegment()
{
    const QString key = uniqueKey();
    FrameReader reader(key);
    QVERIFY(reader.create(4096));
    FrameMemory memory(key);
    QVERIFY(memory.attach());
    QCOMPARE(memory.size(), reader.size());
    memory.finishSetUp(false);
    FrameHeader* h = memory.nextFrameBuffer(QSize(1920, 1080), false);
    QVERIFY(h);
    QVERIFY(qint64(h->width) * h->height * 4 <= memory.capacity(h));
    FrameReader::Frame frame;
    QVERIFY(reader.take(frame));
    QCOMPARE(frame.header.size, QSize(h->width, h->height));
    QVERIFY(qint64(frame.image.sizeInBytes()) <= reader.size() - FrameReader::HeaderBytes);
}

QTEST_GUILESS_MAIN(tst_FrameReader)
#include "tst_framereader.moc"
