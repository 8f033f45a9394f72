#include <QtTest>

#include "FrameCodec.h"
#include "LogWriter.h"
#include "RunnerDouble.h"
#include "YBrowserControl.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
// The host end: one accepted connection, frames cut off as they come.
struct Host {
    QLocalServer server;
    QLocalSocket* link = nullptr;
    QByteArray received;

    QByteArray takeBytes(int count)
    {
        while (received.size() < count && link->waitForReadyRead(2000))
            received += link->readAll();
        const QByteArray head = received.left(count);
        received.remove(0, head.size());
        return head;
    }

    QByteArray nextFrameBlock()
    {
        for (int i = 0; i < 50 && !received.contains("<<"); ++i) {
            if (link->waitForReadyRead(100))
                received += link->readAll();
        }
        const int end = received.indexOf("<<");
        if (end < 0)
            return {};
        const QByteArray block = QByteArray::fromBase64(received.left(end));
        received.remove(0, end + 2);
        return block;
    }

    void send(const QByteArray& bytes)
    {
        link->write(bytes);
        link->flush();
    }
};

// Runs the application's event loop until the controller quits it; 99 when
// it does not. The application loop, not a local one: a quit leaves a flag
// that only the application loop clears.
int loopResult(int timeoutMs = 3000)
{
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    timeout.start(timeoutMs);
    return QCoreApplication::exec();
}

QStringList logLines(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QStringList lines;
    for (const QString& line : QString::fromLocal8Bit(file.readAll()).split("\r\n", Qt::SkipEmptyParts))
        lines << line.mid(22);  // after "yyyy-MM-dd hh:mm:ss   "
    return lines;
}
}

class tst_BrowserControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectSequence();
    void dispatch_data();
    void dispatch();
    void bytesInAnyCut_data();
    void bytesInAnyCut();
    void settingPhaseRestoresMute_data();
    void settingPhaseRestoresMute();
    void loadFinishedReply();
    void framesAfterQuitStillHandled();
    void disconnectEndsLoop();
    void unreachableServerQuitsOnceLoopRuns();
    void heartbeatReplacesWatchdog();

private:
    void start(const BrowserParams& params = BrowserParams());

    QTemporaryDir logDir;
    std::unique_ptr<LogWriter> logWriter;
    std::unique_ptr<Host> host;
    std::unique_ptr<YBrowserControl> control;
    RunnerDouble* runner = nullptr;
};

void tst_BrowserControl::init()
{
    logWriter = std::make_unique<LogWriter>(logDir.path());
    host = std::make_unique<Host>();
    QLocalServer::removeServer("ybr-test-control");
    QVERIFY(host->server.listen("ybr-test-control"));
}

void tst_BrowserControl::cleanup()
{
    control.reset();
    host.reset();
    QFile::remove(logWriter->path());
    logWriter.reset();
    runner = nullptr;
}

void tst_BrowserControl::start(const BrowserParams& params)
{
    control = std::make_unique<YBrowserControl>("ybr-test-control", params, QString::fromUtf8("你好 host"),
                                                [this](const BrowserParams& p) { return runner = new RunnerDouble(p); });
    QVERIFY(host->server.waitForNewConnection(2000));
    host->link = host->server.nextPendingConnection();
    QVERIFY(runner);
}

void tst_BrowserControl::connectSequence()
{
    BrowserParams params;
    params.pageSize = QSize(1280, 720);
    start(params);

    QCOMPARE(host->takeBytes(QString::fromUtf8("你好 host").toLocal8Bit().size()), QString::fromUtf8("你好 host").toLocal8Bit());
    QDataStream stream(host->nextFrameBlock());
    qint32 code = -1;
    QString text;
    stream >> code >> text;
    QCOMPARE(code, qint32(ConnectDone));
    QCOMPARE(text, QStringLiteral("1280X720X%1").arg(qint64(runner->effectiveWinId())));
    QCOMPARE(runner->calls, QStringList { "showSetting(false)" });
    QVERIFY(runner->isVisible());
    QCOMPARE(logLines(logWriter->path()), (QStringList { "Begin... ", "connect done ", "bong ", "Connect Done " }));
}

