#include "FrameReader.h"
#include "LocalHttpServer.h"
#include "RunnerHost.h"
#include "ybrowserhost.h"

#include <QtTest>

#include <csignal>
#include <sys/sem.h>
#include <sys/shm.h>

// Qt's System V segment and lock for a QSharedMemory key, found through ftok() on files in the temporary folder.
struct IpcObjects
{
    explicit IpcObjects(const QString& key)
        : segmentFile(file(key, "/qipc_sharedmemory_")), lockFile(file(key, "/qipc_systemsem_"))
        , segmentKey(ftok(QFile::encodeName(segmentFile).constData(), 'Q'))
        , lockKey(ftok(QFile::encodeName(lockFile).constData(), 'Q'))
    {
    }

    static QString file(const QString& key, const char* prefix)
    {
        return QDir::tempPath() + prefix + QString(key).remove(QRegularExpression("[^A-Za-z]"))
               + QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
    }

    bool segmentExists() const { return shmget(segmentKey, 0, 0) >= 0; }
    bool lockExists() const { return semget(lockKey, 0, 0) >= 0; }

    QString segmentFile, lockFile;
    key_t segmentKey, lockKey;
};

static QList<qint64> childProcesses()
{
    QList<qint64> pids;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children("/proc/self/task/" + task + "/children");
        if (children.open(QIODevice::ReadOnly))
            for (const QByteArray& pid : children.readAll().split(' '))
                if (pid.trimmed().toLongLong() > 0)
                    pids << pid.trimmed().toLongLong();
    }
    return pids;
}

