#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <ctime>
#include <sys/resource.h>

namespace {

const QString kTag = QStringLiteral("CorvaneM1_Probe_1.0");

qint64 monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Crashes never leave a core file behind in the build tree.
class NoCoreProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        const rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
    }
};

struct ProbeRun {
    QProcess::ExitStatus exitStatus = QProcess::NormalExit;
    int exitCode = -1;
    qint64 pid = 0;
    QByteArray standardError;
    qint64 dumpNanoseconds = -1;
    QDateTime started;
    QDateTime finished;
};

struct DebuggerView {
    QString threadList;
    QString backtrace;
    int threadCount = 0;
};

} // namespace

class tst_CrashDump : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesOneDumpThatTheDebuggerReads_data();
    void writesOneDumpThatTheDebuggerReads();
    void fullDumpHoldsTheHeap();
    void modulesCarryTheirBuildIds();
    void linuxRecordsAreCopied();
    void leavesTheCrashToTheSystem_data();
    void leavesTheCrashToTheSystem();

private:
    ProbeRun runProbe(int level, const QString& directory, const QString& way);
    QString onlyDump(const QString& directory);
    QString run(const QString& program, const QStringList& arguments);
    DebuggerView openInDebugger(const QString& dump);

    QString probe;
};

void tst_CrashDump::initTestCase()
{
    probe = qEnvironmentVariable("YBR_BUILD_DIR") + QStringLiteral("/tests/CrashProbe");
    QVERIFY2(QFile::exists(probe), qPrintable(probe));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("lldb")).isEmpty(), "lldb is not installed");
}

ProbeRun tst_CrashDump::runProbe(int level, const QString& directory, const QString& way)
{
    ProbeRun result;
    NoCoreProcess process;
    process.setWorkingDirectory(QDir::tempPath());
    result.started = QDateTime::currentDateTime();
    process.start(probe, {QString::number(level), directory, kTag, way});
    process.waitForStarted();
    result.pid = process.processId();
    process.waitForFinished(60000);
    const qint64 end = monotonicNanoseconds();
    result.finished = QDateTime::currentDateTime();
    result.exitStatus = process.exitStatus();
    result.exitCode = process.exitCode();
    result.standardError = process.readAllStandardError();
    const QByteArray out = process.readAllStandardOutput();
    const QRegularExpressionMatch crashing = QRegularExpression(QStringLiteral("crashing at (\\d+)")).match(QString::fromUtf8(out));
    if (crashing.hasMatch())
        result.dumpNanoseconds = end - crashing.captured(1).toLongLong();
    return result;
}

QString tst_CrashDump::onlyDump(const QString& directory)
{
    const QStringList files = QDir(directory).entryList(QDir::Files | QDir::Hidden);
    return files.size() == 1 ? QDir(directory).filePath(files.first()) : QString();
}

QString tst_CrashDump::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(120000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

DebuggerView tst_CrashDump::openInDebugger(const QString& dump)
{
    const QString output = run(QStringLiteral("lldb"),
                               {QStringLiteral("--core"), dump, probe, QStringLiteral("-b"), QStringLiteral("-o"),
                                QStringLiteral("thread list"), QStringLiteral("-o"), QStringLiteral("bt")});
    DebuggerView view;
    const int listAt = output.indexOf(QStringLiteral("(lldb) thread list"));
    const int btAt = output.indexOf(QStringLiteral("(lldb) bt"));
    if (listAt < 0 || btAt < listAt)
        return view;
    view.threadList = output.mid(listAt, btAt - listAt);
    view.backtrace = output.mid(btAt);
    view.threadCount = view.threadList.count(QRegularExpression(QStringLiteral("(?m)^[ *] thread #\\d+: tid = ")));
    return view;
}

void tst_CrashDump::writesOneDumpThatTheDebuggerReads_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("frames"); // of that function, at least
    QTest::addColumn<QString>("signal");
    QTest::addColumn<int>("threads");

    const QString segv = QStringLiteral("SIGSEGV");
    const QString overflow = QStringLiteral("crashByStackOverflow");
    const QString nullWrite = QStringLiteral("crashByNullWrite");
    for (int level : {1, 2}) {
        const QByteArray l = "level " + QByteArray::number(level) + ": ";
        QTest::newRow(l + "null write") << "nullwrite" << level << nullWrite << 1 << segv << 3;
        QTest::newRow(l + "abort") << "abort" << level << "crashByAbort" << 1 << "SIGABRT" << 1;
        QTest::newRow(l + "pure virtual call") << "purecall" << level << "crashByPureCall" << 1 << "SIGILL" << 1;
        QTest::newRow(l + "second thread") << "thread" << level << nullWrite << 1 << segv << 2;
        QTest::newRow(l + "stack overflow") << "overflow" << level << overflow << 100 << segv << 1;
        QTest::newRow(l + "stack overflow on a second thread") << "overflow-thread" << level << overflow << 100 << segv << 2;
        QTest::newRow(l + "two threads at once") << "together" << level << "crashTogether" << 1 << segv << 3;
        QTest::newRow(l + "attaching forbidden") << "noattach" << level << nullWrite << 1 << segv << 1;
        QTest::newRow(l + "handler replaced") << "replace" << level << nullWrite << 1 << segv << 1;
        QTest::newRow(l + "protection closed") << "closed" << level << nullWrite << 1 << segv << 1;
    }
}

