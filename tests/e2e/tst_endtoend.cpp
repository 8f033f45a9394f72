#include <QtTest>

#include "RunnerFixture.h"

#include <signal.h>

namespace {
// The first pixel of a taken frame, bytes in memory order.
QByteArray pixelBytes(const QImage& image, int x, int y)
{
    return QByteArray(reinterpret_cast<const char*>(image.constScanLine(y)) + x * 4, 4);
}

bool takeFrame(FrameReader& reader, FrameReader::Frame& frame, int timeoutMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (reader.attach() && reader.take(frame) && !frame.image.isNull())
            return true;
        QTest::qWait(20);
    }
    return false;
}

// Takes frames until one shows `colour` at (x, y): the page paints some time
// after its load has finished.
bool takeFrameShowing(FrameReader& reader, FrameReader::Frame& frame, QRgb colour, int x = 5, int y = 5)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000) {
        if (takeFrame(reader, frame, 1000) && frame.image.pixel(x, y) == colour)
            return true;
    }
    return false;
}
}

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void greetingThenConnectDone();
    void changeUrlAnswersLoadFinishedAndFrames();
    void endings_data();
    void endings();
    void unreachableServer();
    void shortParamsAndMalformedInput();
    void settingCloseClickSendsSettingDone();
    void cookiesOutliveTheRunner();
    void threeRunnersShareOneProfile();
    void silentHeartbeatEndsRunner();

private:
    QByteArray cookieHeaderFor(const RunnerFixture& f, const QString& path) const;
};

namespace {
QByteArray cookiePage(const QString& name)
{
    return QStringLiteral("<html><head><script>document.cookie = '%1=yes; max-age=86400; path=/';"
                          "document.title = 'set %1';</script></head><body style='margin:0;background:#204080'></body></html>")
        .arg(name)
        .toUtf8();
}
}

QByteArray tst_EndToEnd::cookieHeaderFor(const RunnerFixture& f, const QString& path) const
{
    for (const QByteArray& request : f.http.requests()) {
        if (!request.startsWith("GET /" + path.toLatin1() + " "))
            continue;
        for (const QByteArray& line : request.split('\n')) {
            if (line.toLower().startsWith("cookie:"))
                return line.mid(7).trimmed();
        }
        return QByteArray("");
    }
    return QByteArray();
}

void tst_EndToEnd::cookiesOutliveTheRunner()
{
    RunnerFixture f;
    f.writePage("set.html", cookiePage("login"));
    f.writePage("check.html", RunnerFixture::solidPage("check", "white"));
    QVERIFY(f.start(f.params({ f.http.urlFor("set.html") })));
    QTRY_COMPARE_WITH_TIMEOUT(f.host.lastTitle(), QStringLiteral("set login"), 20000);
    f.host.send(Quit);
    QVERIFY(f.host.waitForFinished(15000));
    QCOMPARE(f.host.process().exitCode(), 0);

    RunnerHost again;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", f.home.path());
    again.setEnvironment(env);
    QVERIFY(again.start(f.params({ f.http.urlFor("check.html") })) && again.waitForConnectDone());
    QVERIFY(again.waitForLoads(1, 20000));
    QCOMPARE(cookieHeaderFor(f, "check.html"), QByteArray("login=yes"));
}

