#include <QtTest>

#include <thread>
#include <vector>

#include "YConfiger.h"

class tst_YConfiger : public QObject
{
    Q_OBJECT

private slots:
    void oneInstanceAcrossThreads();
    void typedReads_data();
    void typedReads();
    void producerEntries();
};

void tst_YConfiger::oneInstanceAcrossThreads()
{
    std::vector<YConfiger*> seen(16, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = YConfiger::instance(); });
    for (std::thread& thread : threads)
        thread.join();
    for (YConfiger* p : seen)
        QCOMPARE(p, YConfiger::instance());
}

void tst_YConfiger::typedReads_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("gles");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("dumpLevel");

    QTest::newRow("all set") << QByteArray("[General]\nUseOpenGLES=true\nLanguage=Ru\nDumpLevel=2\n") << true << "Ru" << 2;
    QTest::newRow("empty file") << QByteArray() << false << "" << 0;
    QTest::newRow("other group only") << QByteArray("[Other]\nDumpLevel=5\n") << false << "" << 0;
    // QVariant reads any text but "", "0" and "false" as true.
    QTest::newRow("garbage values") << QByteArray("[General]\nUseOpenGLES=maybe\nDumpLevel=lots\n") << true << "" << 0;
    QTest::newRow("false text") << QByteArray("[General]\nUseOpenGLES=false\nDumpLevel=-1\n") << false << "" << -1;
    QTest::newRow("not an ini") << QByteArray("\x00\xff\xfe binary", 11) << false << "" << 0;
    QTest::newRow("no file") << QByteArray("<none>") << false << "" << 0;
}

void tst_YConfiger::typedReads()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, gles);
    QFETCH(QString, language);
    QFETCH(int, dumpLevel);

    QTemporaryDir dir;
    const QString path = dir.filePath("YConfig.ini");
    if (ini != "<none>") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    qputenv("YCONFIG_FILE", path.toLocal8Bit());
    YConfiger* config = YConfiger::instance();
    config->loadConfig();
    QCOMPARE(config->configPath(), path);
    QCOMPARE(config->readBool("UseOpenGLES"), gles);
    QCOMPARE(config->readString("Language"), language);
    QCOMPARE(config->readInt("DumpLevel"), dumpLevel);
    QVERIFY(!config->value("NoSuchKey").isValid());
}

void tst_YConfiger::producerEntries()
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

QTEST_GUILESS_MAIN(tst_YConfiger)
#include "tst_yconfiger.moc"