void tst_CrashDump::writesOneDumpThatTheDebuggerReads()
{
    QFETCH(QString, way);
    QFETCH(int, level);
    QFETCH(QString, function);
    QFETCH(int, frames);
    QFETCH(QString, signal);
    QFETCH(int, threads);

    QTemporaryDir directory;
    const ProbeRun probeRun = runProbe(level, directory.path(), way);
    QCOMPARE(probeRun.exitStatus, QProcess::NormalExit);
    QCOMPARE(probeRun.exitCode, 0);

    const QString dump = onlyDump(directory.path());
    QVERIFY2(!dump.isEmpty(), qPrintable(QDir(directory.path()).entryList(QDir::Files).join(',')));
    const QRegularExpressionMatch name
        = QRegularExpression(QStringLiteral("^CorvaneM1_Probe_1\\.0_(\\d{14})\\.dmp$")).match(QFileInfo(dump).fileName());
    QVERIFY2(name.hasMatch(), qPrintable(dump));
    const QDateTime stamp = QDateTime::fromString(name.captured(1), QStringLiteral("yyyyMMddHHmmss"));
    QVERIFY(stamp >= probeRun.started.addMSecs(-probeRun.started.time().msec()));
    QVERIFY(stamp <= probeRun.finished);
    QCOMPARE(QFileInfo(dump).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    const DebuggerView view = openInDebugger(dump);
    QVERIFY2(view.threadList.contains(QStringLiteral("Process %1 stopped").arg(probeRun.pid)), qPrintable(view.threadList));
    QVERIFY2(view.backtrace.contains(QStringLiteral("* thread #1, stop reason = signal ") + signal), qPrintable(view.backtrace));
    QVERIFY2(view.backtrace.count(QStringLiteral("CrashProbe`::") + function + QLatin1Char('(')) >= frames,
             qPrintable(view.backtrace.left(4000)));
    QCOMPARE(view.threadCount, threads);
    qInfo("%s: %lld bytes, dumped in %.1f ms", QTest::currentDataTag(), QFileInfo(dump).size(),
          probeRun.dumpNanoseconds / 1e6);
}

void tst_CrashDump::fullDumpHoldsTheHeap()
{
    QTemporaryDir normalDirectory;
    QTemporaryDir fullDirectory;
    const ProbeRun normalRun = runProbe(1, normalDirectory.path(), QStringLiteral("heap"));
    const ProbeRun fullRun = runProbe(2, fullDirectory.path(), QStringLiteral("heap"));
    QCOMPARE(normalRun.exitCode, 0);
    QCOMPARE(fullRun.exitCode, 0);

    QFile normal(onlyDump(normalDirectory.path()));
    QFile full(onlyDump(fullDirectory.path()));
    QVERIFY(normal.open(QIODevice::ReadOnly));
    QVERIFY(full.open(QIODevice::ReadOnly));
    const QByteArray normalBytes = normal.readAll();
    const QByteArray fullBytes = full.readAll();
    QVERIFY(normalBytes.startsWith("MDMP"));
    QVERIFY(fullBytes.startsWith("MDMP"));
    QVERIFY(fullBytes.contains("YBR-HEAP-MARKER-" + QByteArray::number(fullRun.pid)));
    QVERIFY(!normalBytes.contains("YBR-HEAP-MARKER-" + QByteArray::number(normalRun.pid)));
    QVERIFY2(normalBytes.size() * 20 < fullBytes.size(),
             qPrintable(QStringLiteral("%1 vs %2").arg(normalBytes.size()).arg(fullBytes.size())));
    qInfo("level 1: %d bytes in %.1f ms; level 2: %d bytes in %.1f ms", normalBytes.size(),
          normalRun.dumpNanoseconds / 1e6, fullBytes.size(), fullRun.dumpNanoseconds / 1e6);
}

void tst_CrashDump::modulesCarryTheirBuildIds()
{
    QTemporaryDir directory;
    QCOMPARE(runProbe(1, directory.path(), QStringLiteral("abort")).exitCode, 0);
    const QString notes = run(QStringLiteral("readelf"), {QStringLiteral("-n"), probe});
    const QRegularExpressionMatch buildId = QRegularExpression(QStringLiteral("Build ID: ([0-9a-f]+)")).match(notes);
    QVERIFY2(buildId.hasMatch(), qPrintable(notes));

    const QString images = run(QStringLiteral("lldb"),
                               {QStringLiteral("--core"), onlyDump(directory.path()), probe, QStringLiteral("-b"),
                                QStringLiteral("-o"), QStringLiteral("image list"), QStringLiteral("-o"),
                                QStringLiteral("memory region $sp")});
    // The region comes from the copy of the process's maps.
    QVERIFY2(QRegularExpression(QStringLiteral("(?m)^\\[0x[0-9a-f]+-0x[0-9a-f]+\\) rw- \\[stack\\]$")).match(images).hasMatch(),
             qPrintable(images));
    const QRegularExpression line(QStringLiteral("(?m)^\\[\\s*\\d+\\] ([0-9A-F-]+) 0x[0-9a-f]+ (\\S+)"));
    QMap<QString, QString> uuids;
    for (auto match = line.globalMatch(images); match.hasNext();) {
        const QRegularExpressionMatch image = match.next();
        uuids.insert(QFileInfo(image.captured(2)).fileName(), image.captured(1).remove(QLatin1Char('-')).toLower());
    }
    QCOMPARE(uuids.value(QStringLiteral("CrashProbe")), buildId.captured(1));
    QVERIFY2(uuids.contains(QStringLiteral("libc.so.6")), qPrintable(images));
    QVERIFY2(uuids.contains(QStringLiteral("libstdc++.so.6.0.30")) || images.contains(QStringLiteral("libstdc++")),
             qPrintable(images));
}

// Streams no debugger shows: read straight from the stream directory.
void tst_CrashDump::linuxRecordsAreCopied()
{
    QTemporaryDir directory;
    const ProbeRun probeRun = runProbe(1, directory.path(), QStringLiteral("abort"));
    QCOMPARE(probeRun.exitCode, 0);
    QFile file(onlyDump(directory.path()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray dump = file.readAll();
    QMap<quint32, QByteArray> streams;
    const auto word = [&](int offset) { return qFromLittleEndian<quint32>(dump.constData() + offset); };
    for (quint32 i = 0; i < word(8); ++i) {
        const int entry = int(word(12) + i * 12);
        streams.insert(word(entry), dump.mid(int(word(entry + 8)), int(word(entry + 4))));
    }
    QCOMPARE(streams.value(0x47670006),
             (QStringList{probe, QStringLiteral("1"), directory.path(), kTag, QStringLiteral("abort")}.join(QChar(0))
              + QChar(0))
                 .toUtf8());
    QVERIFY(streams.value(0x47670004).contains("\nPid:\t" + QByteArray::number(probeRun.pid) + "\n"));
    QVERIFY(streams.value(0x47670007).contains("YBR_BUILD_DIR=" + qgetenv("YBR_BUILD_DIR") + '\0'));
    const QByteArray auxv = streams.value(0x47670008);
    QVERIFY(auxv.size() >= 32 && auxv.size() % 16 == 0);
    QCOMPARE(auxv.right(16), QByteArray(16, '\0'));
    QVERIFY(streams.value(0x47670009).contains(probe.toUtf8() + '\n'));
    QVERIFY(streams.value(0x47670003).startsWith("processor\t: 0\n"));
}

void tst_CrashDump::leavesTheCrashToTheSystem_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("killed");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");

    const QByteArray tooLong = "Crash handler not installed: the dump path would exceed 1023 bytes\n";
    QTest::newRow("level 0") << "nullwrite" << 0 << "dump" << true << SIGSEGV << QByteArray();
    QTest::newRow("missing directory") << "nullwrite" << 1 << "missing/dump" << true << SIGSEGV << QByteArray();
    QTest::newRow("unwritable directory") << "abort" << 2 << "/proc" << true << SIGABRT << QByteArray();
    QTest::newRow("directory of 1024 bytes") << "nullwrite" << 1 << QString(1024, QLatin1Char('d')) << true
                                             << SIGSEGV << tooLong;
    QTest::newRow("path of 1024 bytes") << "nullwrite" << 1 << QString(1024 - 40, QLatin1Char('d')) << true
                                        << SIGSEGV << tooLong;
    QTest::newRow("handler replaced after closing") << "closed-replace" << 1 << "dump" << true << SIGSEGV << QByteArray();
    QTest::newRow("terminate") << "terminate" << 1 << "dump" << false << 1 << QByteArray();
}

void tst_CrashDump::leavesTheCrashToTheSystem()
{
    QFETCH(QString, way);
    QFETCH(int, level);
    QFETCH(QString, directory);
    QFETCH(bool, killed);
    QFETCH(int, status);
    QFETCH(QByteArray, message);

    QTemporaryDir temporary;
    QVERIFY(QDir(temporary.path()).mkdir(QStringLiteral("dump")));
    const QString dumpDirectory = directory.startsWith(QLatin1Char('/')) ? directory : temporary.filePath(directory);
    const ProbeRun probeRun = runProbe(level, dumpDirectory, way);
    QCOMPARE(probeRun.exitStatus, killed ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(probeRun.exitCode, status);
    if (!message.isEmpty())
        QCOMPARE(probeRun.standardError, message);
    QDirIterator files(temporary.path(), QDir::Files, QDirIterator::Subdirectories);
    QVERIFY2(!files.hasNext(), qPrintable(files.hasNext() ? files.next() : QString()));
}

QTEST_GUILESS_MAIN(tst_CrashDump)
#include "tst_crashdump.moc"