void tst_BrowserControl::dispatch_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("logs");

    BrowserParams three;
    three.urls = QStringList { "a", "b", "c" };
    three.pageSize = QSize(800, 600);
    QTest::newRow("mute") << FrameCodec::encode(SetMute, true) << QStringList { "setMute(true)" }
                          << QStringList { "Receive SetMute Message :  true " };
    QTest::newRow("mute without flag") << FrameCodec::encode(SetMute) << QStringList { "setMute(false)" }
                                       << QStringList { "Receive SetMute Message :  false " };
    QTest::newRow("visible") << FrameCodec::encode(SetVisible, true) << QStringList { "showSetting(true)" }
                             << QStringList { "Receive SetVisible Message :  true " };
    QTest::newRow("not visible parks") << FrameCodec::encode(SetVisible, false) << QStringList { "showSetting(false)" }
                                       << QStringList { "Receive SetVisible Message :  false " };
    QTest::newRow("change url") << FrameCodec::encode(ChangeUrl, QStringLiteral("http://127.0.0.1:8080/a b"))
                                << QStringList { "setUrl(http://127.0.0.1:8080/a b)" }
                                << QStringList { "Receive ChangeUrl Message :  \"http://127.0.0.1:8080/a b\" " };
    QTest::newRow("whole image") << FrameCodec::encode(WholeImage) << QStringList { "wholeImage()" }
                                 << QStringList { "Receive WholeImage " };
    QTest::newRow("params") << FrameCodec::encode(UpdateBrowserParams, three) << QStringList { "updateParams(800x600,a|b|c)" }
                            << QStringList { "Receive UpdateBrowserParams " };
    QTest::newRow("short params are zeros") << FrameCodec::encode(UpdateBrowserParams, qint32(0))
                                            << QStringList { "updateParams(0x0,)" }
                                            << QStringList { "Receive UpdateBrowserParams " };
    QTest::newRow("enter setting unmuted") << FrameCodec::encode(EnterSetting) << QStringList { "showSetting(true)" }
                                           << QStringList { "Receive EnterSetting Message " };
    QTest::newRow("runner codes and unknown codes") << FrameCodec::encode(ConnectDone, QStringLiteral("x")) + FrameCodec::encode(LoadFinished)
            + FrameCodec::encode(SettingDone) + FrameCodec::encode(1) + FrameCodec::encode(8) + FrameCodec::encode(-7) + FrameCodec::encode(WholeImage)
                                                    << QStringList { "wholeImage()" } << QStringList { "Receive WholeImage " };
    QTest::newRow("garbage then frame") << QByteArray("%%%\x01\x02" "<<") + FrameCodec::encode(WholeImage)
                                        << QStringList { "wholeImage()" } << QStringList { "Receive WholeImage " };
}

void tst_BrowserControl::dispatch()
{
    QFETCH(QByteArray, frames);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, logs);
    start();
    runner->calls.clear();
    const int before = logLines(logWriter->path()).size();
    host->send(frames);
    QTRY_COMPARE(runner->calls, calls);
    QCOMPARE(logLines(logWriter->path()).mid(before), logs);
}

void tst_BrowserControl::bytesInAnyCut_data()
{
    QTest::addColumn<int>("piece");
    QTest::newRow("one byte at a time") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("seven") << 7;
    QTest::newRow("all at once") << 0;
}

void tst_BrowserControl::bytesInAnyCut()
{
    QFETCH(int, piece);
    start();
    runner->calls.clear();
    BrowserParams two;
    two.urls = QStringList { "x", "y" };
    two.pageSize = QSize(7, 9);
    const QByteArray bytes = FrameCodec::encode(SetMute, true) + "<<" + FrameCodec::encode(UpdateBrowserParams, two)
        + FrameCodec::encode(ChangeUrl, QString::fromUtf8("http://127.0.0.1/页")) + "<" + FrameCodec::encode(WholeImage);
    const int step = piece > 0 ? piece : bytes.size();
    for (int at = 0; at < bytes.size(); at += step)
        control->receive(bytes.mid(at, step));
    // The stray '<' joins the last frame's text, where base64 decoding skips it.
    QCOMPARE(runner->calls, (QStringList { "setMute(true)", "updateParams(7x9,x|y)",
                                           QString::fromUtf8("setUrl(http://127.0.0.1/页)"), "wholeImage()" }));
}

