#include <QtTest>

#include "HostileFixture.h"

#include <signal.h>

using namespace hostile;

class tst_HostileHost : public QObject
{
    Q_OBJECT

private slots:
    void neverConsumed();
    void bothConsumedAtOnce();
    void lockHeldFiveSeconds();
    void lockHolderDies();
    void pageSizes_data();
    void pageSizes();
    void smallSegment_data();
    void smallSegment();

private:
    static bool startMoving(RunnerFixture& f);
};

bool tst_HostileHost::startMoving(RunnerFixture& f)
{
    f.writePage("moving.html", animatedPage());
    f.writePage("blue.html", RunnerFixture::solidPage("Blue", "rgb(10,20,200)"));
    return f.start(f.params({ f.http.urlFor("moving.html") })) && f.host.waitForLoads(1, 20000);
}

void tst_HostileHost::neverConsumed()
{
    RunnerFixture f;
    QVERIFY(startMoving(f));
    FrameReader reader(f.key);
    QVERIFY(reader.attach());
    QTest::qWait(1500);
    const QByteArray a = bufferHash(reader, 0), b = bufferHash(reader, 1);
    QTest::qWait(2000);
    // The page keeps painting: one buffer takes every update, the other is
    // left as it was, and neither is given back.
    QVERIFY((bufferHash(reader, 0) == a) != (bufferHash(reader, 1) == b));
    QCOMPARE(reader.header(0).consumed, false);
    QCOMPARE(reader.header(1).consumed, false);
    QVERIFY(answersChangeUrl(f, f.http.urlFor("blue.html")));
    HOSTILE_QUITS(f, 5000);
}

void tst_HostileHost::bothConsumedAtOnce()
{
    RunnerFixture f;
    QVERIFY(startMoving(f));
    FrameReader reader(f.key);
    QVERIFY(reader.attach());
    int written[2] = { 0, 0 };
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        QVERIFY(reader.segment().lock());
        for (int buffer : { 0, 1 }) {
            if (!reader.header(buffer).consumed)
                ++written[buffer];
            reader.setConsumed(buffer, true);
        }
        reader.segment().unlock();
        QTest::qWait(30);
    }
    QVERIFY2(written[0] > 0 && written[1] > 0, qPrintable(QStringLiteral("%1 %2").arg(written[0]).arg(written[1])));
    QVERIFY(answersChangeUrl(f, f.http.urlFor("blue.html")));
    QVERIFY(waitForFrame(reader, QSize(640, 360), bluePixel()));
    HOSTILE_QUITS(f, 5000);
}

void tst_HostileHost::lockHeldFiveSeconds()
{
    RunnerFixture f;
    QVERIFY(startMoving(f));
    FrameReader reader(f.key);
    QVERIFY(reader.attach());
    QVERIFY(reader.segment().lock());
    QTest::qWait(5000);
    QCOMPARE(f.host.process().state(), QProcess::Running);
    QVERIFY(reader.segment().unlock());
    QVERIFY(answersChangeUrl(f, f.http.urlFor("blue.html")));
    QVERIFY(waitForFrame(reader, QSize(640, 360), bluePixel()));
    QVERIFY(!f.logLines().contains(QString::fromUtf8("心跳终止，退出程序 ")));
    HOSTILE_QUITS(f, 5000);
}

void tst_HostileHost::lockHolderDies()
{
    RunnerFixture f;
    QVERIFY(startMoving(f));
    QProcess locker;
    locker.start(QString::fromLocal8Bit(qgetenv("YBR_BUILD_DIR")) + "/tests/segment_locker", { f.key });
    QVERIFY(locker.waitForReadyRead(10000));
    QCOMPARE(locker.readAll(), QByteArray("locked\n"));
    QTest::qWait(1000);
    ::kill(pid_t(locker.processId()), SIGKILL);
    QVERIFY(locker.waitForFinished(5000));
    QCOMPARE(locker.exitStatus(), QProcess::CrashExit);
    // Held for good, the lock would keep the runner from reporting anything.
    QVERIFY(answersChangeUrl(f, f.http.urlFor("blue.html")));
    FrameReader reader(f.key);
    QVERIFY(waitForFrame(reader, QSize(640, 360), bluePixel()));
    HOSTILE_QUITS(f, 5000);
}

