#include <QtTest>

#include "RunnerFixture.h"

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void loadsPagesAndOutlivesMalformedInput()
    {
        RunnerFixture f;
        f.writePage("blue.html", RunnerFixture::solidPage("  Blue page \t", "rgb(10,20,200)"));
        f.writePage("b.html", RunnerFixture::solidPage("Page B", "white"));
        f.host.setGreeting(QString::fromUtf8("你好, host"));
        QVERIFY(f.start(f.params({ "about:blank" })));
        QCOMPARE(f.host.receivedGreeting(), QString::fromUtf8("你好, host").toLocal8Bit());
        QCOMPARE(f.host.receivedCodes().first(), qint32(ConnectDone));
        QVERIFY2(QRegularExpression("^640X360X\\d+$").match(f.host.connectDoneText()).hasMatch(),
                 qPrintable(f.host.connectDoneText()));
        QVERIFY(f.host.waitForLoads(1, 15000));
        const QString url = f.http.urlFor("blue.html");
        QVERIFY(f.answersChangeUrl(url));
        QCOMPARE(f.host.lastTitle(), QStringLiteral("Blue page"));
        // Taken at the view's first paint after the load: the page, not the blank view.
        QCOMPARE(f.host.lastSnapshot().size(), QSize(640, 360));
        QCOMPARE(f.host.lastSnapshot().pixel(320, 180), qRgb(10, 20, 200));
        FrameReader reader(f.key);
        FrameReader::Frame frame;
        QVERIFY(waitForFrame(reader, QSize(640, 360), bluePixel(), 15000, &frame));
        QVERIFY(frame.header.wholeFrame);
        QCOMPARE(frame.header.dirty, QRect(0, 0, 640, 360));
        QVERIFY(f.logLines().contains(QStringLiteral("Receive ChangeUrl Message :  \"%1\" ").arg(url)));

        f.host.send(UpdateBrowserParams, qint32(3));
        QByteArray hostile = "garbage without end %%%%<<" + QByteArray("\x00\x01\x02", 3) + "<<";
        hostile += FrameCodec::encode(ConnectDone, QStringLiteral("x")) + FrameCodec::encode(LoadFinished) + FrameCodec::encode(SettingDone);
        hostile += FrameCodec::encode(7) + FrameCodec::encode(-1) + FrameCodec::encode(123456);
        hostile += QByteArray(4 * 1024 * 1024, 'A') + "<<";
        for (int i = 0; i < 1000; ++i)
            hostile += FrameCodec::encode(i % 2 ? WholeImage : SetMute, true);
        f.host.sendRaw(hostile);
        f.host.send(UpdateBrowserParams, f.params({ url }));
        QVERIFY(f.answersChangeUrl(f.http.urlFor("b.html"), 30000));
        QTRY_COMPARE_WITH_TIMEOUT(f.host.lastTitle(), QStringLiteral("Page B"), 20000);
        QVERIFY(f.quit());
        QCOMPARE(f.logLines().mid(f.logLines().size() - 1), QStringList { "Receive Quit Message " });
    }

    void endings_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("lastLogLine");
        QTest::newRow("quit then more frames") << "quit+url" << "Receive ChangeUrl Message :  \"about:blank#after\" ";
        QTest::newRow("closed connection") << "close" << QString::fromUtf8("连接断开, 退出程序 ");
        QTest::newRow("silent heartbeat") << "silent" << QString::fromUtf8("心跳终止，退出程序 ");
        QTest::newRow("unreachable server") << "unreachable" << "Begin... ";
    }

    void endings()
    {
        QFETCH(QString, how);
        QFETCH(QString, lastLogLine);
        RunnerFixture f;
        QProcess& runner = f.host.process();
        f.host.setHeartbeatInterval(how == "silent" ? 0 : 2000);
        if (how == "unreachable") {
            runner.setProcessEnvironment(f.environment());
            runner.start(RunnerHost::defaultRunnerPath(), { "ybr-nobody-listens", BrowserParams().toBase64String(), "hi" });
        } else {
            QVERIFY(f.start(f.params({ "about:blank" })));
        }
        QElapsedTimer clock;
        clock.start();
        if (how == "quit+url")
            f.host.sendRaw(FrameCodec::encode(Quit) + FrameCodec::encode(ChangeUrl, QStringLiteral("about:blank#after")));
        else if (how == "close")
            f.host.closeConnection();
        QVERIFY(runner.waitForFinished(40000));
        if (how == "silent")
            QVERIFY2(clock.elapsed() >= 28000 && clock.elapsed() <= 36000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(runner.exitStatus(), QProcess::NormalExit);
        QCOMPARE(runner.exitCode(), 0);
        QCOMPARE(f.logLines().mid(how == "unreachable" ? 0 : f.logLines().size() - 1), QStringList { lastLogLine });
    }

    void settingCloseClickSendsSettingDone()
    {
        RunnerFixture f;
        QVERIFY(f.start(f.params({ "about:blank" })));
        QSignalSpy done(&f.host, &RunnerHost::settingDone);
        f.host.send(EnterSetting);
        QTest::qWait(1500);
        // The close button of the 960x570 setting window centred on a 1920x1080 screen.
        QProcess::execute("xdotool", { "mousemove", QString::number(480 + 960 - 30), QString::number(255 + 14), "click", "1" });
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
        const BrowserParams sent = done.first().first().value<BrowserParams>();
        QCOMPARE(sent.pageSize, QSize(640, 360));
        QCOMPARE(sent.urls, QStringList { "about:blank" });
        QVERIFY(sent.hidden);
        QVERIFY(f.logLines().contains("hide "));
    }

    void loginReachesRunnersStartedLater_data()
    {
        QTest::addColumn<int>("setter"); // 0: the runner holding the profile, 1: the one working on a copy
        QTest::addColumn<bool>("holderQuits");
        QTest::newRow("holder logs in") << 0 << false;
        QTest::newRow("copy logs in") << 1 << false;
        QTest::newRow("copy logs in, holder gone") << 1 << true;
    }

    // Two runners of one user; one logs in, and a runner started 2 s later is logged in.
    void loginReachesRunnersStartedLater()
    {
        QFETCH(int, setter);
        QFETCH(bool, holderQuits);
        RunnerFixture f;
        f.writePage("login.html", "<script>document.cookie = 'session=s3; max-age=86400; path=/'; document.title = 'in';</script>");
        std::unique_ptr<RunnerHost> hosts[2];
        for (int i = 0; i < 2; ++i) {
            QVERIFY((hosts[i] = f.startAnother({ "about:blank" }, QSize(320, 200), i)));
            QVERIFY(hosts[i]->waitForConnectDone(30000));
        }
        const QString copy = QStringLiteral("Profile in use by another runner, working on a copy :  \"%1/Corvane M1/QtWebEngine/Default-runner-%2\" ")
                                 .arg(f.home.path()).arg(hosts[1]->process().processId());
        hosts[setter]->send(ChangeUrl, f.http.urlFor("login.html"));
        QTRY_COMPARE_WITH_TIMEOUT(hosts[setter]->lastTitle(), QStringLiteral("in"), 30000);
        if (holderQuits)
            QVERIFY(f.quit(*hosts[0]));
        QTest::qWait(2000);
        QCOMPARE(f.cookiesOfAFreshRunner(), QStringLiteral("session=s3"));
        QVERIFY(f.logLines().contains(copy));
        QVERIFY(f.quit());
    }

    // Four runners of one host at once: every frame in each segment is its own runner's page at its own size, never a
    // neighbour's; the profile is flushed before exit and stays intact, so the cookies all four set reach a later runner.
    void runnersKeepToTheirOwnSegments()
    {
        RunnerFixture f;
        const QList<QRgb> colours { qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200), qRgb(200, 200, 30) };
        std::vector<std::unique_ptr<RunnerHost>> hosts;
        for (int i = 0; i < colours.size(); ++i) {
            f.writePage(QStringLiteral("own%1.html").arg(i),
                        QStringLiteral("<script>document.cookie = 'c%1=yes; max-age=86400; path=/'; document.title = 'own %1';"
                                       "</script><body style='margin:0;background:%2'>").arg(i).arg(QColor(colours[i]).name()).toUtf8());
            hosts.push_back(f.startAnother({ f.http.urlFor(QStringLiteral("own%1.html").arg(i)) }, QSize(320 + 16 * i, 200 + 8 * i), i));
            QVERIFY(hosts.back());
        }
        std::vector<std::unique_ptr<FrameReader>> readers;
        for (int i = 0; i < colours.size(); ++i) {
            QVERIFY(hosts[i]->waitForConnectDone(30000));
            QTRY_COMPARE_WITH_TIMEOUT(hosts[i]->lastTitle(), QStringLiteral("own %1").arg(i), 30000);
            readers.push_back(std::make_unique<FrameReader>(f.key + QString::number(i)));
            const QRgb colour = colours[i]; // B, G, R, A in memory
            QVERIFY(waitForFrame(*readers[i], QSize(320 + 16 * i, 200 + 8 * i), QByteArray(reinterpret_cast<const char*>(&colour), 4)));
        }
        QElapsedTimer clock;
        clock.start();
        QVector<int> taken(colours.size());
        while (clock.elapsed() < 3000) {
            for (int i = 0; i < colours.size(); ++i) {
                FrameReader::Frame frame;
                if (!readers[i]->take(frame))
                    continue;
                ++taken[i];
                const QSize size(320 + 16 * i, 200 + 8 * i);
                QCOMPARE(frame.header.size, size);
                QCOMPARE(frame.header.dirty, QRect(QPoint(), size));
                for (const QPoint& at : { QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1) })
                    QCOMPARE(frame.image.pixel(at), colours[i]);
            }
            QTest::qWait(10);
        }
        for (int i = 0; i < colours.size(); ++i) {
            QVERIFY2(taken[i] > 0, qPrintable(QString::number(i)));
            QVERIFY(f.quit(*hosts[i]));
        }
        QStringList cookies = f.cookiesOfAFreshRunner().split(QRegularExpression("; *"));
        cookies.sort();
        QCOMPARE(cookies, QStringList({ "c0=yes", "c1=yes", "c2=yes", "c3=yes" }));
        QVERIFY(f.quit());
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
