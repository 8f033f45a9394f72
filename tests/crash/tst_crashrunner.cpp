#include "CrashSupport.h"

#include <QLocalServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// Processes with Chromium inside: the runner killed from outside while it runs
// its event loop, and a probe that loads a page before it crashes.
class tst_CrashRunner : public QObject
{
    Q_OBJECT

private slots:
    void runnerDumpsWhenKilledFromOutside_data();
    void runnerDumpsWhenKilledFromOutside();
    void pageLoadsAndTheCrashStillDumps_data();
    void pageLoadsAndTheCrashStillDumps();
};

void tst_CrashRunner::runnerDumpsWhenKilledFromOutside_data()
{
    QTest::addColumn<int>("dumpLevel");
    QTest::addColumn<bool>("dumps");

    QTest::newRow("level 1") << 1 << true;
    QTest::newRow("level 0") << 0 << false;
    QTest::newRow("level -1") << -1 << false;
}

void tst_CrashRunner::runnerDumpsWhenKilledFromOutside()
{
    QFETCH(int, dumpLevel);
    QFETCH(bool, dumps);

    const QString runner = qEnvironmentVariable("YBR_BUILD_DIR") + QStringLiteral("/YBrowserRunner");
    QVERIFY2(QFile::exists(runner), qPrintable(runner));
    QTemporaryDir home;
    QFile config(home.filePath(QStringLiteral("runner.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[General]\nDumpLevel=" + QByteArray::number(dumpLevel) + "\n");
    config.close();
    QLocalServer host;
    const QString serverName = QStringLiteral("tst_crashrunner_%1").arg(QCoreApplication::applicationPid());
    QLocalServer::removeServer(serverName);
    QVERIFY(host.listen(serverName));

    NoCoreProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("YCONFIG_FILE"), config.fileName());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(home.path());
    process.start(runner, {serverName, QString(), QStringLiteral("hello")});
    QVERIFY(process.waitForStarted());
    // It connects once its handlers are in; on a loaded machine that takes a while.
    QTest::qWaitFor([&] { return host.hasPendingConnections(); }, 60000);
    QCOMPARE(process.state(), QProcess::Running);
    ::kill(pid_t(process.processId()), SIGSEGV);
    QVERIFY(process.waitForFinished(60000));

    const QDir dumpDirectory(home.filePath(QStringLiteral("data/Corvane M1/dump")));
    QCOMPARE(process.exitStatus(), dumps ? QProcess::NormalExit : QProcess::CrashExit);
    QCOMPARE(process.exitCode(), dumps ? 0 : SIGSEGV);
    if (!dumps) {
        QVERIFY(!dumpDirectory.exists());
        return;
    }
    const QString dump = onlyFile(dumpDirectory.path());
    QVERIFY2(QRegularExpression(QStringLiteral("/CorvaneM1_BrowserRunner_4\\.8\\.0\\.19560_\\d{14}\\.dmp$")).match(dump).hasMatch(),
             qPrintable(dumpDirectory.entryList().join(',')));
    const QString output = debuggerOutput(dump, runner, {QStringLiteral("thread list"), QStringLiteral("thread backtrace all")});
    QVERIFY2(output.contains(QStringLiteral("stop reason = signal SIGSEGV")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("YBrowserRunner`main")), qPrintable(output));
    qInfo("runner dump: %lld bytes, %d threads", QFileInfo(dump).size(), threadCount(output));
}

void tst_CrashRunner::pageLoadsAndTheCrashStillDumps_data()
{
    QTest::addColumn<int>("level");

    QTest::newRow("level 1") << 1;
    QTest::newRow("level 2") << 2;
}

// Chromium runs in the same process as the crash handler: the page loads,
// Chromium does not take the crash signals over, and a crash still dumps.
void tst_CrashRunner::pageLoadsAndTheCrashStillDumps()
{
    QFETCH(int, level);

    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, &server, [&server] {
        QTcpSocket* socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
                          "<html><head><title>Crash guard page</title></head><body>ok</body></html>");
            socket->disconnectFromHost();
        });
    });
    QTemporaryDir home;
    const QDir directory(home.filePath(QStringLiteral("dump")));
    QVERIFY(QDir().mkpath(directory.path()));
    const QString probe = qEnvironmentVariable("YBR_BUILD_DIR") + QStringLiteral("/tests/WebEngineProbe");
    NoCoreProcess process;
    process.setWorkingDirectory(home.path());
    process.start(probe, {QString::number(level), directory.path(),
                          QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort())});
    QVERIFY(process.waitForStarted());
    QByteArray output;
    // The page server needs the event loop until the page is in; then block,
    // so that the end is seen at once.
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("crashing at")
                                 || process.state() == QProcess::NotRunning, 60000);
    process.waitForFinished(120000);
    const qint64 end = monotonicNanoseconds();
    output += process.readAllStandardOutput();
    const QRegularExpressionMatch report
        = QRegularExpression(QStringLiteral("^loaded: true\ntitle: Crash guard page\nhandlers kept\ncrashing at (\\d+)\n$"))
              .match(QString::fromUtf8(output));
    QVERIFY2(report.hasMatch(), output.constData());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString dump = onlyFile(directory.path());
    QVERIFY2(QRegularExpression(QStringLiteral("/WebEngineProbe_\\d{14}\\.dmp$")).match(dump).hasMatch(),
             qPrintable(directory.entryList().join(',')));

    const QString debugger = debuggerOutput(dump, probe, {QStringLiteral("thread list"), QStringLiteral("bt")});
    QVERIFY2(debugger.contains(QStringLiteral("stop reason = signal SIGSEGV")), qPrintable(debugger));
    QVERIFY2(debugger.contains(QStringLiteral("WebEngineProbe`::crashAfterPageLoaded()")), qPrintable(debugger));
    QVERIFY2(threadCount(debugger) > 5, qPrintable(debugger));
    qInfo("dump with WebEngine at level %d: %lld bytes, %d threads, %.1f ms from the crash to the end", level,
          QFileInfo(dump).size(), threadCount(debugger), (end - report.captured(1).toLongLong()) / 1e6);
}

QTEST_GUILESS_MAIN(tst_CrashRunner)
#include "tst_crashrunner.moc"