class tst_HostLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(pages.start());
        pages.servePage("/", "<html><head><title>Solid</title></head><body style=\"margin:0;background:#3366cc\"></body></html>");
    }

    void cInterfaceRefusesBadStarts_data()
    {
        QTest::addColumn<QByteArray>("runner");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no runner") << QByteArray("/nonexistent/YBrowserRunner") << 0 << 0 << int(YBH_ERROR_START)
                                   << "no runner at /nonexistent/YBrowserRunner (give runner_path or set YBR_RUNNER)";
        QTest::newRow("not a runner") << QByteArray("/bin/false") << 0 << 0 << int(YBH_ERROR_CONNECT)
                                      << "the runner ended with status 1 before it connected";
        QTest::newRow("too wide") << QByteArray() << 7681 << 720 << int(YBH_ERROR_ARGUMENT)
                                  << "page size 7681x720 is outside 1x1 to 7680x4320";
        QTest::newRow("negative height") << QByteArray() << 640 << -1 << int(YBH_ERROR_ARGUMENT)
                                         << "page size 640x-1 is outside 1x1 to 7680x4320";
    }

    void cInterfaceRefusesBadStarts()
    {
        QFETCH(QByteArray, runner);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, status);
        QFETCH(QString, message);
        YbhHost* host = ybh_create();
        YbhStartOptions options { runner.isEmpty() ? nullptr : runner.constData(), nullptr, width, height, nullptr };
        QCOMPARE(ybh_start(host, &options), status);
        QCOMPARE(QString::fromUtf8(ybh_error_message(host)), message);
        ybh_destroy(host);
    }

    void cInterfaceRefusesCommandsWithoutRunner()
    {
        YbhHost* host = ybh_create();
        YbhFrame frame;
        const QVector<int> statuses { ybh_change_url(host, "http://127.0.0.1/"), ybh_set_mute(host, 1), ybh_set_visible(host, 1),
                                      ybh_whole_image(host), ybh_enter_setting(host), ybh_heartbeat(host),
                                      ybh_set_page_size(host, 640, 360), ybh_poll_frame(host, &frame, 0), ybh_stop(host, 0) };
        QCOMPARE(statuses, QVector<int>(statuses.size(), YBH_ERROR_STATE));
        QCOMPARE(QString::fromUtf8(ybh_error_message(host)), QStringLiteral("the runner has not been started"));
        QCOMPARE(ybh_change_url(host, nullptr), int(YBH_ERROR_ARGUMENT));
        QCOMPARE(ybh_poll_frame(host, nullptr, 0), int(YBH_ERROR_ARGUMENT));
        QCOMPARE(ybh_start(nullptr, nullptr), int(YBH_ERROR_ARGUMENT));
        QCOMPARE(ybh_error_message(nullptr), "no handle");
        YbhEvent event;
        QCOMPARE(ybh_next_event(host, &event, 0), int(YBH_NOTHING));
        ybh_destroy(host);
        ybh_destroy(nullptr);
    }

    void cInterfaceDrivesRunner()
    {
        if (!haveRunner())
            QSKIP("built without the runner");
        YbhHost* host = ybh_create();
        const QByteArray url = pages.url().toString().toUtf8();
        const QByteArray key = "tst-hostlibrary-c-" + QByteArray::number(QCoreApplication::applicationPid());
        YbhStartOptions options { nullptr, url.constData(), 640, 360, key.constData() };
        QCOMPARE(ybh_start(host, &options), int(YBH_OK));

        YbhEvent event;
        QCOMPARE(ybh_next_event(host, &event, 0), int(YBH_OK));
        QCOMPARE(event.type, int(YBH_EVENT_CONNECT_DONE));
        QVERIFY2(QByteArray(event.text).startsWith("640X360X"), event.text);
        QCOMPARE(ybh_next_event(host, &event, 60000), int(YBH_OK));
        QCOMPARE(event.type, int(YBH_EVENT_LOAD_FINISHED));
        QCOMPARE(event.title, "Solid");
        QCOMPARE(event.url, url.constData());
        QCOMPARE(QSize(event.width, event.height), QSize(640, 360));
        QVERIFY(event.snapshot);

        YbhFrame frame;
        const auto centre = [&frame] { return QByteArray(reinterpret_cast<const char*>(frame.pixels) + frame.height / 2 * frame.stride + frame.width * 2, 4); };
        QTRY_VERIFY_WITH_TIMEOUT(ybh_poll_frame(host, &frame, 100) == YBH_OK && centre() == QByteArray("\xcc\x66\x33\xff", 4), 30000);
        QCOMPARE(QSize(frame.width, frame.height), QSize(640, 360));
        QCOMPARE(frame.stride, size_t(640 * 4));
        QCOMPARE(frame.whole_frame, 1);
        QCOMPARE(QRect(frame.dirty_x, frame.dirty_y, frame.dirty_width, frame.dirty_height), QRect(0, 0, 640, 360));

        QCOMPARE(ybh_set_page_size(host, 320, 200), int(YBH_OK));
        QTRY_VERIFY_WITH_TIMEOUT(ybh_poll_frame(host, &frame, 100) == YBH_OK && frame.width == 320 && frame.height == 200, 30000);

        QCOMPARE(ybh_stop(host, 15000), int(YBH_OK));
        do
            QCOMPARE(ybh_next_event(host, &event, 15000), int(YBH_OK));
        while (event.type != YBH_EVENT_RUNNER_ENDED);
        QCOMPARE(event.exit_code, 0);
        QCOMPARE(ybh_whole_image(host), int(YBH_ERROR_ENDED));
        QCOMPARE(QString::fromUtf8(ybh_error_message(host)), QStringLiteral("the runner has ended"));
        ybh_destroy(host);
    }

    void runnerEndLeavesNoSegment_data()
    {
        QTest::addColumn<bool>("throughC");
        QTest::addColumn<bool>("reading");
        QTest::addColumn<int>("signal");
        for (bool throughC : { false, true }) {
            const char* via = throughC ? "C interface" : "RunnerHost";
            QTest::addRow("%s, quit", via) << throughC << false << 0;
            QTest::addRow("%s, SIGKILL", via) << throughC << false << int(SIGKILL);
            QTest::addRow("%s, SIGSEGV", via) << throughC << false << int(SIGSEGV);
        }
        QTest::addRow("RunnerHost with a FrameReader, SIGKILL") << false << true << int(SIGKILL);
    }

    void runnerEndLeavesNoSegment()
    {
        QFETCH(bool, throughC);
        QFETCH(bool, reading);
        QFETCH(int, signal);
        if (!haveRunner())
            QSKIP("built without the runner");
        const QString key = QStringLiteral("tst-hostlibrary-%1-%2").arg(QCoreApplication::applicationPid()).arg(QTest::currentDataTag());
        const QByteArray keyBytes = key.toUtf8();
        const QByteArray url = pages.url().toString().toUtf8();
        RunnerHost host;
        YbhHost* cHost = throughC ? ybh_create() : nullptr;
        const QList<qint64> before = childProcesses();
        if (throughC) {
            YbhStartOptions options { nullptr, url.constData(), 320, 200, keyBytes.constData() };
            QCOMPARE(ybh_start(cHost, &options), int(YBH_OK));
        } else {
            BrowserParams params;
            params.pageSize = QSize(320, 200);
            params.sharedMemoryKey = key;
            params.urls = QStringList { QString::fromUtf8(url) };
            params.currentUrl = params.urls.first();
            QVERIFY(host.start(params) && host.waitForConnectDone(60000));
        }
        const IpcObjects ipc(key);
        QVERIFY(ipc.segmentExists());
        QVERIFY(ipc.lockExists());
        auto reader = std::make_unique<FrameReader>(key);
        QVERIFY(!reading || reader->attach());

        if (signal) {
            QList<qint64> children = throughC ? childProcesses() : QList<qint64> { host.process().processId() };
            for (qint64 pid : before)
                children.removeAll(pid);
            QCOMPARE(children.size(), 1);
            QCOMPARE(::kill(pid_t(children.first()), signal), 0);
        }
        if (throughC) {
            if (!signal)
                QCOMPARE(ybh_stop(cHost, 15000), int(YBH_OK));
            YbhEvent event {};
            while (event.type != YBH_EVENT_RUNNER_ENDED)
                QCOMPARE(ybh_next_event(cHost, &event, 30000), int(YBH_OK));
        } else {
            if (!signal)
                host.send(Quit);
            QVERIFY(host.waitForFinished(30000));
        }
        // A host still reading keeps the segment until it lets go.
        QCOMPARE(ipc.segmentExists(), reading);
        reader.reset();
        QVERIFY(!ipc.segmentExists());
        QVERIFY(!ipc.lockExists());
        QVERIFY(!QFile::exists(ipc.segmentFile));
        QVERIFY(!QFile::exists(ipc.lockFile));
        ybh_destroy(cHost);
    }

private:
    bool haveRunner() const { return QFileInfo(RunnerHost::defaultRunnerPath()).isExecutable(); }

    LocalHttpServer pages;
};

QTEST_GUILESS_MAIN(tst_HostLibrary)
#include "tst_hostlibrary.moc"