void tst_HostileHost::pageSizes_data()
{
    QTest::addColumn<QSize>("asked");
    QTest::addColumn<QSize>("delivered");
    // Surfaces past the screen are painted late or not at all while the
    // machine is busy: there only the geometry is certain.
    QTest::addColumn<bool>("paintChecked");
    QTest::newRow("0x0") << QSize(0, 0) << QSize(1, 1) << true;
    QTest::newRow("1x1") << QSize(1, 1) << QSize(1, 1) << true;
    QTest::newRow("640x360") << QSize(640, 360) << QSize(640, 360) << true;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(1920, 1080) << false;
    QTest::newRow("3840x2160") << QSize(3840, 2160) << QSize(3840, 2160) << false;
    QTest::newRow("7680x4320") << QSize(7680, 4320) << QSize(7680, 4320) << false;
    QTest::newRow("100000x100000") << QSize(100000, 100000) << QSize(7680, 4320) << false;
}

void tst_HostileHost::pageSizes()
{
    QFETCH(QSize, asked);
    QFETCH(QSize, delivered);
    QFETCH(bool, paintChecked);
    RunnerFixture f;
    f.writePage("blue.html", RunnerFixture::solidPage("Blue", "rgb(10,20,200)"));
    const QString url = f.http.urlFor("blue.html");
    QVERIFY(f.start(f.params({ url })));
    QVERIFY(f.host.waitForLoads(1, 20000));
    const int loads = f.host.loadFinishedCount();
    f.host.send(UpdateBrowserParams, f.params({ url }, asked));
    QVERIFY(f.host.waitForLoads(loads + 1, 60000));
    QCOMPARE(f.host.lastSnapshot().size(), delivered);
    FrameReader reader(f.key);
    f.host.send(WholeImage);
    QString last;
    const bool painted = waitForFrame(reader, delivered, bluePixel(), 20000, &last);
    QVERIFY2(painted || last.startsWith(QStringLiteral("%1x%2 ").arg(delivered.width()).arg(delivered.height())),
             qPrintable(last));
    if (paintChecked)
        QVERIFY2(painted, qPrintable(last));
    QElapsedTimer answer;
    answer.start();
    QVERIFY(answersChangeUrl(f, url + "?again", 60000));
    qInfo("painted: %s; ChangeUrl answered after %lld ms", painted ? "yes" : "no", answer.elapsed());
    HOSTILE_QUITS(f, 10000);
}

void tst_HostileHost::smallSegment_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QSize>("size");
    const qint64 buffer = FrameReader::BufferBytes;
    QTest::newRow("room for the page in A only") << qint64(1000000) << QSize(640, 360);
    QTest::newRow("A holds 195 rows") << qint64(500000) << QSize(640, 195);
    QTest::newRow("B holds 10 bytes") << buffer + 28 + 10 << QSize(2, 1);
    QTest::newRow("B holds 3 bytes") << buffer + 28 + 3 << QSize(0, 0);
    QTest::newRow("no whole header") << qint64(27) << QSize(640, 360);
    QTest::newRow("one byte short") << 2 * buffer - 1 << QSize(640, 360);
}

void tst_HostileHost::smallSegment()
{
    QFETCH(qint64, bytes);
    QFETCH(QSize, size);
    RunnerFixture f;
    FrameReader reader(f.key);
    QVERIFY(reader.create(bytes));
    f.writePage("blue.html", RunnerFixture::solidPage("Blue", "rgb(10,20,200)"));
    QVERIFY(f.start(f.params({ f.http.urlFor("blue.html") })));
    QVERIFY2(f.host.connectDoneText().startsWith(QStringLiteral("%1X%2X").arg(size.width()).arg(size.height())),
             qPrintable(f.host.connectDoneText()));
    QVERIFY(f.host.waitForLoads(1, 20000));
    if (bytes >= FrameReader::HeaderBytes && !size.isEmpty())
        QVERIFY(waitForFrame(reader, size, bluePixel()));
    QCOMPARE(reader.size(), bytes);
    QVERIFY(answersChangeUrl(f, f.http.urlFor("blue.html") + "?again"));
    HOSTILE_QUITS(f, 5000);
}

QTEST_MAIN(tst_HostileHost)
#include "tst_hostilehost.moc"