void tst_BrowserControl::settingPhaseRestoresMute_data()
{
    QTest::addColumn<bool>("mutedBefore");
    QTest::addColumn<QByteArray>("duringSetting");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("callsOnDone");

    QTest::newRow("muted") << true << QByteArray()
                           << QStringList { "setMute(false)", "showSetting(true)", "setMute(true)", "showSetting(false)" } << 2;
    QTest::newRow("not muted") << false << QByteArray() << QStringList { "showSetting(true)", "showSetting(false)" } << 1;
    QTest::newRow("unmuted during setting") << true << FrameCodec::encode(SetMute, false)
                                            << QStringList { "setMute(false)", "showSetting(true)", "setMute(false)", "showSetting(false)" } << 1;
    QTest::newRow("muted during setting") << false << FrameCodec::encode(SetMute, true)
                                          << QStringList { "showSetting(true)", "setMute(true)", "setMute(true)", "showSetting(false)" } << 2;
}

void tst_BrowserControl::settingPhaseRestoresMute()
{
    QFETCH(bool, mutedBefore);
    QFETCH(QByteArray, duringSetting);
    QFETCH(QStringList, calls);
    QFETCH(int, callsOnDone);
    BrowserParams record;
    record.urls = QStringList { "http://127.0.0.1/x" };
    record.pageSize = QSize(640, 480);
    start(record);
    runner->muted = mutedBefore;
    runner->calls.clear();
    host->nextFrameBlock();

    host->send(FrameCodec::encode(EnterSetting) + duringSetting);
    QTRY_COMPARE(runner->calls, calls.mid(0, calls.size() - callsOnDone));
    emit runner->settingDone();
    QCOMPARE(runner->calls, calls);

    QDataStream stream(host->nextFrameBlock());
    qint32 code = -1;
    BrowserParams sent;
    stream >> code >> sent;
    QCOMPARE(code, qint32(SettingDone));
    QVERIFY(sent == record);
}

void tst_BrowserControl::loadFinishedReply()
{
    start();
    host->nextFrameBlock();
    QImage snapshot(4, 3, QImage::Format_ARGB32);
    snapshot.fill(0xff112233);
    emit runner->loadFinished(true, snapshot);

    QDataStream stream(host->nextFrameBlock());
    qint32 code = -1;
    QString title, url;
    QImage image;
    stream >> code >> title >> image >> url;
    QCOMPARE(code, qint32(LoadFinished));
    QCOMPARE(title, QStringLiteral("Title with spaces"));
    QCOMPARE(image.size(), QSize(4, 3));
    QCOMPARE(image.pixel(3, 2), 0xff112233u);
    QCOMPARE(url, QStringLiteral("http://127.0.0.1/page?a=1&b=2"));
}

void tst_BrowserControl::framesAfterQuitStillHandled()
{
    start();
    host->send(FrameCodec::encode(Quit) + FrameCodec::encode(ChangeUrl, QStringLiteral("http://after/")));
    QCOMPARE(loopResult(), 0);
    QCOMPARE(runner->calls.last(), QStringLiteral("setUrl(http://after/)"));
    QVERIFY(logLines(logWriter->path()).contains("Receive Quit Message "));
}

void tst_BrowserControl::disconnectEndsLoop()
{
    start();
    host->link->disconnectFromServer();
    QCOMPARE(loopResult(), 0);
    QCOMPARE(logLines(logWriter->path()).last(), QString::fromUtf8("连接断开, 退出程序 "));
}

void tst_BrowserControl::unreachableServerQuitsOnceLoopRuns()
{
    QElapsedTimer clock;
    clock.start();
    control = std::make_unique<YBrowserControl>("ybr-no-such-server", BrowserParams(), "hi",
                                                [this](const BrowserParams& p) { return runner = new RunnerDouble(p); });
    QVERIFY(!runner);
    QVERIFY(clock.elapsed() <= 2500);
    QCOMPARE(loopResult(), 0);
    QCOMPARE(logLines(logWriter->path()), QStringList { "Begin... " });
}

void tst_BrowserControl::heartbeatReplacesWatchdog()
{
    start();
    const QList<QTimer*> first = control->findChildren<QTimer*>();
    QCOMPARE(first.size(), 1);
    QCOMPARE(first.first()->interval(), 30000);
    QVERIFY(first.first()->isActive());
    QPointer<QTimer> old = first.first();

    host->send("<<<<");
    QTRY_COMPARE(logLines(logWriter->path()).count("bong "), 3);
    QVERIFY(old.isNull());
    const QList<QTimer*> now = control->findChildren<QTimer*>();
    QCOMPARE(now.size(), 1);
    QVERIFY(now.first()->isActive());
}

QTEST_MAIN(tst_BrowserControl)
#include "tst_browsercontrol.moc"