void tst_EndToEnd::threeRunnersShareOneProfile()
{
    RunnerFixture f;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", f.home.path());
    std::vector<std::unique_ptr<RunnerHost>> hosts;
    QStringList keys;
    for (int i = 0; i < 3; ++i) {
        f.writePage(QStringLiteral("set%1.html").arg(i), cookiePage(QStringLiteral("c%1").arg(i)));
        hosts.push_back(std::make_unique<RunnerHost>());
        hosts.back()->setEnvironment(env);
        hosts.back()->setHeartbeatInterval(2000);
        BrowserParams p = f.params({ f.http.urlFor(QStringLiteral("set%1.html").arg(i)) }, QSize(320, 200));
        p.sharedMemoryKey = f.key + QString::number(i);
        keys << p.sharedMemoryKey;
        QVERIFY(hosts.back()->start(p));
    }
    for (int i = 0; i < 3; ++i) {
        QVERIFY(hosts[i]->waitForConnectDone(30000));
        QTRY_COMPARE_WITH_TIMEOUT(hosts[i]->lastTitle(), QStringLiteral("set c%1").arg(i), 30000);
    }
    for (int i = 0; i < 3; ++i) {
        FrameReader reader(keys.at(i));
        FrameReader::Frame frame;
        QVERIFY(takeFrameShowing(reader, frame, qRgb(0x20, 0x40, 0x80)));
        QCOMPARE(frame.header.size, QSize(320, 200));
    }
    for (auto& host : hosts)
        host->send(Quit);
    for (auto& host : hosts) {
        QVERIFY(host->waitForFinished(15000));
        QCOMPARE(host->process().exitCode(), 0);
    }

    f.writePage("check.html", RunnerFixture::solidPage("check", "white"));
    RunnerHost again;
    again.setEnvironment(env);
    QVERIFY(again.start(f.params({ f.http.urlFor("check.html") })) && again.waitForConnectDone());
    QVERIFY(again.waitForLoads(1, 20000));
    QList<QByteArray> cookies = cookieHeaderFor(f, "check.html").split(';');
    for (QByteArray& cookie : cookies)
        cookie = cookie.trimmed();
    std::sort(cookies.begin(), cookies.end());
    QCOMPARE(cookies, (QList<QByteArray> { "c0=yes", "c1=yes", "c2=yes" }));
}

void tst_EndToEnd::greetingThenConnectDone()
{
    RunnerFixture f;
    f.host.setGreeting(QString::fromUtf8("你好, host"));
    QVERIFY(f.start(f.params({ "about:blank" }, QSize(800, 600))));
    QCOMPARE(f.host.receivedGreeting(), QString::fromUtf8("你好, host").toLocal8Bit());
    QCOMPARE(f.host.receivedCodes().first(), qint32(ConnectDone));
    QVERIFY2(QRegularExpression("^800X600X\\d+$").match(f.host.connectDoneText()).hasMatch(),
             qPrintable(f.host.connectDoneText()));
    f.host.send(Quit);
    QVERIFY(f.host.waitForFinished());
    QCOMPARE(f.host.process().exitCode(), 0);
}

void tst_EndToEnd::changeUrlAnswersLoadFinishedAndFrames()
{
    RunnerFixture f;
    f.writePage("blue.html", RunnerFixture::solidPage("  Blue page \t", "rgb(10,20,200)"));
    QVERIFY(f.start(f.params({ "about:blank" })));
    f.host.waitForLoads(1, 15000);
    const int loadsBefore = f.host.loadFinishedCount();

    const QString url = f.http.urlFor("blue.html");
    f.host.send(ChangeUrl, url);
    QVERIFY(f.host.waitForLoads(loadsBefore + 1, 20000));
    QCOMPARE(f.host.lastTitle(), QStringLiteral("Blue page"));
    QCOMPARE(f.host.lastUrl(), url);
    const QImage snapshot = f.host.lastSnapshot();
    // The snapshot is rendered when loading finishes, which may be before
    // the engine's first paint: only its size is fixed.
    QCOMPARE(snapshot.size(), QSize(640, 360));

    FrameReader reader(f.key);
    FrameReader::Frame frame;
    QVERIFY(takeFrameShowing(reader, frame, qRgb(10, 20, 200)));
    QCOMPARE(pixelBytes(frame.image, 5, 5), QByteArray("\xc8\x14\x0a\xff", 4));
    QCOMPARE(frame.header.size, QSize(640, 360));
    QVERIFY(frame.header.wholeFrame);
    QCOMPARE(frame.header.dirty, QRect(0, 0, 640, 360));
    QCOMPARE(pixelBytes(frame.image, 639, 359), QByteArray("\xc8\x14\x0a\xff", 4));
    QVERIFY(f.logLines().contains(QStringLiteral("Receive ChangeUrl Message :  \"%1\" ").arg(url)));
}

void tst_EndToEnd::endings_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("quit") << "quit" << "Receive Quit Message ";
    QTest::newRow("quit then more frames") << "quit+url" << "Receive ChangeUrl Message :  \"about:blank#after\" ";
    QTest::newRow("closed connection") << "close" << QString::fromUtf8("连接断开, 退出程序 ");
}

