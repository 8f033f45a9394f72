#include <QtTest>

#include "RunnerFixture.h"

// The real runner process: whether it found the engine library shows only
// in its log, and a missing one stops nothing.
class tst_MiniEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void engineLibraryInTheLog_data();
    void engineLibraryInTheLog();
};

void tst_MiniEndToEnd::engineLibraryInTheLog_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("logged");

    const QString runnerDir = QFileInfo(RunnerHost::defaultRunnerPath()).absolutePath();
    QTest::newRow("beside the executable") << QByteArray() << QStringList();
    QTest::newRow("missing") << QByteArray("[MiniEngine]\nLibrary=libnothere.so\nVipLibrary=libnothere.so\n")
                             << QStringList { QStringLiteral("Mini engine not bound: \"%1/libnothere.so does not exist\" ")
                                                  .arg(runnerDir) };
    QTest::newRow("second interface missing")
        << QByteArray("[MiniEngine]\nVipLibrary=/nonexistent/libybrminiengine.so\n")
        << QStringList { "VIP mini engine not bound: \"/nonexistent/libybrminiengine.so does not exist\" " };
}

void tst_MiniEndToEnd::engineLibraryInTheLog()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, logged);

    RunnerFixture f;
    QFile config(f.home.filePath("YConfig.ini"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(settings);
    config.close();
    f.writePage("a.html", RunnerFixture::solidPage("A page", "#336699"));
    QVERIFY(f.start(f.params({ f.http.urlFor("a.html") })));
    QVERIFY(f.host.waitForLoadFinished());
    QCOMPARE(f.host.lastTitle(), QString("A page"));
    QStringList engineLines;
    for (const QString& line : f.logLines()) {
        if (line.contains("engine not bound"))
            engineLines << line;
    }
    QCOMPARE(engineLines, logged);
    f.host.send(Quit);
    QVERIFY(f.host.waitForFinished());
    QCOMPARE(f.host.process().exitCode(), 0);
}

QTEST_MAIN(tst_MiniEndToEnd)
#include "tst_minie2e.moc"
