#include <QtTest>

#include "BrowserParams.h"
#include "FrameCodec.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

namespace {
struct Example {
    QString kind, stated, block, text; // kind: "message" or "record"
};

QList<Example> examples()
{
    QFile file(qEnvironmentVariable("YBR_SOURCE_DIR") + "/docs/host-protocol.md");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression line(QStringLiteral("^(message|record|block|base64): +(.*)$"));
    QList<Example> found;
    bool inBlock = false;
    for (const QString& text : QString::fromUtf8(file.readAll()).split('\n')) {
        if (text.startsWith(QLatin1String("```")))
            inBlock = !inBlock;
        const QRegularExpressionMatch match = line.match(text);
        if (!inBlock || !match.hasMatch())
            continue;
        const QString key = match.captured(1), value = match.captured(2).trimmed();
        if (key == "message" || key == "record")
            found.append({ key, value, QString(), QString() });
        else if (!found.isEmpty() && key == "block")
            found.last().block = value;
        else if (!found.isEmpty())
            found.last().text = value;
    }
    return found;
}

QString quoted(const QString& text) { return text.isNull() ? QStringLiteral("null") : '"' + text + '"'; }

QString describe(const BrowserParams& p)
{
    const QRect& r = p.windowRect;
    QStringList urls;
    for (const QString& url : p.urls)
        urls << quoted(url);
    return QStringLiteral("{windowRect %1,%2 %3x%4, maximized %5, urls [%6], currentUrl %7, sharedMemoryKey %8, "
                          "hidden %9, pageSize %10x%11}")
        .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())
        .arg(p.maximized ? "true" : "false", urls.join(", "), quoted(p.currentUrl), quoted(p.sharedMemoryKey),
             p.hidden ? "true" : "false")
        .arg(p.pageSize.width()).arg(p.pageSize.height());
}

// One message read the way the runner or the host reads it, fields and all.
QString describe(qint32 code, QDataStream& stream)
{
    QString a, b;
    bool flag = false;
    QImage image;
    BrowserParams params;
    switch (code) {
    case ConnectDone: stream >> a; return QStringLiteral("ConnectDone(%1)").arg(quoted(a));
    case LoadFinished:
        stream >> a >> image >> b;
        return QStringLiteral("LoadFinished(%1, %2, %3)").arg(quoted(a),
            image.isNull() ? QStringLiteral("null image") : QStringLiteral("image %1x%2").arg(image.width()).arg(image.height()),
            quoted(b));
    case Quit: return QStringLiteral("Quit()");
    case SettingDone: stream >> params; return QStringLiteral("SettingDone(%1)").arg(describe(params));
    case SetMute: stream >> flag; return QStringLiteral("SetMute(%1)").arg(flag ? "true" : "false");
    case SetVisible: stream >> flag; return QStringLiteral("SetVisible(%1)").arg(flag ? "true" : "false");
    case ChangeUrl: stream >> a; return QStringLiteral("ChangeUrl(%1)").arg(quoted(a));
    case WholeImage: return QStringLiteral("WholeImage()");
    case UpdateBrowserParams: stream >> params; return QStringLiteral("UpdateBrowserParams(%1)").arg(describe(params));
    case EnterSetting: return QStringLiteral("EnterSetting()");
    default: return QStringLiteral("code %1").arg(code);
    }
}
}

// docs/host-protocol.md cannot drift from the codec: each example decodes to what its text says, and the System V
// names it gives for the frame segment and its lock are the ones Qt uses.
class tst_ProtocolDoc : public QObject
{
    Q_OBJECT

private slots:
    void examplesDecode_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stated");
        QSet<QString> named;
        for (const Example& e : examples()) {
            QTest::newRow(qPrintable(e.stated)) << e.kind << e.block << e.text << e.stated;
            named << (e.kind == "record" ? e.kind : e.stated.section('(', 0, 0));
        }
        // Every message code, the heartbeat and the parameter record have an example.
        for (const char* name : { "ConnectDone", "LoadFinished", "Quit", "SettingDone", "SetMute", "SetVisible",
                                  "ChangeUrl", "WholeImage", "UpdateBrowserParams", "EnterSetting", "heartbeat", "record" })
            QVERIFY2(named.contains(name), name);
    }

    void examplesDecode()
    {
        QFETCH(QString, kind);
        QFETCH(QString, block);
        QFETCH(QString, text);
        QFETCH(QString, stated);
        const QString hex = block == "-" ? QString() : QString(block).remove(' ');
        QVERIFY2(QRegularExpression("^([0-9a-f]{2})*$").match(hex).hasMatch(), qPrintable(block));
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());

        if (kind == "record") {
            QCOMPARE(text, QString::fromLatin1(bytes.toBase64()));
            QCOMPARE(describe(BrowserParams::fromBase64String(text)), stated);
            return;
        }
        QCOMPARE(text, QString::fromLatin1(bytes.toBase64() + "<<"));
        QByteArray buffer = text.toLatin1();
        QStringList decoded;
        FrameCodec::takeFrames(buffer, [&] { decoded << QStringLiteral("heartbeat"); },
                               [&](qint32 code, QDataStream& stream) {
                                   decoded << describe(code, stream);
                                   QVERIFY2(stream.atEnd() && stream.status() == QDataStream::Ok, "fields and block differ");
                               });
        QCOMPARE(decoded, QStringList { stated });
        QVERIFY(buffer.isEmpty());
    }

    // A host without Qt: the key's letters and the SHA-1 of its UTF-8, a file in the temporary folder, ftok 'Q'.
    void segmentAndLockKeys()
    {
        const QString key = QStringLiteral("ybr-doc Key_9 ") + QString::number(QCoreApplication::applicationPid());
        QString letters = key;
        letters.remove(QRegularExpression("[^A-Za-z]"));
        const QString name = letters + QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
        const QByteArray segmentFile = QFile::encodeName(QDir::tempPath() + "/qipc_sharedmemory_" + name);
        const QByteArray lockFile = QFile::encodeName(QDir::tempPath() + "/qipc_systemsem_" + name);

        QSharedMemory segment(key);
        QVERIFY(segment.create(4096));
        const int shm = shmget(ftok(segmentFile.constData(), 'Q'), 0, 0600);
        QVERIFY(shm >= 0);
        shmid_ds info {};
        QCOMPARE(shmctl(shm, IPC_STAT, &info), 0);
        QCOMPARE(qint64(info.shm_segsz), qint64(4096));
        const int sem = semget(ftok(lockFile.constData(), 'Q'), 1, 0600);
        QVERIFY(sem >= 0);
        QCOMPARE(semctl(sem, 0, GETVAL), 1);
        QVERIFY(segment.lock());
        QCOMPARE(semctl(sem, 0, GETVAL), 0);
        QVERIFY(segment.unlock());
        sembuf take { 0, -1, SEM_UNDO };
        QCOMPARE(semop(sem, &take, 1), 0);
        QCOMPARE(semctl(sem, 0, GETVAL), 0);
        sembuf give { 0, 1, SEM_UNDO };
        QCOMPARE(semop(sem, &give, 1), 0);
        QVERIFY(segment.detach());
        QVERIFY(!QFile::exists(QFile::decodeName(segmentFile)));
    }
};

QTEST_GUILESS_MAIN(tst_ProtocolDoc)
#include "tst_protocoldoc.moc"
