#include "FrameSettings.h"
#include "LogWriter.h"
#include "YConfiger.h"

#include <QtTest>

class tst_FrameSettings : public QObject
{
    Q_OBJECT

private slots:
    void intervalFrom_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("absent") << QVariant() << 30 << true;
        QTest::newRow("lowest") << QVariant("8") << 8 << true;
        QTest::newRow("highest") << QVariant("1000") << 1000 << true;
        QTest::newRow("spaces round it") << QVariant(" 60 ") << 60 << true;
        QTest::newRow("a number, not text") << QVariant(33) << 33 << true;
        QTest::newRow("below") << QVariant("7") << 30 << false;
        QTest::newRow("above") << QVariant("1001") << 30 << false;
        QTest::newRow("zero") << QVariant("0") << 30 << false;
        QTest::newRow("negative") << QVariant("-16") << 30 << false;
        QTest::newRow("fraction") << QVariant("16.5") << 30 << false;
        QTest::newRow("hexadecimal") << QVariant("0x10") << 30 << false;
        QTest::newRow("unit") << QVariant("16ms") << 30 << false;
        QTest::newRow("empty") << QVariant("") << 30 << false;
        QTest::newRow("beyond int") << QVariant("99999999999") << 30 << false;
    }

    void intervalFrom()
    {
        QFETCH(QVariant, value);
        QFETCH(int, interval);
        QFETCH(bool, accepted);
        bool ok = !accepted;
        QCOMPARE(FrameSettings::intervalFrom(value, &ok), interval);
        QCOMPARE(ok, accepted);
    }

    void unusableIntervalLoggedOnce()
    {
        QTemporaryDir dir;
        const QDateTime start(QDate(2026, 12, 6), QTime(3, 0));
        {
            LogWriter writer(dir.path(), [start] { return start; }, &LogWriter::fileCreationTime);
            const QList<QPair<QString, int>> steps = { { "16", 16 }, { "5", 30 }, { "fast", 30 }, { "20", 20 } };
            for (const auto& [value, interval] : steps) {
                YConfiger::instance()->setValue("FrameInterval", value);
                QCOMPARE(FrameSettings::frameInterval(), interval);
            }
        }
        QFile file(dir.filePath(LogWriter::fileNameFor(start)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first().mid(22), QByteArray("FrameInterval is not 8 to 1000 ms, 30 ms used : \"5\" \r"));
    }
};

QTEST_GUILESS_MAIN(tst_FrameSettings)
#include "tst_framesettings.moc"
