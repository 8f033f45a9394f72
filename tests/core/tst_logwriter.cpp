#include <QtTest>

#include "LogWriter.h"

#include <sys/stat.h>

namespace {
const QDateTime Start(QDate(2026, 12, 5), QTime(13, 4, 5, 6));

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void touch(const QString& path, const QDateTime& modified)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.flush();
    QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
}
}

class tst_LogWriter : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat();
    void logCalls_data();
    void logCalls();
    void callsWithoutWriterAreDropped();
    void emptyDirectoryWritesNothing();
    void fileForOwnerOnly_data();
    void fileForOwnerOnly();
    void oldFilesRemoved_data();
    void oldFilesRemoved();
};

void tst_LogWriter::lineFormat()
{
    QTemporaryDir dir;
    LogWriter writer(dir.path() + "/Log/Browser/", [] { return Start; }, &LogWriter::fileCreationTime);
    QCOMPARE(QFileInfo(writer.path()).fileName(), QStringLiteral("log_05_13_04_05_006.txt"));
    writer.write(QStringLiteral("first"));
    writer.write(QStringLiteral("second"));
    QCOMPARE(readAll(writer.path()), QByteArray("2026-12-05 13:04:05   first\r\n2026-12-05 13:04:05   second\r\n"));
}

void tst_LogWriter::logCalls_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("text") << 0 << QByteArray("bong ");
    QTest::newRow("bool") << 1 << QByteArray("Receive SetMute Message :  true ");
    QTest::newRow("quoted string") << 2 << QByteArray("Receive ChangeUrl Message :  \"a\\\"b\\\\c\" ");
    QTest::newRow("chinese") << 3 << QString::fromUtf8("心跳终止，退出程序 ").toLocal8Bit();
    QTest::newRow("chinese value") << 4 << QString::fromUtf8("title \"标题\" ").toLocal8Bit();
}

void tst_LogWriter::logCalls()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    LogWriter writer(dir.path(), [] { return Start; }, &LogWriter::fileCreationTime);
    switch (kind) {
    case 0: log("bong"); break;
    case 1: log("Receive SetMute Message : ", true); break;
    case 2: log("Receive ChangeUrl Message : ", QStringLiteral("a\"b\\c")); break;
    case 3: log("心跳终止，退出程序"); break;
    case 4: log("title", QString::fromUtf8("标题")); break;
    }
    QCOMPARE(readAll(writer.path()), QByteArray("2026-12-05 13:04:05   ") + expected + "\r\n");
}

void tst_LogWriter::callsWithoutWriterAreDropped()
{
    QTemporaryDir dir;
    QVERIFY(!LogWriter::currentLogWriter());
    log("before");
    QString path;
    {
        LogWriter writer(dir.path(), [] { return Start; }, &LogWriter::fileCreationTime);
        QCOMPARE(LogWriter::currentLogWriter(), &writer);
        path = writer.path();
        log("during");
    }
    QVERIFY(!LogWriter::currentLogWriter());
    log("after");
    QCOMPARE(readAll(path), QByteArray("2026-12-05 13:04:05   during \r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

void tst_LogWriter::emptyDirectoryWritesNothing()
{
    LogWriter writer(QString(), [] { return Start; }, &LogWriter::fileCreationTime);
    QVERIFY(writer.path().isEmpty());
    QCOMPARE(LogWriter::currentLogWriter(), &writer);
    log("nowhere");
}

void tst_LogWriter::fileForOwnerOnly_data()
{
    QTest::addColumn<int>("mask");
    QTest::newRow("umask 022") << 022;
    QTest::newRow("umask 0") << 0;
    QTest::newRow("umask 077") << 077;
}

void tst_LogWriter::fileForOwnerOnly()
{
    QFETCH(int, mask);
    QTemporaryDir dir;
    const mode_t saved = umask(mode_t(mask));
    LogWriter writer(dir.path(), [] { return Start; }, &LogWriter::fileCreationTime);
    writer.write(QStringLiteral("first"));
    writer.write(QStringLiteral("second"));
    umask(saved);
    struct stat info {};
    QCOMPARE(stat(QFile::encodeName(writer.path()).constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0600));
    QCOMPARE(readAll(writer.path()), QByteArray("2026-12-05 13:04:05   first\r\n2026-12-05 13:04:05   second\r\n"));
}

void tst_LogWriter::oldFilesRemoved_data()
{
    QTest::addColumn<QList<QDateTime>>("created");  // oldest modified first
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QList<bool>>("kept");

    const QDateTime now = Start;
    QTest::newRow("10, 9 and 2 days") << QList<QDateTime> { now.addDays(-10), now.addDays(-9), now.addDays(-2) }
                                      << now << QList<bool> { false, false, true };
    QTest::newRow("all younger than 8 days") << QList<QDateTime> { now.addDays(-7), now.addDays(-1) }
                                             << now << QList<bool> { true, true };
    QTest::newRow("walk stops at the first young file")
        << QList<QDateTime> { now.addDays(-3), now.addDays(-30) } << now << QList<bool> { true, true };
    const QDateTime lateEvening(QDate(2026, 11, 20), QTime(23, 59));
    QTest::newRow("eight midnights in seven days and two minutes")
        << QList<QDateTime> { lateEvening } << lateEvening.addDays(7).addSecs(120) << QList<bool> { false };
    QTest::newRow("seven midnights") << QList<QDateTime> { lateEvening } << lateEvening.addDays(7)
                                     << QList<bool> { true };
}

void tst_LogWriter::oldFilesRemoved()
{
    QFETCH(QList<QDateTime>, created);
    QFETCH(QDateTime, now);
    QFETCH(QList<bool>, kept);

    QTemporaryDir dir;
    QHash<QString, QDateTime> creation;
    for (int i = 0; i < created.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("file%1.txt").arg(i));
        touch(path, now.addSecs(-3600 * (created.size() - i)));
        creation.insert(QFileInfo(path).fileName(), created.at(i));
    }
    LogWriter writer(dir.path(), [now] { return now; },
                     [&creation](const QFileInfo& info) { return creation.value(info.fileName()); });
    for (int i = 0; i < created.size(); ++i)
        QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("file%1.txt").arg(i))), kept.at(i));
}

QTEST_GUILESS_MAIN(tst_LogWriter)
#include "tst_logwriter.moc"
