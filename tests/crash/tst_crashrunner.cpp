#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
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

} // namespace

// The runner itself, killed from outside while it runs its event loop.
class tst_CrashRunner : public QObject
{
    Q_OBJECT

private slots:
    void dumpsWhenKilledFromOutside_data();
    void dumpsWhenKilledFromOutside();
};

void tst_CrashRunner::dumpsWhenKilledFromOutside_data()
{
    QTest::addColumn<int>("dumpLevel");
    QTest::addColumn<bool>("dumps");

    QTest::newRow("level 1") << 1 << true;
    QTest::newRow("level 0") << 0 << false;
    QTest::newRow("level -1") << -1 << false;
}

void tst_CrashRunner::dumpsWhenKilledFromOutside()
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
    // The runner may not talk to its host yet; it runs its loop either way.
    QTest::qWaitFor([&] { return host.hasPendingConnections(); }, 5000);
    QCOMPARE(process.state(), QProcess::Running);

    ::kill(pid_t(process.processId()), SIGSEGV);
    QVERIFY(process.waitForFinished(60000));

    const QDir dumpDirectory(home.filePath(QStringLiteral("data/Corvane M1/dump")));
    if (!dumps) {
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.exitCode(), SIGSEGV);
        QVERIFY(!dumpDirectory.exists());
        return;
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QStringList files = dumpDirectory.entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^CorvaneM1_BrowserRunner_4\\.8\\.0\\.19560_\\d{14}\\.dmp$"))
                 .match(files.first())
                 .hasMatch(),
             qPrintable(files.first()));

    QProcess lldb;
    lldb.start(QStringLiteral("lldb"), {QStringLiteral("--core"), dumpDirectory.filePath(files.first()), runner,
                                        QStringLiteral("-b"), QStringLiteral("-o"), QStringLiteral("thread list"),
                                        QStringLiteral("-o"), QStringLiteral("thread backtrace all")});
    QVERIFY(lldb.waitForFinished(180000));
    const QString output = QString::fromUtf8(lldb.readAllStandardOutput());
    QVERIFY2(output.contains(QStringLiteral("stop reason = signal SIGSEGV")), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("YBrowserRunner`main")), qPrintable(output));
    qInfo("runner dump: %lld bytes, %lld threads", QFileInfo(dumpDirectory.filePath(files.first())).size(),
          qint64(output.count(QRegularExpression(QStringLiteral("(?m)^[ *] thread #\\d+: tid = ")))));
}

QTEST_GUILESS_MAIN(tst_CrashRunner)
#include "tst_crashrunner.moc"
