#include "CrashSupport.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <csignal>

namespace {

const QString kTag = QStringLiteral("CorvaneM1_Probe_1.0");

struct ProbeRun {
    QProcess::ExitStatus exitStatus = QProcess::NormalExit;
    int exitCode = -1;
    qint64 pid = 0;
    double dumpMilliseconds = -1;
    QDateTime started;
    QDateTime finished;
    QByteArray dump;
    QString dumpPath;
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
    void modulesAndProcessRecords();
    void leavesTheCrashToTheSystem_data();
    void leavesTheCrashToTheSystem();

private:
    ProbeRun runProbe(int level, const QString& directory, const QString& way);

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
    const QRegularExpressionMatch crashing = QRegularExpression(QStringLiteral("crashing at (\\d+)"))
                                                 .match(QString::fromUtf8(process.readAllStandardOutput()));
    if (crashing.hasMatch())
        result.dumpMilliseconds = (end - crashing.captured(1).toLongLong()) / 1e6;
    result.dumpPath = onlyFile(directory);
    QFile dump(result.dumpPath);
    if (dump.open(QIODevice::ReadOnly))
        result.dump = dump.readAll();
    return result;
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
    const ProbeRun run = runProbe(level, directory.path(), way);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(!run.dumpPath.isEmpty(), qPrintable(QDir(directory.path()).entryList(QDir::Files).join(',')));
    const QRegularExpressionMatch name = QRegularExpression(QStringLiteral("^CorvaneM1_Probe_1\\.0_(\\d{14})\\.dmp$"))
                                             .match(QFileInfo(run.dumpPath).fileName());
    QVERIFY2(name.hasMatch(), qPrintable(run.dumpPath));
    const QDateTime stamp = QDateTime::fromString(name.captured(1), QStringLiteral("yyyyMMddHHmmss"));
    QVERIFY(stamp >= run.started.addMSecs(-run.started.time().msec()));
    QVERIFY(stamp <= run.finished);
    QCOMPARE(QFileInfo(run.dumpPath).permissions(),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

    const QString output = debuggerOutput(run.dumpPath, probe, {QStringLiteral("thread list"), QStringLiteral("bt")});
    const int listAt = output.indexOf(QStringLiteral("(lldb) thread list"));
    const int btAt = output.indexOf(QStringLiteral("(lldb) bt"));
    QVERIFY2(listAt >= 0 && btAt > listAt, qPrintable(output));
    const QString threadList = output.mid(listAt, btAt - listAt);
    const QString backtrace = output.mid(btAt);
    QVERIFY2(threadList.contains(QStringLiteral("Process %1 stopped").arg(run.pid)), qPrintable(threadList));
    QVERIFY2(backtrace.contains(QStringLiteral("* thread #1, stop reason = signal ") + signal), qPrintable(backtrace));
    QVERIFY2(backtrace.count(QStringLiteral("CrashProbe`::") + function + QLatin1Char('(')) >= frames,
             qPrintable(backtrace.left(4000)));
    QCOMPARE(threadCount(threadList), threads);
    qInfo("%s: %d bytes, dumped in %.1f ms", QTest::currentDataTag(), run.dump.size(), run.dumpMilliseconds);
}

void tst_CrashDump::fullDumpHoldsTheHeap()
{
    QTemporaryDir normalDirectory;
    QTemporaryDir fullDirectory;
    const ProbeRun normal = runProbe(1, normalDirectory.path(), QStringLiteral("heap"));
    const ProbeRun full = runProbe(2, fullDirectory.path(), QStringLiteral("heap"));
    QCOMPARE(normal.exitCode, 0);
    QCOMPARE(full.exitCode, 0);
    QVERIFY(normal.dump.startsWith("MDMP"));
    QVERIFY(full.dump.startsWith("MDMP"));
    QVERIFY(full.dump.contains("YBR-HEAP-MARKER-" + QByteArray::number(full.pid)));
    QVERIFY(!normal.dump.contains("YBR-HEAP-MARKER-" + QByteArray::number(normal.pid)));
    QVERIFY2(normal.dump.size() * 20 < full.dump.size(),
             qPrintable(QStringLiteral("%1 vs %2").arg(normal.dump.size()).arg(full.dump.size())));
    qInfo("level 1: %d bytes in %.1f ms; level 2: %d bytes in %.1f ms", normal.dump.size(), normal.dumpMilliseconds,
          full.dump.size(), full.dumpMilliseconds);
}

// The module list as the debugger reads it, and the Linux streams no debugger
// shows, read straight from the stream directory.
void tst_CrashDump::modulesAndProcessRecords()
{
    QTemporaryDir directory;
    const ProbeRun run = runProbe(1, directory.path(), QStringLiteral("abort"));
    QCOMPARE(run.exitCode, 0);
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-n"), probe});
    readelf.waitForFinished();
    const QString notes = QString::fromUtf8(readelf.readAllStandardOutput());
    const QRegularExpressionMatch buildId = QRegularExpression(QStringLiteral("Build ID: ([0-9a-f]+)")).match(notes);
    QVERIFY2(buildId.hasMatch(), qPrintable(notes));

    const QString images = debuggerOutput(run.dumpPath, probe, {QStringLiteral("image list"),
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
    QVERIFY2(images.contains(QStringLiteral("libstdc++")), qPrintable(images));

    QMap<quint32, QByteArray> streams;
    const auto word = [&](int offset) { return qFromLittleEndian<quint32>(run.dump.constData() + offset); };
    for (quint32 i = 0; i < word(8); ++i) {
        const int entry = int(word(12) + i * 12);
        streams.insert(word(entry), run.dump.mid(int(word(entry + 8)), int(word(entry + 4))));
    }
    QCOMPARE(streams.value(0x47670006),
             (QStringList{probe, QStringLiteral("1"), directory.path(), kTag, QStringLiteral("abort")}.join(QChar(0))
              + QChar(0)).toUtf8());
    QVERIFY(streams.value(0x47670004).contains("\nPid:\t" + QByteArray::number(run.pid) + "\n"));
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
    QTest::addColumn<QString>("tag");
    QTest::addColumn<bool>("killed");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("message");

    const QByteArray tooLong = "Crash handler not installed: the dump path would exceed 1023 bytes\n";
    const QString dump = QStringLiteral("dump");
    QTest::newRow("level 0") << "nullwrite" << 0 << dump << kTag << true << SIGSEGV << QByteArray();
    QTest::newRow("missing directory") << "nullwrite" << 1 << "missing/dump" << kTag << true << SIGSEGV << QByteArray();
    QTest::newRow("unwritable directory") << "abort" << 2 << "/proc" << kTag << true << SIGABRT << QByteArray();
    QTest::newRow("directory of 1024 bytes") << "nullwrite" << 1 << QString(1024, QLatin1Char('d')) << kTag << true
                                             << SIGSEGV << tooLong;
    QTest::newRow("path of 1024 bytes") << "nullwrite" << 1 << QString(1024 - 40, QLatin1Char('d')) << kTag << true
                                        << SIGSEGV << tooLong;
    QTest::newRow("tag of 1024 bytes") << "abort" << 1 << dump << QString(1024, QLatin1Char('t')) << true << SIGABRT
                                       << tooLong;
    QTest::newRow("handler replaced after closing") << "closed-replace" << 1 << dump << kTag << true << SIGSEGV
                                                    << QByteArray();
    QTest::newRow("terminate") << "terminate" << 1 << dump << kTag << false << 1 << QByteArray();
}

void tst_CrashDump::leavesTheCrashToTheSystem()
{
    QFETCH(QString, way);
    QFETCH(int, level);
    QFETCH(QString, directory);
    QFETCH(QString, tag);
    QFETCH(bool, killed);
    QFETCH(int, status);
    QFETCH(QByteArray, message);

    QTemporaryDir temporary;
    QVERIFY(QDir(temporary.path()).mkdir(QStringLiteral("dump")));
    const QString dumpDirectory = directory.startsWith(QLatin1Char('/')) ? directory : temporary.filePath(directory);
    NoCoreProcess process;
    process.start(probe, {QString::number(level), dumpDirectory, tag, way});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    if (!message.isEmpty())
        QCOMPARE(process.readAllStandardError(), message);
    QDirIterator files(temporary.path(), QDir::Files, QDirIterator::Subdirectories);
    QVERIFY2(!files.hasNext(), qPrintable(files.hasNext() ? files.next() : QString()));
}

QTEST_GUILESS_MAIN(tst_CrashDump)
#include "tst_crashdump.moc"
