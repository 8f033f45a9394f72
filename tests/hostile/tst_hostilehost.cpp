#include "HostileFixture.h"

class tst_HostileHost : public QObject
{
    Q_OBJECT

private slots:
    void takes_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("never sets consumed") << "never";
        QTest::newRow("sets consumed on both at once") << "both";
        QTest::newRow("holds the lock for 5 s") << "holds";
        QTest::newRow("dies holding the lock") << "dies";
    }

    // A page that keeps painting and a host that takes frames badly: the runner still answers, delivers and quits.
    void takes()
    {
        QFETCH(QString, host);
        RunnerFixture f;
        QVERIFY(startOn(f, "moving.html", "<html><head><title>Moving</title><style>body{margin:0;animation:c .4s infinite alternate}"
                                          "@keyframes c{from{background:#f00}to{background:#00f}}</style></head><body></body></html>"));
        FrameReader reader(f.key);
        QVERIFY(reader.attach());
        QProcess locker;
        int written[2] = { 0, 0 };
        QElapsedTimer clock;
        // A buffer as it stands, header and pixels, read under the lock.
        const auto buffer = [&reader](int index) {
            QByteArray copy;
            if (reader.segment().lock())
                copy = QByteArray(static_cast<const char*>(reader.segment().constData()) + index * FrameReader::BufferBytes, 28 + 640 * 360 * 4);
            reader.segment().unlock();
            return copy;
        };
        if (host == "never") {
            QTest::qWait(1500);
            const QByteArray a = buffer(0), b = buffer(1);
            QTest::qWait(2000);
            // One buffer takes every update, the other is left as it was, and neither is given back.
            QVERIFY((buffer(0) == a) != (buffer(1) == b));
            QVERIFY(!reader.header(0).consumed && !reader.header(1).consumed);
        } else if (host == "both") {
            for (clock.start(); clock.elapsed() < 3000; QTest::qWait(30)) {
                QVERIFY(reader.segment().lock());
                for (int buffer : { 0, 1 })
                    written[buffer] += !reader.header(buffer).consumed, reader.setConsumed(buffer, true);
                reader.segment().unlock();
            }
            QVERIFY2(written[0] > 0 && written[1] > 0, qPrintable(QStringLiteral("%1 %2").arg(written[0]).arg(written[1])));
        } else if (host == "holds") {
            QVERIFY(reader.segment().lock());
            QTest::qWait(5000);
            QVERIFY(reader.segment().unlock());
        } else {
            locker.start(QString::fromLocal8Bit(qgetenv("YBR_BUILD_DIR")) + "/tests/segment_locker", { f.key });
            QVERIFY(locker.waitForReadyRead(10000) && locker.readAll() == "locked\n");
            QTest::qWait(1000);
            locker.kill();
            QVERIFY(locker.waitForFinished(5000) && locker.exitStatus() == QProcess::CrashExit);
        }
        QVERIFY(f.answersChangeUrl(f.http.urlFor("blue.html")));
        if (host != "never")
            QVERIFY(waitForFrame(reader, QSize(640, 360), bluePixel()));
        QVERIFY(!f.logLines().contains(QString::fromUtf8("心跳终止，退出程序 ")));
        QVERIFY(f.quit(5000));
    }

    void sizes_data()
    {
        // A segment the host made first (0: none), a page size sent in UpdateBrowserParams (invalid: none), the size delivered, and what
        // frames must show: 2 the blue page, 1 that size (surfaces past the screen are painted late or not at all on a busy machine), 0 nothing.
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("frames");
        const qint64 buffer = FrameReader::BufferBytes;
        QTest::newRow("0x0") << qint64(0) << QSize(0, 0) << QSize(1, 1) << 2;
        QTest::newRow("1x1") << qint64(0) << QSize(1, 1) << QSize(1, 1) << 2;
        QTest::newRow("7680x4320") << qint64(0) << QSize(7680, 4320) << QSize(7680, 4320) << 1;
        QTest::newRow("100000x100000") << qint64(0) << QSize(100000, 100000) << QSize(7680, 4320) << 1;
        QTest::newRow("segment: room for the page in A only") << qint64(1000000) << QSize() << QSize(640, 360) << 2;
        QTest::newRow("segment: A holds 195 rows") << qint64(500000) << QSize() << QSize(640, 195) << 2;
        QTest::newRow("segment: B holds 10 bytes") << buffer + 28 + 10 << QSize() << QSize(2, 1) << 2;
        QTest::newRow("segment: B holds 3 bytes") << buffer + 28 + 3 << QSize() << QSize(0, 0) << 0;
        QTest::newRow("segment: no whole header") << qint64(27) << QSize() << QSize(640, 360) << 0;
        QTest::newRow("segment: one byte short") << 2 * buffer - 1 << QSize() << QSize(640, 360) << 2;
    }

    void sizes()
    {
        QFETCH(qint64, bytes);
        QFETCH(QSize, asked);
        QFETCH(QSize, size);
        QFETCH(int, frames);
        RunnerFixture f;
        FrameReader reader(f.key);
        QVERIFY(!bytes || reader.create(bytes));
        QVERIFY(startOn(f, "blue.html") && reader.attach());
        const QString url = f.http.urlFor("blue.html");
        if (asked.isValid()) {
            const int loads = f.host.loadFinishedCount();
            f.host.send(UpdateBrowserParams, f.params({ url }, asked));
            QVERIFY(f.host.waitForLoads(loads + 1, 60000));
            QCOMPARE(f.host.lastSnapshot().size(), size);
            f.host.send(WholeImage);
        } else {
            QCOMPARE(f.host.connectDoneText().section('X', 0, 1), QStringLiteral("%1X%2").arg(size.width()).arg(size.height()));
        }
        FrameReader::Frame last;
        const bool painted = frames > 0 && waitForFrame(reader, size, bluePixel(), 20000, &last);
        QVERIFY(painted || frames < 2);
        if (frames == 1)
            QCOMPARE(last.image.size(), size);
        QCOMPARE(reader.size(), bytes ? bytes : FrameReader::SegmentBytes);
        QVERIFY(f.answersChangeUrl(url + "?again", 60000));
        QVERIFY(f.quit(10000));
    }
};

QTEST_MAIN(tst_HostileHost)
#include "tst_hostilehost.moc"