void tst_EndToEnd::endings()
{
    QFETCH(QString, how);
    QFETCH(QString, logLine);
    RunnerFixture f;
    QVERIFY(f.start(f.params({ "about:blank" })));
    if (how == "quit")
        f.host.send(Quit);
    else if (how == "quit+url")
        f.host.sendRaw(FrameCodec::encode(Quit) + FrameCodec::encode(ChangeUrl, QStringLiteral("about:blank#after")));
    else
        f.host.closeConnection();
    QVERIFY(f.host.waitForFinished(10000));
    QCOMPARE(f.host.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(f.host.process().exitCode(), 0);
    QVERIFY2(f.logLines().contains(logLine), qPrintable(f.logLines().join('\n')));
}

void tst_EndToEnd::unreachableServer()
{
    RunnerFixture f;
    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", f.home.path());
    runner.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    runner.start(RunnerHost::defaultRunnerPath(), { "ybr-nobody-listens", BrowserParams().toBase64String(), "hi" });
    QVERIFY(runner.waitForFinished(20000));
    QCOMPARE(runner.exitCode(), 0);
    QCOMPARE(f.logLines(), QStringList { "Begin... " });
}

void tst_EndToEnd::shortParamsAndMalformedInput()
{
    RunnerFixture f;
    f.writePage("a.html", RunnerFixture::solidPage("Page A", "white"));
    f.writePage("b.html", RunnerFixture::solidPage("Page B", "white"));
    QVERIFY(f.start(f.params({ f.http.urlFor("a.html") })));
    QVERIFY(f.host.waitForLoads(1, 20000));

    f.host.send(UpdateBrowserParams, qint32(3));
    QByteArray hostile = "garbage without end ";
    hostile += "%%%%<<" + QByteArray("\x00\x01\x02", 3) + "<<";
    hostile += FrameCodec::encode(ConnectDone, QStringLiteral("x")) + FrameCodec::encode(LoadFinished) + FrameCodec::encode(SettingDone);
    hostile += FrameCodec::encode(7) + FrameCodec::encode(-1) + FrameCodec::encode(123456);
    hostile += QByteArray(4 * 1024 * 1024, 'A') + "<<";
    for (int i = 0; i < 1000; ++i)
        hostile += FrameCodec::encode(i % 2 ? WholeImage : SetMute, true);
    f.host.sendRaw(hostile);
    BrowserParams restore = f.params({ f.http.urlFor("a.html") });
    f.host.send(UpdateBrowserParams, restore);
    const int loads = f.host.loadFinishedCount();
    f.host.send(ChangeUrl, f.http.urlFor("b.html"));
    QVERIFY(f.host.waitForLoads(loads + 1, 30000));
    QTRY_COMPARE_WITH_TIMEOUT(f.host.lastTitle(), QStringLiteral("Page B"), 20000);
    QCOMPARE(f.host.process().state(), QProcess::Running);
    f.host.send(Quit);
    QVERIFY(f.host.waitForFinished());
    QCOMPARE(f.host.process().exitCode(), 0);
}

void tst_EndToEnd::settingCloseClickSendsSettingDone()
{
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        QSKIP("xdotool is not installed");
    RunnerFixture f;
    BrowserParams p = f.params({ "about:blank" });
    QVERIFY(f.start(p));
    QSignalSpy done(&f.host, &RunnerHost::settingDone);
    f.host.send(EnterSetting);
    QTest::qWait(1500);
    // The setting window, 960x570, is centred on the 1920x1080 screen; its
    // close button is the rightmost of the title bar.
    const QPoint close(480 + 960 - 30, 255 + 14);
    QProcess::execute("xdotool", { "mousemove", QString::number(close.x()), QString::number(close.y()), "click", "1" });
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
    const BrowserParams sent = done.first().first().value<BrowserParams>();
    QCOMPARE(sent.pageSize, QSize(640, 360));
    QCOMPARE(sent.urls, QStringList { "about:blank" });
    QVERIFY(sent.hidden);
    QVERIFY(f.logLines().contains("hide "));
}

void tst_EndToEnd::silentHeartbeatEndsRunner()
{
    RunnerFixture f;
    f.host.setHeartbeatInterval(0);
    QVERIFY(f.start(f.params({ "about:blank" })));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(f.host.waitForFinished(40000));
    QVERIFY2(clock.elapsed() >= 28000 && clock.elapsed() <= 36000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.host.process().exitCode(), 0);
    QCOMPARE(f.logLines().last(), QString::fromUtf8("心跳终止，退出程序 "));
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
