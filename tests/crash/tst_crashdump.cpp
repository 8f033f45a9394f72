#include "CrashSupport.h"

#include <QtTest>

#include <csignal>

namespace {

const QString kTag = QStringLiteral("CorvaneM1_Probe_1.0");

struct ProbeRun {
    int status = -1; // the exit code, or minus the signal that ended the probe
    qint64 pid = 0;
    QDateTime started, finished;
    QByteArray errors;
    QString dumpPath;
    QByteArray dump;
};

} // namespace

class tst_CrashDump : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        forbidCoreFiles();
        // Half hours and summer time: the name of a dump is in local time.
        qputenv("TZ", "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0");
        probe = qEnvironmentVariable("YBR_BUILD_DIR") + QStringLiteral("/tests/CrashProbe");
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("lldb")).isEmpty(), "lldb is not installed");
        QProcess readelf;
        readelf.start(QStringLiteral("readelf"), {QStringLiteral("-n"), probe});
        readelf.waitForFinished();
        buildId = QRegularExpression(QStringLiteral("Build ID: ([0-9a-f]+)"))
                      .match(QString::fromUtf8(readelf.readAllStandardOutput())).captured(1);
    }

    void writesOneDumpThatTheDebuggerReads_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<int>("threads");

        const QString segv = "SIGSEGV", overflow = "crashByStackOverflow", nullWrite = "crashByNullWrite";
        for (int level : {1, 2}) {
            const QByteArray l = "level " + QByteArray::number(level) + ": ";
            QTest::newRow(l + "null write") << "nullwrite" << level << nullWrite << segv << 3;
            QTest::newRow(l + "abort") << "abort" << level << "crashByAbort" << "SIGABRT" << 1;
            QTest::newRow(l + "pure virtual call") << "purecall" << level << "crashByPureCall" << "SIGILL" << 1;
            QTest::newRow(l + "second thread") << "thread" << level << nullWrite << segv << 2;
            QTest::newRow(l + "stack overflow") << "overflow" << level << overflow << segv << 1;
            QTest::newRow(l + "stack overflow on a second thread") << "overflow-thread" << level << overflow << segv << 2;
            QTest::newRow(l + "two threads at once") << "together" << level << "crashTogether" << segv << 3;
            QTest::newRow(l + "attaching forbidden") << "noattach" << level << nullWrite << segv << 1;
            QTest::newRow(l + "handler replaced") << "replace" << level << nullWrite << segv << 1;
            QTest::newRow(l + "protection closed") << "closed" << level << nullWrite << segv << 1;
        }
    }

    void writesOneDumpThatTheDebuggerReads()
    {
        QFETCH(QString, way);
        QFETCH(int, level);
        QFETCH(QString, function);
        QFETCH(QString, signal);
        QFETCH(int, threads);

        QTemporaryDir directory;
        const ProbeRun run = runProbe(level, directory.path(), kTag, way);
        QCOMPARE(run.status, 0);
        const QRegularExpressionMatch name = QRegularExpression(QStringLiteral("^CorvaneM1_Probe_1\\.0_(\\d{14})\\.dmp$"))
                                                 .match(QFileInfo(run.dumpPath).fileName());
        QVERIFY2(name.hasMatch(), qPrintable(run.dumpPath));
        const QDateTime stamp = QDateTime::fromString(name.captured(1), QStringLiteral("yyyyMMddHHmmss"));
        QVERIFY(stamp >= run.started.addMSecs(-run.started.time().msec()) && stamp <= run.finished);
        QCOMPARE(QFileInfo(run.dumpPath).permissions(),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

        // Their output may interleave, so each check looks for lines only its command prints.
        const QString output = debuggerOutput(run.dumpPath, probe, {"thread list", "bt", "image list"});
        QVERIFY2(output.contains(QStringLiteral("Process %1 stopped").arg(run.pid)), qPrintable(output));
        QCOMPARE(threadCount(output), threads);
        QVERIFY2(output.contains(QStringLiteral("* thread #1, stop reason = signal ") + signal), qPrintable(output));
        const int frames = function == QLatin1String("crashByStackOverflow") ? 100 : 1;
        QVERIFY2(output.count(QStringLiteral("CrashProbe`::") + function + QLatin1Char('(')) >= frames,
                 qPrintable(output.left(4000)));
        const QString uuid = QRegularExpression(QStringLiteral("(?m)^\\[\\s*\\d+\\] ([0-9A-F-]+) 0x[0-9a-f]+ \\S+/CrashProbe\\s"))
                                 .match(output).captured(1);
        QCOMPARE(uuid.toLower().remove(QLatin1Char('-')), buildId);
        QVERIFY2(output.contains(QStringLiteral("/libc.so.6")) && output.contains(QStringLiteral("/libstdc++")), qPrintable(output));
        checkProcessRecords(run, {probe, QString::number(level), directory.path(), kTag, way});

        QCOMPARE(run.dump.contains("YBR-HEAP-MARKER-" + QByteArray::number(run.pid)), level == 2);
        if (level == 1)
            normalSizes.insert(way, run.dump.size());
        else if (normalSizes.contains(way))
            QVERIFY2(normalSizes.value(way) * 20 < run.dump.size(), qPrintable(QString::number(normalSizes.value(way))));
        qInfo("%s: %d bytes", QTest::currentDataTag(), run.dump.size());
    }

    void leavesTheCrashToTheSystem_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("errors");

        const QByteArray tooLong = "Crash handler not installed: the dump path would exceed 1023 bytes\n";
        QTest::newRow("missing directory") << "nullwrite" << "missing/dump" << kTag << -SIGSEGV << QByteArray();
        QTest::newRow("unwritable directory") << "abort" << "/proc" << kTag << -SIGABRT << QByteArray();
        QTest::newRow("path of 1024 bytes") << "nullwrite" << QString(1024 - 40, QLatin1Char('d')) << kTag << -SIGSEGV
                                            << tooLong;
        QTest::newRow("tag of 1024 bytes") << "abort" << "dump" << QString(1024, QLatin1Char('t')) << -SIGABRT << tooLong;
        QTest::newRow("handler replaced after closing") << "closed-replace" << "dump" << kTag << -SIGSEGV << QByteArray();
        QTest::newRow("terminate") << "terminate" << "dump" << kTag << 1 << QByteArray();
    }

    void leavesTheCrashToTheSystem()
    {
        QFETCH(QString, way);
        QFETCH(QString, directory);
        QFETCH(QString, tag);
        QFETCH(int, status);
        QFETCH(QByteArray, errors);

        QTemporaryDir temporary;
        QVERIFY(QDir(temporary.path()).mkdir(QStringLiteral("dump")));
        const ProbeRun run = runProbe(1, directory.startsWith(QLatin1Char('/')) ? directory : temporary.filePath(directory),
                                      tag, way);
        QCOMPARE(run.status, status);
        QCOMPARE(run.errors, errors);
        QDirIterator files(temporary.path(), QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!files.hasNext(), qPrintable(files.hasNext() ? files.next() : QString()));
    }

