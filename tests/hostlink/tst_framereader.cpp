#include <QtTest>

#include "FrameMemory.h"
#include "FrameReader.h"

namespace {
// The runner's frame memory and the host library's reader on a key of their own.
struct Segment {
    bool open(bool engineFlag) { return memory.attach() && reader.attach() && (memory.finishSetUp(engineFlag), true); }
    QString key = QStringLiteral("ybr-reader-%1-%2").arg(QCoreApplication::applicationPid()).arg(QRandomGenerator::global()->generate());
    FrameMemory memory { key };
    FrameReader reader { key };
    FrameReader::Frame frame;
};
}

class tst_FrameReader : public QObject
{
    Q_OBJECT

private slots:
    void takesNewestFrame_data();
    void takesNewestFrame();
};

void tst_FrameReader::takesNewestFrame_data()
{
    // Runner frames ('1'..'9' writes a whole frame of that value) and host
    // takes ('t', expecting the value that follows, '-' for none).
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
    Segment s;
    QVERIFY(s.open(true));
    const QString steps = script.remove(' ');
    for (int i = 0; i < steps.size(); ++i) {
        if (steps.at(i) != 't') {
            FrameHeader* h = s.memory.nextFrameBuffer(QSize(16, 8), true);
            s.memory.lock();
            h->consumed = 0;
            h->wholeFrame = 1;
            std::fill_n(h->pixels(), 16 * 8 * 4, uchar(steps.at(i).digitValue()));
            s.memory.unlock();
            continue;
        }
        const int expected = steps.at(++i).digitValue();
        QCOMPARE(s.reader.take(s.frame), expected >= 0);
        if (expected >= 0) {
            QCOMPARE(s.frame.header.size, QSize(16, 8));
            QVERIFY(s.frame.header.engineFlag);
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(s.frame.image.constBits()), 16 * 8 * 4), QByteArray(16 * 8 * 4, char(expected)));
        }
    }
    // A partial update then comes as the whole buffer with its own rectangle.
    QImage update(3, 2, QImage::Format_ARGB32);
    update.fill(0xff102030);
    s.memory.writeUpdate(s.memory.nextFrameBuffer(QSize(16, 8), true), QPoint(5, 4), update);
    QVERIFY(s.reader.take(s.frame));
    QVERIFY(!s.frame.header.wholeFrame);
    QCOMPARE(s.frame.header.dirty, QRect(5, 4, 3, 2));
    QCOMPARE(s.frame.image.pixel(7, 5), 0xff102030u);
    QVERIFY(s.reader.header(0).consumed && s.reader.header(1).consumed);
}

QTEST_GUILESS_MAIN(tst_FrameReader)
#include "tst_framereader.moc"
