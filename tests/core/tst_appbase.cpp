#include <QtTest>

#include <thread>
#include <vector>

#include "LogWriter.h"
#include "YConfiger.h"

#include <sys/stat.h>

namespace {
const QDateTime Start(QDate(2026, 12, 5), QTime(13, 4, 5, 6));
const QByteArray Stamp = "2026-12-05 13:04:05   ";
}

// What every process starts with: the start-up sequence (traced by startup_probe), the settings, the log writer.
class tst_AppBase : public QObject
{
    Q_OBJECT

private slots:
    void init() { home = std::make_unique<QTemporaryDir>(); }

    void sequenceOrder()
    {
        const QString hooked = " app=1 name=startup_probe log=0 cancel=Cancel", started = QString::fromUtf8(" app=1 name=Corvane M1 log=1 cancel=取消");
        QCOMPARE(runProbe("[General]\nLanguage=zh\n"),
                 (QStringList { "startup-hook-1" + hooked, "startup-hook-2" + hooked,
                                "hostlink" + started + QString::fromUtf8(" args=server||hello gles=0 tab=新建标签"), "loop" + started,
                                "exit-hook" + started, "hostlink-destroyed" + started, "status=0 app=0" }));
        QCOMPARE(exitCode, 0);
        const QDir logs(home->filePath("Corvane M1/Log/Browser"));
        QFile log(logs.filePath(logs.entryList(QDir::Files).value(0)));
        QVERIFY(log.open(QIODevice::ReadOnly) && log.readAll().endsWith("   probe \r\n"));
    }

    void settingsAtStartup_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("cancel");
        QTest::addColumn<bool>("dumpDirectory");
        QTest::addColumn<bool>("gles");
        QTest::addColumn<QString>("tab");