private:
    ProbeRun runProbe(int level, const QString& directory, const QString& tag, const QString& way)
    {
        ProbeRun result;
        QProcess process;
        result.started = QDateTime::currentDateTime();
        process.start(probe, {QString::number(level), directory, tag, way});
        process.waitForStarted();
        result.pid = process.processId();
        process.waitForFinished(60000);
        result.finished = QDateTime::currentDateTime();
        result.status = process.exitStatus() == QProcess::CrashExit ? -process.exitCode() : process.exitCode();
        result.errors = process.readAllStandardError();
        result.dumpPath = onlyFile(directory);
        QFile dump(result.dumpPath);
        if (dump.open(QIODevice::ReadOnly))
            result.dump = dump.readAll();
        return result;
    }

    // The Linux streams no debugger shows, read straight from the stream directory.
    void checkProcessRecords(const ProbeRun& run, const QStringList& arguments)
    {
        QMap<quint32, QByteArray> streams;
        const auto word = [&](int offset) {
            return offset + 4 <= run.dump.size() ? qFromLittleEndian<quint32>(run.dump.constData() + offset) : 0u;
        };
        for (quint32 i = 0; i < word(8); ++i) {
            const int entry = int(word(12) + i * 12);
            streams.insert(word(entry), run.dump.mid(int(word(entry + 8)), int(word(entry + 4))));
        }
        QCOMPARE(streams.value(0x47670006), (arguments.join(QChar(0)) + QChar(0)).toUtf8());
        QVERIFY(streams.value(0x47670004).contains("\nPid:\t" + QByteArray::number(run.pid) + "\n"));
        QVERIFY(streams.value(0x47670007).contains("YBR_BUILD_DIR=" + qgetenv("YBR_BUILD_DIR") + '\0'));
        const QByteArray auxv = streams.value(0x47670008);
        QVERIFY(auxv.size() >= 32 && auxv.size() % 16 == 0 && auxv.endsWith(QByteArray(16, '\0')));
        QVERIFY(streams.value(0x47670009).contains(probe.toUtf8() + '\n'));
        QVERIFY(streams.value(0x47670003).startsWith("processor\t: 0\n"));
    }

    QString probe, buildId;
    QHash<QString, int> normalSizes;
};

QTEST_GUILESS_MAIN(tst_CrashDump)
#include "tst_crashdump.moc"
