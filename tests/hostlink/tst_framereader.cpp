#include <QtTest>

#include "FrameMemory.h"
#include "FrameReader.h"

class tst_FrameReader : public QObject
{
    Q_OBJECT

private slots:
    void takesNewestFrame_data()
    {
        // '1'..'9': the runner writes a whole frame of that value; 't': the host takes the value after, '-' none.
        QTest::addColumn<QString>("script");
        QTest::newRow("take after each frame") << "1t1 2t2 3t3 4t4";
        QTest::newRow("frames pile up") << "123t3 45t5 t- 6t6";
        QTest::newRow("nothing new") << "1t1 t- t- 2t2";
        QTest::newRow("ping-pong after a take") << "1t1 2t2 34t4 567t7";
        QTest::newRow("long run without taking") << "123456789t9 1t1";
    }

    void takesNewestFrame()
    {
        QFETCH(QString, script);
        // The runner's frame memory and the host library's reader on a key of their own.
        const QString key = QStringLiteral("ybr-reader-%1-%2").arg(QCoreApplication::applicationPid()).arg(QRandomGenerator::global()->generate());
        FrameMemory memory(key);
        FrameReader reader(key);
        FrameReader::Frame frame;
        QVERIFY(memory.attach() && reader.attach());
        memory.finishSetUp(true);
        const QString steps = script.remove(' ');
        for (int i = 0; i < steps.size(); ++i) {
            if (steps.at(i) != 't') {
                FrameHeader* h = memory.nextFrameBuffer(QSize(16, 8), true);
                memory.lock();
                h->consumed = 0;
                h->wholeFrame = 1;
                std::fill_n(h->pixels(), 16 * 8 * 4, uchar(steps.at(i).digitValue()));
                memory.unlock();
                continue;
            }
            const int expected = steps.at(++i).digitValue();
            QCOMPARE(reader.take(frame), expected >= 0);
            if (expected >= 0) {
                QCOMPARE(frame.header.size, QSize(16, 8));
                QVERIFY(frame.header.engineFlag);
                QCOMPARE(QByteArray(reinterpret_cast<const char*>(frame.image.constBits()), 16 * 8 * 4), QByteArray(16 * 8 * 4, char(expected)));
            }
        }
        // A partial update then comes as the whole buffer with its own rectangle.
        QImage update(3, 2, QImage::Format_ARGB32);
        update.fill(0xff102030);
        memory.writeUpdate(memory.nextFrameBuffer(QSize(16, 8), true), QPoint(5, 4), update);
        QVERIFY(reader.take(frame));
        QVERIFY(!frame.header.wholeFrame);
        QCOMPARE(frame.header.dirty, QRect(5, 4, 3, 2));
        QCOMPARE(frame.image.pixel(7, 5), 0xff102030u);
        QVERIFY(reader.header(0).consumed && reader.header(1).consumed);
    }
};

QTEST_GUILESS_MAIN(tst_FrameReader)
#include "tst_framereader.moc"
