#include <QtTest>

#include "FrameCodec.h"
#include "LogWriter.h"
#include "RunnerDouble.h"
#include "YBrowserControl.h"

#include <QLocalServer>
#include <QLocalSocket>

// The controller on a real host socket with a runner double; the endings are proved end to end.
class tst_BrowserControl : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        logWriter = std::make_unique<LogWriter>(logDir.path());
        server = std::make_unique<QLocalServer>();
        QLocalServer::removeServer("ybr-test-control");
        QVERIFY(server->listen("ybr-test-control"));
        received.clear();
    }

    void cleanup() { control.reset(), QFile::remove(logWriter->path()); }

    void connectAndReplies()
    {
        start();
        QString text, url;
        QVERIFY(reply(ConnectDone, greeting));
        *stream >> text;
        QCOMPARE(text, QStringLiteral("640X480X%1").arg(qint64(runner->effectiveWinId())));
        QCOMPARE(runner->calls, QStringList { "showSetting(false)" });
        QVERIFY(runner->isVisible());
        QCOMPARE(logLines(), (QStringList { "Begin... ", "connect done ", "bong ", "Connect Done " }));

        QImage snapshot(4, 3, QImage::Format_ARGB32), image;
        snapshot.fill(0xff112233);
        emit runner->loadFinished(true, snapshot);
        QVERIFY(reply(LoadFinished));
        *stream >> text >> image >> url;
        QCOMPARE(text, QStringLiteral("Title with spaces"));
        QCOMPARE(image, snapshot);
        QCOMPARE(url, QStringLiteral("http://127.0.0.1/page?a=1&b=2"));
    }

    void dispatch_data()
    {
        // Calls on the frames, then after " | " those on settingDone, which sends the record; nothing after
        // " | ": the host's hiding ended the setting phase as the close button does.
        QTest::addColumn<bool>("mutedBefore");
        QTest::addColumn<QByteArray>("frames");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<QString>("log");
        BrowserParams three;
        three.urls = QStringList { "a", "b", "c" };
        three.pageSize = QSize(800, 600);
        const QByteArray whole = FrameCodec::encode(WholeImage), enter = FrameCodec::encode(EnterSetting);
        const QByteArray hideTwice = FrameCodec::encode(SetVisible, false) + FrameCodec::encode(SetVisible, false);
        const QString url = "http://127.0.0.1:8080/a b", entered = "Receive EnterSetting Message ";
        const QString hidden = "\nReceive SetVisible Message :  false \nReceive SetVisible Message :  false ";
        QTest::newRow("mute") << false << FrameCodec::encode(SetMute, true) << "setMute(true)" << "Receive SetMute Message :  true ";
        QTest::newRow("mute without flag") << false << FrameCodec::encode(SetMute) << "setMute(false)" << "Receive SetMute Message :  false ";
        QTest::newRow("visible") << false << FrameCodec::encode(SetVisible, true) << "showSetting(true)" << "Receive SetVisible Message :  true ";
        QTest::newRow("not visible parks") << false << FrameCodec::encode(SetVisible, false) << "showSetting(false)" << "Receive SetVisible Message :  false ";
        QTest::newRow("change url") << false << FrameCodec::encode(ChangeUrl, url) << "setUrl(" + url + ")" << "Receive ChangeUrl Message :  \"" + url + "\" ";
        QTest::newRow("whole image") << false << whole << "wholeImage()" << "Receive WholeImage ";
        QTest::newRow("params") << false << FrameCodec::encode(UpdateBrowserParams, three) << "updateParams(800x600,a|b|c)" << "Receive UpdateBrowserParams ";
        QTest::newRow("short params are zeros") << false << FrameCodec::encode(UpdateBrowserParams, qint32(0)) << "updateParams(0x0,)" << "Receive UpdateBrowserParams ";
        QTest::newRow("runner codes and unknown codes") << false
            << FrameCodec::encode(ConnectDone, QStringLiteral("x")) + FrameCodec::encode(LoadFinished) + FrameCodec::encode(SettingDone)
                + FrameCodec::encode(1) + FrameCodec::encode(8) + FrameCodec::encode(-7) + whole
            << "wholeImage()" << "Receive WholeImage ";
        QTest::newRow("garbage then frame") << false << QByteArray("%%%\x01\x02" "<<") + whole << "wholeImage()" << "Receive WholeImage ";
        QTest::newRow("setting, muted") << true << enter << "setMute(false) showSetting(true) | setMute(true) showSetting(false)" << entered;
        QTest::newRow("setting, not muted") << false << enter << "showSetting(true) | showSetting(false)" << entered;
        QTest::newRow("unmuted during setting") << true << enter + FrameCodec::encode(SetMute, false)
            << "setMute(false) showSetting(true) setMute(false) | showSetting(false)" << entered + "\nReceive SetMute Message :  false ";
        QTest::newRow("muted during setting") << false << enter + FrameCodec::encode(SetMute, true)
            << "showSetting(true) setMute(true) | setMute(true) showSetting(false)" << entered + "\nReceive SetMute Message :  true ";
        QTest::newRow("hidden by the host, muted") << true << enter + hideTwice
            << "setMute(false) showSetting(true) setMute(true) showSetting(false) showSetting(false) | " << entered + hidden;
        QTest::newRow("hidden by the host") << false << enter + hideTwice
            << "showSetting(true) showSetting(false) showSetting(false) | " << entered + hidden;
        QTest::newRow("shown, then hidden by the host") << false << FrameCodec::encode(SetVisible, true) + hideTwice
            << "showSetting(true) showSetting(false) showSetting(false) | " << "Receive SetVisible Message :  true " + hidden;
    }

    void dispatch()
    {
        QFETCH(bool, mutedBefore);
        QFETCH(QByteArray, frames);
        QFETCH(QString, calls);
        QFETCH(QString, log);
        start();
        QVERIFY(reply(ConnectDone, greeting));
        runner->muted = mutedBefore;
        runner->calls.clear();
        const int before = logLines().size();
        link->write(frames);
        QTRY_COMPARE(runner->calls.join(' '), calls.section(" | ", 0, 0));
        QCOMPARE(logLines().mid(before).join('\n'), log);
        if (!calls.contains(" | "))
            return;
        if (!calls.endsWith(" | ")) {
            emit runner->settingDone();
            QCOMPARE(runner->calls.join(' '), QString(calls).remove("| "));
        }
        BrowserParams sent;
        received += link->readAll();
        QVERIFY(reply(SettingDone));
        *stream >> sent;
        QVERIFY(sent == record);
        QVERIFY(received.isEmpty() && !link->waitForReadyRead(300));
    }

    void heartbeatReplacesWatchdog()
    {
        start();
        QPointer<QTimer> old = control->findChild<QTimer*>();
        QCOMPARE(control->findChildren<QTimer*>().size(), 1);
        QCOMPARE(old->interval(), 30000);
        QVERIFY(old->isActive());
        link->write("<<<<");
        QTRY_COMPARE(logLines().count("bong "), 3);
        QVERIFY(old.isNull());
        QCOMPARE(control->findChildren<QTimer*>().size(), 1);
        QVERIFY(control->findChild<QTimer*>()->isActive());
    }

