#include <QtTest>

#include "FrameCodec.h"

namespace {
struct Received {
    QStringList events;
    QStringList strings;
};

// Records every frame as "hb" or "code:<n>", reading a QString payload
// for the codes that carry one.
int take(QByteArray& buffer, Received& received)
{
    return FrameCodec::takeFrames(
        buffer, [&] { received.events << QStringLiteral("hb"); },
        [&](qint32 code, QDataStream& stream) {
            received.events << QStringLiteral("code:%1").arg(code);
            if (code == ChangeUrl || code == ConnectDone) {
                QString s;
                stream >> s;
                received.strings << s;
            }
        });
}

QByteArray frame(const QByteArray& block)
{
    return block.toBase64() + "<<";
}
}

class tst_FrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void encodeVectors_data();
    void encodeVectors();
    void loadFinishedNullImage();
    void loadFinishedImageRoundTrip();
    void reading_data();
    void reading();
    void truncatedPayloadReadsEmpty();
    void splitAcrossReads();
    void capDropsBytesWithoutSeparator();
};

void tst_FrameCodec::encodeVectors_data()
{
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("quit") << FrameCodec::encode(Quit) << QByteArray::fromHex("00000005");
    QTest::newRow("mute true") << FrameCodec::encode(SetMute, true) << QByteArray::fromHex("0000000901");
    QTest::newRow("connect done") << FrameCodec::encode(ConnectDone, QStringLiteral("1920X1080X7"))
                                  << QByteArray::fromHex("0000000000000016"
                                                         "0031003900320030005800310030003800300058" "0037");
    QTest::newRow("null string") << FrameCodec::encode(ChangeUrl, QString())
                                 << QByteArray::fromHex("0000000bffffffff");
    QTest::newRow("empty string") << FrameCodec::encode(ChangeUrl, QString(QLatin1String("")))
                                  << QByteArray::fromHex("0000000b00000000");
}

void tst_FrameCodec::encodeVectors()
{
    QFETCH(QByteArray, encoded);
    QFETCH(QByteArray, block);
    QCOMPARE(encoded, block.toBase64() + "<<");
}

void tst_FrameCodec::loadFinishedNullImage()
{
    const QByteArray encoded = FrameCodec::encode(LoadFinished, QStringLiteral("T"), QImage(), QStringLiteral("u"));
    QCOMPARE(encoded, QByteArray::fromHex("00000004" "0000000200" "54" "00000000" "00000002" "0075").toBase64() + "<<");
}

void tst_FrameCodec::loadFinishedImageRoundTrip()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30));
    QByteArray buffer = FrameCodec::encode(LoadFinished, QStringLiteral(" a "), image, QStringLiteral("http://x/"));
    QString title, url;
    QImage decoded;
    FrameCodec::takeFrames(buffer, [] {}, [&](qint32 code, QDataStream& s) {
        QCOMPARE(code, qint32(LoadFinished));
        s >> title >> decoded >> url;
    });
    QCOMPARE(title, QStringLiteral(" a "));
    QCOMPARE(decoded.size(), QSize(3, 2));
    QCOMPARE(decoded.pixel(2, 1), QColor(10, 20, 30).rgba());
    QCOMPARE(url, QStringLiteral("http://x/"));
}

void tst_FrameCodec::reading_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QByteArray>("left");

    const QByteArray quit = FrameCodec::encode(Quit);
    const QByteArray url = FrameCodec::encode(ChangeUrl, QStringLiteral("http://a/"));
    QTest::newRow("empty") << QByteArray() << QStringList() << QByteArray();
    QTest::newRow("heartbeat") << QByteArray("<<") << QStringList { "hb" } << QByteArray();
    QTest::newRow("two heartbeats") << QByteArray("<<<<") << QStringList { "hb", "hb" } << QByteArray();
    QTest::newRow("three frames in one read") << url + "<<" + quit
                                             << QStringList { "code:11", "hb", "code:5" } << QByteArray();
    QTest::newRow("heartbeat after separator") << quit + "<<" << QStringList { "code:5", "hb" } << QByteArray();
    QTest::newRow("incomplete stays") << quit + "AAAA" << QStringList { "code:5" } << QByteArray("AAAA");
    QTest::newRow("half separator stays") << QByteArray("AAAAAA==<") << QStringList() << QByteArray("AAAAAA==<");
    QTest::newRow("runner codes consumed") << FrameCodec::encode(SettingDone) + FrameCodec::encode(ConnectDone) + quit
                                          << QStringList { "code:6", "code:0", "code:5" } << QByteArray();
    QTest::newRow("short block reads code 0") << frame("\x01\x02") << QStringList { "code:0" } << QByteArray();
    QTest::newRow("garbage decoded tolerantly") << QByteArray("AA!!AA\xff" "BQ==<<")
                                               << QStringList { "code:5" } << QByteArray();
}

void tst_FrameCodec::reading()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, events);
    QFETCH(QByteArray, left);
    Received received;
    QCOMPARE(take(input, received), 0);
    QCOMPARE(received.events, events);
    QCOMPARE(input, left);
}

void tst_FrameCodec::truncatedPayloadReadsEmpty()
{
    QByteArray buffer = frame(QByteArray::fromHex("0000000b000000")) + frame(QByteArray::fromHex("00000009"));
    QStringList strings;
    QList<bool> flags;
    FrameCodec::takeFrames(buffer, [] {}, [&](qint32 code, QDataStream& s) {
        if (code == ChangeUrl) {
            QString text = QStringLiteral("x");
            s >> text;
            strings << text;
        } else {
            bool flag = true;
            s >> flag;
            flags << flag;
        }
    });
    QCOMPARE(strings, QStringList { QString() });
    QCOMPARE(flags, QList<bool> { false });
}

void tst_FrameCodec::splitAcrossReads()
{
    const QByteArray url = FrameCodec::encode(ChangeUrl, QStringLiteral("http://split/"));
    for (int cut = 1; cut < url.size(); ++cut) {
        QByteArray buffer = url.left(cut);
        Received received;
        take(buffer, received);
        QVERIFY2(received.events.isEmpty(), qPrintable(QString::number(cut)));
        buffer += url.mid(cut);
        take(buffer, received);
        QCOMPARE(received.events, QStringList { "code:11" });
        QCOMPARE(received.strings, QStringList { "http://split/" });
        QVERIFY(buffer.isEmpty());
    }
}

void tst_FrameCodec::capDropsBytesWithoutSeparator()
{
    QByteArray buffer(FrameCodec::MaxPendingBytes, 'A');
    Received received;
    QCOMPARE(take(buffer, received), 0);
    QCOMPARE(buffer.size(), FrameCodec::MaxPendingBytes);

    buffer.append("A<");
    QCOMPARE(take(buffer, received), FrameCodec::MaxPendingBytes + 1);
    QCOMPARE(buffer, QByteArray("<"));
    buffer.append("<");
    buffer.append(FrameCodec::encode(Quit));
    take(buffer, received);
    QCOMPARE(received.events, (QStringList { "hb", "code:5" }));
}

QTEST_GUILESS_MAIN(tst_FrameCodec)
#include "tst_framecodec.moc"
