#include "BrowserParams.h"
#include "CrashSupport.h"
#include "FrameCodec.h"
#include "LocalHttpServer.h"
#include "OrphanSegment.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <csignal>

// The runner killed from outside after Chromium, in its process, loaded the page: Chromium left crash signals alone.
class tst_CrashRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        forbidCoreFiles();
        QVERIFY(pages.start());
        pages.servePage("/", "<html><head><title>Crash guard page</title></head><body>ok</body></html>");
    }

    void runnerDumpsWhenKilledFromOutside_data()
    {
        QTest::addColumn<int>("dumpLevel");
        for (int level : {1, 2, 3, 0})
            QTest::newRow(qPrintable(QStringLiteral("level %1").arg(level))) << level;
    }

    void runnerDumpsWhenKilledFromOutside()
    {
        QFETCH(int, dumpLevel);
        const bool dumps = dumpLevel > 0;

        const QString runner = qEnvironmentVariable("YBR_BUILD_DIR") + QStringLiteral("/YBrowserRunner");
        QTemporaryDir home;
        QFile config(home.filePath(QStringLiteral("runner.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly) && config.write("[General]\nDumpLevel=" + QByteArray::number(dumpLevel)) > 0);
        config.close();
        const QString serverName = QStringLiteral("tst_crashrunner_%1").arg(QCoreApplication::applicationPid());
        QLocalServer host;
        QLocalServer::removeServer(serverName);
        QVERIFY(host.listen(serverName));
        BrowserParams params;
        params.currentUrl = pages.url().toString();
        params.urls = QStringList{params.currentUrl};
        params.sharedMemoryKey = serverName;

        qputenv("YCONFIG_FILE", config.fileName().toLocal8Bit());
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
        QProcess process;
        process.setWorkingDirectory(home.path());
        process.start(runner, {serverName, params.toBase64String(), QStringLiteral("hello")});
        QVERIFY(host.waitForNewConnection(60000));
        QLocalSocket* link = host.nextPendingConnection();
        QByteArray received;
        QString title;
        const auto pageLoaded = [&] {
            FrameCodec::takeFrames(received += link->readAll(), [] {}, [&](qint32 code, QDataStream& s) {
                if (code == LoadFinished)
                    s >> title;
            });
            return title == QStringLiteral("Crash guard page");
        };
        QTRY_VERIFY_WITH_TIMEOUT(pageLoaded(), 60000);
        ::kill(pid_t(process.processId()), SIGSEGV);
        QVERIFY(process.waitForFinished(60000));
        // The killed runner never detached: its segment would outlive the test.
        QVERIFY(removeOrphanSegment(params.sharedMemoryKey));

        const QDir dumpDirectory(home.filePath(QStringLiteral("data/Corvane M1/dump")));
        QCOMPARE(process.exitStatus(), dumps ? QProcess::NormalExit : QProcess::CrashExit);
        QCOMPARE(process.exitCode(), dumps ? 0 : SIGSEGV);
        QCOMPARE(dumpDirectory.exists(), dumps);
        if (!dumps)
            return;
        const QString dump = onlyFile(dumpDirectory.path());
        QVERIFY2(QRegularExpression(QStringLiteral("/CorvaneM1_BrowserRunner_4\\.8\\.0\\.19560_\\d{14}\\.dmp$")).match(dump).hasMatch(),
                 qPrintable(dumpDirectory.entryList().join(',')));
        const QString output = debuggerOutput(dump, runner, {QStringLiteral("thread list"), QStringLiteral("thread backtrace all")});
        QVERIFY2(output.contains(QStringLiteral("stop reason = signal SIGSEGV")), qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("YBrowserRunner`main")), qPrintable(output));
        QVERIFY2(threadCount(output) > 5, qPrintable(output));
        // The page title lives in the runner's heap as UTF-16: only a full-memory dump holds it.
        const QString title16 = QStringLiteral("Crash guard page");
        const QByteArray heapText(reinterpret_cast<const char*>(title16.utf16()), title16.size() * 2);
        QCOMPARE(fileContains(dump, heapText), dumpLevel == 2);
        qInfo("runner dump at level %d: %lld bytes, %d threads", dumpLevel, QFileInfo(dump).size(), threadCount(output));
    }

private:
    LocalHttpServer pages;
};

QTEST_GUILESS_MAIN(tst_CrashRunner)
#include "tst_crashrunner.moc"
