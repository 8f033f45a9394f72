#include "HostileFixture.h"

class tst_HostilePage : public QObject
{
    Q_OBJECT

private slots:
    void spinningPage()
    {
        RunnerFixture f;
        QVERIFY(startOn(f, "spin.html", "<html><head><title>Spin</title></head><body><script>while(true){}</script></body></html>", false));
        QTest::qWait(3000);
        QVERIFY(f.quit(2000));
    }

    void rendererKilledAgainAndAgain()
    {
        RunnerFixture f;
        QVERIFY(startOn(f, "blue.html"));
        FrameReader reader(f.key);
        for (int round = 0; round < 5; ++round) {
            const QSet<QString> renderers = rendererPids(f.host.process().processId());
            QVERIFY2(!renderers.isEmpty(), qPrintable(QString::number(round)));
            QProcess::execute("kill", QStringList { "-KILL" } + renderers.values());
            QTest::qWait(300);
            QVERIFY(f.answersChangeUrl(f.http.urlFor("blue.html") + "?round=" + QString::number(round)));
            QVERIFY(waitForFrame(reader, QSize(640, 360), bluePixel()));
        }
        QVERIFY(f.quit(5000));
    }

    void fiftyWindows()
    {
        RunnerFixture f;
        QVERIFY(startOn(f, "opener.html", "<html><head><title>Opener</title></head><body><script>"
                                          "for (let i = 0; i < 50; ++i) window.open('blue.html?' + i);</script></body></html>"));
        QTest::qWait(5000);
        const bool answered = f.answersChangeUrl(f.http.urlFor("blue.html") + "?last", 30000);
        if (!answered)
            QEXPECT_FAIL("", "on a loaded machine fifty opened tabs can delay the next report past 30 s", Continue);
        QVERIFY(answered);
        QVERIFY(f.quit(5000));
    }

    void memoryUntilRendererDies()
    {
        RunnerFixture f;
        QVERIFY(startOn(f, "blue.html"));
        f.writePage("greedy.html", "<html><head><title>Greedy</title></head><body><script>"
                                   "const keep = []; (function grow() { for (let i = 0; i < 20; ++i)"
                                   " keep.push(new Array(1 << 20).fill(1.5)); setTimeout(grow, 0); })();</script></body></html>");
        f.host.send(ChangeUrl, f.http.urlFor("greedy.html"));
        QTest::qWait(1000);
        const QSet<QString> greedy = rendererPids(f.host.process().processId());
        QVERIFY(!greedy.isEmpty());
        // Done when every render process seen while it grew has gone.
        QTRY_VERIFY_WITH_TIMEOUT(!rendererPids(f.host.process().processId()).intersects(greedy), 60000);
        const int bongs = f.logLines().count("bong ");
        // An address sent before the engine has noticed the death goes down with the dying process:
        // it is answered as a failed load of the old page, and the next one loads.
        const QString blue = f.http.urlFor("blue.html");
        f.host.send(ChangeUrl, blue);
        QVERIFY(f.host.waitForLoadFinished(20000));
        if (f.host.lastUrl() != blue)
            QVERIFY(f.answersChangeUrl(blue));
        QTRY_VERIFY_WITH_TIMEOUT(f.logLines().count("bong ") > bongs, 10000);
        QVERIFY(f.quit(5000));
    }

    // Parked, nobody can answer a prompt: frames, heartbeats and Quit go on.
    void promptWhileParked()
    {
        RunnerFixture f;
        QVERIFY(startOn(f, "prompt.html", "<html><head><title>Asking</title></head><body style=\"margin:0;background:rgb(10,20,200)\">"
                                          "<script>setTimeout(() => { document.title = prompt('Name?') || 'none'; }, 300);</script></body></html>"));
        QTest::qWait(1500);
        QVERIFY2(!dialogWindow("Prompt").isEmpty(), "no prompt window is shown");
        FrameReader reader(f.key);
        for (FrameReader::Frame old; reader.attach() && reader.take(old);) {
        }
        const int bongs = f.logLines().count("bong ");
        f.host.send(WholeImage);
        QVERIFY(waitForFrame(reader, QSize(640, 360), bluePixel()));
        QTest::qWait(4500);
        QVERIFY2(f.logLines().count("bong ") >= bongs + 2, qPrintable(QString::number(bongs)));
        QCOMPARE(f.host.lastTitle(), QStringLiteral("Asking"));
        QVERIFY(f.quit(2000));
    }
};

QTEST_MAIN(tst_HostilePage)
#include "tst_hostilepage.moc"
