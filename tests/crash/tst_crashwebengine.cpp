#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

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
    void pageLoadsAndTheCrashStillDumps();
};

void tst_CrashWebEngine::pageLoadsAndTheCrashStillDumps()
{
    PageServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTemporaryDir directory;
    const QString probe = qEnvironmentVariable("YBR_BUILD_DIR") + QStringLiteral("/tests/WebEngineProbe");

    NoCoreProcess process;
    process.setWorkingDirectory(directory.path());
    process.start(probe, {directory.path(), QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort())});
    QVERIFY(process.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 60000);

    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
             QStringLiteral("loaded: true\ntitle: Crash guard page\nhandlers kept\n"));
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
    const QString output = QString::fromUtf8(lldb.readAllStandardOutput());
    QVERIFY2(output.contains(QStringLiteral("stop reason = signal SIGSEGV")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("WebEngineProbe`::crashAfterPageLoaded()")), qPrintable(output));
    const int threads = output.count(QRegularExpression(QStringLiteral("(?m)^[ *] thread #\\d+: tid = ")));
    QVERIFY2(threads > 5, qPrintable(output));
    qInfo("dump with WebEngine: %lld bytes, %d threads",
          QFileInfo(QDir(directory.path()).filePath(dumps.first())).size(), threads);
}

QTEST_GUILESS_MAIN(tst_CrashWebEngine)
#include "tst_crashwebengine.moc"