private:
    void start()
    {
        control = std::make_unique<YBrowserControl>("ybr-test-control", record, QString::fromLocal8Bit(greeting),
                                                    [this](const BrowserParams& p) { return runner = new RunnerDouble(p); });
        QVERIFY(server->waitForNewConnection(2000));
        link = server->nextPendingConnection();
    }

    // Reads the runner's next frame, after `prefix`, into `stream`, positioned after its code.
    bool reply(qint32 expectedCode, const QByteArray& prefix = {})
    {
        for (int i = 0; i < 50 && !received.contains("<<"); ++i)
            received += link->waitForReadyRead(100) ? link->readAll() : QByteArray();
        const int end = received.indexOf("<<");
        const QByteArray block = received.left(qMax(end, 0));
        received.remove(0, end < 0 ? 0 : end + 2);
        stream = std::make_unique<QDataStream>(QByteArray::fromBase64(block.mid(prefix.size())));
        qint32 code = -1;
        *stream >> code;
        return block.startsWith(prefix) && code == expectedCode;
    }

    QStringList logLines() const
    {
        QFile file(logWriter->path());
        file.open(QIODevice::ReadOnly);
        QStringList lines;
        for (const QString& line : QString::fromLocal8Bit(file.readAll()).split("\r\n", Qt::SkipEmptyParts))
            lines << line.mid(22);  // after "yyyy-MM-dd hh:mm:ss   "
        return lines;
    }

    QTemporaryDir logDir;
    std::unique_ptr<LogWriter> logWriter;
    std::unique_ptr<QLocalServer> server;
    std::unique_ptr<YBrowserControl> control;
    std::unique_ptr<QDataStream> stream;
    QLocalSocket* link = nullptr;
    RunnerDouble* runner = nullptr;
    QByteArray received;
    const QByteArray greeting = QString::fromUtf8("你好 host").toLocal8Bit();
    const BrowserParams record = [] { BrowserParams p; p.urls = QStringList { "http://127.0.0.1/x" }; p.pageSize = QSize(640, 480); return p; }();
};

QTEST_MAIN(tst_BrowserControl)
#include "tst_browsercontrol.moc"
