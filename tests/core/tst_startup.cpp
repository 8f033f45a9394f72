#include <QtTest>

namespace {
struct ProbeRun {
    int exitCode = -1;
    QStringList lines;
    QByteArray errors;
};
}

class tst_Startup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sequenceOrder();
    void languageChoosesTranslation_data();
    void languageChoosesTranslation();
    void dumpLevelCreatesDirectory_data();
    void dumpLevelCreatesDirectory();
    void tooFewArguments();

private:
    ProbeRun runProbe(const QString& ini, const QStringList& arguments = { "server", "", "hello" });
    QString dataHome() const { return home->path(); }

    std::unique_ptr<QTemporaryDir> home;
};

void tst_Startup::init()
{
    home = std::make_unique<QTemporaryDir>();
}

ProbeRun tst_Startup::runProbe(const QString& ini, const QStringList& arguments)
{
    QFile config(home->filePath("YConfig.ini"));
    config.open(QIODevice::WriteOnly);
    config.write(ini.toUtf8());
    config.close();

    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("YCONFIG_FILE", config.fileName());
    env.insert("XDG_DATA_HOME", dataHome());
    probe.setProcessEnvironment(env);
    probe.start(QString::fromLocal8Bit(qgetenv("YBR_BUILD_DIR")) + "/startup_probe", arguments);
    ProbeRun run;
    if (!probe.waitForFinished(30000))
        return run;
    run.exitCode = probe.exitCode();
    run.lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.errors = probe.readAllStandardError();
    return run;
}

void tst_Startup::sequenceOrder()
{
    const ProbeRun run = runProbe("[General]\nLanguage=zh\n");
    QCOMPARE(run.exitCode, 0);
    const QStringList expected {
        "startup-hook-1 app=1 name=startup_probe log=0 cancel=Cancel",
        "startup-hook-2 app=1 name=startup_probe log=0 cancel=Cancel",
        QString::fromUtf8("hostlink app=1 name=Corvane M1 log=1 cancel=取消 args=server||hello"),
        QString::fromUtf8("loop app=1 name=Corvane M1 log=1 cancel=取消"),
        QString::fromUtf8("exit-hook app=1 name=Corvane M1 log=1 cancel=取消"),
        QString::fromUtf8("hostlink-destroyed app=1 name=Corvane M1 log=1 cancel=取消"),
        "status=0 app=0",
    };
    QCOMPARE(run.lines, expected);

    const QDir logs(dataHome() + "/Corvane M1/Log/Browser");
    const QStringList files = logs.entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression("^log_\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d\\d\\d\\.txt$").match(files.first()).hasMatch());
    QFile log(logs.filePath(files.first()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().endsWith("   probe \r\n"));
}

void tst_Startup::languageChoosesTranslation_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("cancel");
    const QString chinese = QString::fromUtf8("取消");
    QTest::newRow("EN") << "[General]\nLanguage=EN\n" << "Cancel";
    QTest::newRow("Ru") << "[General]\nLanguage=Ru\n" << "Cancel";
    QTest::newRow("zh") << "[General]\nLanguage=zh\n" << chinese;
    QTest::newRow("other") << "[General]\nLanguage=fr\n" << chinese;
    QTest::newRow("empty") << "[General]\nLanguage=\n" << chinese;
    QTest::newRow("no file content") << "" << chinese;
}

void tst_Startup::languageChoosesTranslation()
{
    QFETCH(QString, ini);
    QFETCH(QString, cancel);
    const ProbeRun run = runProbe(ini);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.size() > 2);
    QVERIFY2(run.lines.at(2).contains(" cancel=" + cancel + " "), qPrintable(run.lines.at(2)));
}

void tst_Startup::dumpLevelCreatesDirectory_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<bool>("created");
    QTest::newRow("absent") << "" << false;
    QTest::newRow("0") << "[General]\nDumpLevel=0\n" << false;
    QTest::newRow("-3") << "[General]\nDumpLevel=-3\n" << false;
    QTest::newRow("garbage") << "[General]\nDumpLevel=abc\n" << false;
}

void tst_Startup::dumpLevelCreatesDirectory()
{
    QFETCH(QString, ini);
    QFETCH(bool, created);
    QCOMPARE(runProbe(ini).exitCode, 0);
    QCOMPARE(QDir(dataHome() + "/Corvane M1/dump").exists(), created);
}

void tst_Startup::tooFewArguments()
{
    const ProbeRun run = runProbe("", { "server", "params" });
    QCOMPARE(run.exitCode, 2);
    const QStringList usage = QString::fromUtf8(run.errors).split('\n').filter(QRegularExpression("^usage: "));
    QCOMPARE(usage.size(), 1);
    QVERIFY(usage.first().endsWith(" <server name> <parameters in base64> <greeting>"));
    QVERIFY(!run.lines.join('\n').contains("hostlink"));
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