        // Qt's own "Cancel" tells the Chinese catalogue from none; the runner's own "新建标签" tells the files apart.
        const QString zh = QString::fromUtf8("取消"), tab = QString::fromUtf8("新建标签"), ru = QString::fromUtf8("Новая вкладка");
        QTest::newRow("EN, GLES") << QByteArray("[General]\nLanguage=EN\nUseOpenGLES=true\n") << "Cancel" << false << true << "New Tab";
        QTest::newRow("Ru, dump level 1") << QByteArray("[General]\nLanguage=Ru\nDumpLevel=1\n") << "Cancel" << true << false << ru;
        QTest::newRow("other, dump level 0") << QByteArray("[General]\nLanguage=fr\nDumpLevel=0\n") << zh << false << false << tab;
        QTest::newRow("empty, dump level -3") << QByteArray("[General]\nLanguage=\nDumpLevel=-3\nUseOpenGLES=0\n") << zh << false << false << tab;
        // QVariant reads any text but "", "0" and "false" as true.
        QTest::newRow("garbage values") << QByteArray("[General]\nDumpLevel=abc\nUseOpenGLES=maybe\n") << zh << false << true << tab;
        QTest::newRow("other group only") << QByteArray("[Other]\nLanguage=EN\nDumpLevel=2\n") << zh << false << false << tab;
        QTest::newRow("not an ini") << QByteArray("\x00\xff\xfe binary", 11) << zh << false << false << tab;
        QTest::newRow("no file") << QByteArray("<none>") << zh << false << false << tab;
    }

    void settingsAtStartup()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, cancel);
        QFETCH(bool, dumpDirectory);
        QFETCH(bool, gles);
        QFETCH(QString, tab);
        const QString hostLink = runProbe(ini).value(2);
        QCOMPARE(exitCode, 0);
        QVERIFY2(hostLink.contains(" cancel=" + cancel + " ") && hostLink.endsWith(QStringLiteral(" gles=%1 tab=%2").arg(gles).arg(tab)),
                 qPrintable(hostLink));
        QCOMPARE(QDir(home->filePath("Corvane M1/dump")).exists(), dumpDirectory);
    }

    // The usage line comes before any start-up hook (no web engine for a runner run by hand) and needs no display.
    void tooFewArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");

        QTest::newRow("none") << QStringList() << true;
        QTest::newRow("none, no display") << QStringList() << false;
        QTest::newRow("two") << QStringList{"server", "params"} << true;
        QTest::newRow("three with a Qt option among them") << QStringList{"-reverse", "server", "params"} << true;
    }

    void tooFewArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        const QByteArray savedDisplay = qgetenv("DISPLAY");
        if (!display)
            qunsetenv("DISPLAY");
        const QStringList trace = runProbe("", arguments);
        qputenv("DISPLAY", savedDisplay);
        QCOMPARE(trace, QStringList{"status=2 app=0"});
        QCOMPARE(exitCode, 2);
        const QStringList usage = QString::fromUtf8(errors).split('\n').filter(QRegularExpression("^usage: "));
        QVERIFY2(usage.size() == 1 && usage.first().endsWith(" <server name> <parameters in base64> <greeting>"), errors);
    }

    void oneConfigerAcrossThreads()
    {
        std::vector<YConfiger*> seen(16, nullptr);
        std::vector<std::thread> threads;
        for (size_t i = 0; i < seen.size(); ++i)
            threads.emplace_back([&seen, i] { seen[i] = YConfiger::instance(); });
        for (size_t i = 0; i < seen.size(); ++i) {
            threads[i].join();
            QCOMPARE(seen[i], YConfiger::instance());
        }
    }

    void configerProducerEntries()
    {
        YConfiger* config = YConfiger::instance();
        int calls = 0;
        config->setProducer("Produced", [&calls] { return QVariant(++calls * 10); });
        QCOMPARE(config->readInt("Produced"), 10);
        QCOMPARE(config->readInt("Produced"), 20);
        config->setValue("Produced", 7);
        QCOMPARE(config->readInt("Produced"), 7);
        QCOMPARE(calls, 2);
    }

    // Calls outside the writer's life are dropped; the file is its owner's alone whatever the umask (it holds URLs).
    void logCallsBecomeLines()
    {
        const QString path = home->path() + "/Log/Browser/log_05_13_04_05_006.txt";
        log("before");
        const mode_t saved = umask(0);
        {
            LogWriter writer(home->path() + "/Log/Browser/", [] { return Start; }, &LogWriter::fileCreationTime);
            writer.write(QStringLiteral("first"));
            log("bong");
            log("Receive SetMute Message : ", true);
            log("Receive ChangeUrl Message : ", QStringLiteral("a\"b\\c"));
            log("心跳终止，退出程序");
            log("title", QString::fromUtf8("标题"));
        }
        umask(saved);
        log("after");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), Stamp + "first\r\n" + Stamp + "bong \r\n" + Stamp + "Receive SetMute Message :  true \r\n"
                                    + Stamp + "Receive ChangeUrl Message :  \"a\\\"b\\\\c\" \r\n"
                                    + Stamp + QString::fromUtf8("心跳终止，退出程序 ").toLocal8Bit() + "\r\n"
                                    + Stamp + QString::fromUtf8("title \"标题\" ").toLocal8Bit() + "\r\n");
        QCOMPARE(QDir(home->path() + "/Log/Browser").entryList(QDir::Files), QStringList{"log_05_13_04_05_006.txt"});
        QCOMPARE(file.permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    void oldLogsRemoved_data()
    {
        QTest::addColumn<QList<QDateTime>>("created"); // oldest modified first
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QList<bool>>("kept");

        const QDateTime now = Start, lateEvening(QDate(2026, 11, 20), QTime(23, 59));
        QTest::newRow("10, 9 and 2 days") << QList<QDateTime>{now.addDays(-10), now.addDays(-9), now.addDays(-2)} << now
                                          << QList<bool>{false, false, true};
        QTest::newRow("walk stops at the first young file") << QList<QDateTime>{now.addDays(-3), now.addDays(-30)} << now
                                                            << QList<bool>{true, true};
        QTest::newRow("eight midnights in seven days and two minutes")
            << QList<QDateTime>{lateEvening} << lateEvening.addDays(7).addSecs(120) << QList<bool>{false};
        QTest::newRow("seven midnights") << QList<QDateTime>{lateEvening} << lateEvening.addDays(7) << QList<bool>{true};
    }

    void oldLogsRemoved()
    {
        QFETCH(QList<QDateTime>, created);
        QFETCH(QDateTime, now);
        QFETCH(QList<bool>, kept);

        const QDir dir(home->path());
        QHash<QString, QDateTime> creation;
        for (int i = 0; i < created.size(); ++i) {
            QFile file(dir.filePath(QStringLiteral("file%1.txt").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush());
            QVERIFY(file.setFileTime(now.addSecs(-3600 * (created.size() - i)), QFileDevice::FileModificationTime));
            creation.insert(QFileInfo(file).fileName(), created.at(i));
        }
        LogWriter writer(dir.path(), [now] { return now; },
                         [&creation](const QFileInfo& info) { return creation.value(info.fileName()); });
        for (int i = 0; i < created.size(); ++i)
            QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("file%1.txt").arg(i))), kept.at(i));
    }

private:
    QStringList runProbe(const QByteArray& ini, const QStringList& arguments = {"server", "", "hello"})
    {
        QFile config(home->filePath("YConfig.ini"));
        if (ini != "<none>" && config.open(QIODevice::WriteOnly))
            config.write(ini);
        config.close();
        qputenv("YCONFIG_FILE", config.fileName().toLocal8Bit());
        qputenv("XDG_DATA_HOME", home->path().toLocal8Bit());
        QProcess probe;
        probe.start(qEnvironmentVariable("YBR_BUILD_DIR") + "/startup_probe", arguments);
        exitCode = probe.waitForFinished(30000) ? probe.exitCode() : -1;
        errors = probe.readAllStandardError();
        return QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    std::unique_ptr<QTemporaryDir> home;
    int exitCode = -1;
    QByteArray errors;
};

QTEST_GUILESS_MAIN(tst_AppBase)
#include "tst_appbase.moc"
