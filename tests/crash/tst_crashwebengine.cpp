#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <sys/resource.h>

namespace {

class NoCoreProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        const rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
    }
};

// Answers every request with one small page.
class PageServer : public QTcpServer
{
public:
    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    const QByteArray body = "<html><head><title>Crash guard page</title></head><body>ok</body></html>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: "
                                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
};

} // namespace

// Chromium runs in the same process as the crash handler: the page loads,
// Chromium does not take the crash signals over, and a crash still dumps.
class tst_CrashWebEngine : public QObject
{
    Q_OBJECT

private slots:
    void pageLoadsAndTheCrashStillDumps_data();
    void pageLoadsAndTheCrashStillDumps();
};

void tst_CrashWebEngine::pageLoadsAndTheCrashStillDumps_data()
{
    QTest::addColumn<int>("level");

    QTest::newRow("level 1") << 1;
    QTest::newRow("level 2") << 2;
}

void tst_CrashWebEngine::pageLoadsAndTheCrashStillDumps()
{
    QFETCH(int, level);

    PageServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir directory;
    const QString probe = qEnvironmentVariable("YBR_BUILD_DIR") + QStringLiteral("/tests/WebEngineProbe");

    NoCoreProcess process;
    process.setWorkingDirectory(directory.path());
    process.start(probe, {QString::number(level), directory.path(),
                          QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort())});
    QVERIFY(process.waitForStarted());
    QByteArray output;
    // The page server needs the event loop until the page is in; then block,
    // so that the end is seen at once.
    QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("crashing at")
                                 || process.state() == QProcess::NotRunning,
                             60000);
    process.waitForFinished(120000);
    timespec end;
    clock_gettime(CLOCK_MONOTONIC, &end);

    output += process.readAllStandardOutput();
    const QRegularExpressionMatch report
        = QRegularExpression(QStringLiteral("^loaded: true\ntitle: Crash guard page\nhandlers kept\ncrashing at (\\d+)\n$"))
              .match(QString::fromUtf8(output));
    QVERIFY2(report.hasMatch(), output.constData());
    const double dumpMilliseconds = (qint64(end.tv_sec) * 1000000000LL + end.tv_nsec - report.captured(1).toLongLong()) / 1e6;
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QStringList dumps = QDir(directory.path()).entryList({QStringLiteral("*.dmp")}, QDir::Files);
    QCOMPARE(dumps.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^WebEngineProbe_\\d{14}\\.dmp$")).match(dumps.first()).hasMatch());

    QProcess lldb;
    lldb.start(QStringLiteral("lldb"), {QStringLiteral("--core"), QDir(directory.path()).filePath(dumps.first()), probe,
                                        QStringLiteral("-b"), QStringLiteral("-o"), QStringLiteral("thread list"),
                                        QStringLiteral("-o"), QStringLiteral("bt")});
    QVERIFY(lldb.waitForFinished(180000));
    const QString debugger = QString::fromUtf8(lldb.readAllStandardOutput());
    QVERIFY2(debugger.contains(QStringLiteral("stop reason = signal SIGSEGV")), qPrintable(debugger));
    QVERIFY2(debugger.contains(QStringLiteral("WebEngineProbe`::crashAfterPageLoaded()")), qPrintable(debugger));
    const int threads = debugger.count(QRegularExpression(QStringLiteral("(?m)^[ *] thread #\\d+: tid = ")));
    QVERIFY2(threads > 5, qPrintable(debugger));
    qInfo("dump with WebEngine at level %d: %lld bytes, %d threads, %.1f ms from the crash to the end",
          level, QFileInfo(QDir(directory.path()).filePath(dumps.first())).size(), threads, dumpMilliseconds);
}

QTEST_GUILESS_MAIN(tst_CrashWebEngine)
#include "tst_crashwebengine.moc"
