#include <QtTest>

#include "BrowserParams.h"
#include "FrameCodec.h"

namespace {
const char* const kDefaultKeyRecord = "00000000" "00000000" "000003bf" "00000239" // 0,0 .. 959,569
                                      "00" "00000000" "00000000"                 // not maximized, no urls, ""
                                      "0000000e" "00640065006600610075006c0074"  // "default"
                                      "01" "00000780" "00000438";                // hidden, 1920 x 1080

// Every frame as "hb" or its code, followed by the text of the codes that carry one.
QStringList take(QByteArray& buffer)
{
    QStringList events;
    const auto message = [&](qint32 code, QDataStream& stream) {
        QString text;
        if (code == ChangeUrl || code == ConnectDone)
            stream >> text;
        events << (QString::number(code) + QLatin1Char(' ') + text).trimmed();
    };
    const int dropped = FrameCodec::takeFrames(buffer, [&] { events << QStringLiteral("hb"); }, message);
    if (dropped)
        events << QStringLiteral("dropped %1").arg(dropped);
    return events;
}

QByteArray frame(const QByteArray& hex) { return QByteArray::fromHex(hex).toBase64() + "<<"; }

BrowserParams defaultKey()
{
    BrowserParams params;
    params.urls.clear();
    params.currentUrl = QLatin1String("");
    return params;
}
}

// The host messages and the parameter record they carry, byte for byte.
class tst_FrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void encodeVectors_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("quit") << FrameCodec::encode(Quit) << frame("00000005");
        QTest::newRow("mute true") << FrameCodec::encode(SetMute, true) << frame("0000000901");
        QTest::newRow("connect done") << FrameCodec::encode(ConnectDone, QStringLiteral("1920X1080X7"))
                                      << frame("00000000" "00000016" "0031003900320030005800310030003800300058" "0037");
        QTest::newRow("visible false") << FrameCodec::encode(SetVisible, false) << frame("0000000a00");
        QTest::newRow("url") << FrameCodec::encode(ChangeUrl, QStringLiteral("http://a/"))
                             << frame("0000000b" "00000012" "0068007400740070003a002f002f0061002f");
        QTest::newRow("null string") << FrameCodec::encode(ChangeUrl, QString()) << frame("0000000bffffffff");
        QTest::newRow("empty string") << FrameCodec::encode(ChangeUrl, QString(QLatin1String(""))) << frame("0000000b00000000");
        QTest::newRow("load finished, null image")
            << FrameCodec::encode(LoadFinished, QStringLiteral("T"), QImage(), QStringLiteral("u"))
            << frame("00000004" "00000002" "0054" "00000000" "00000002" "0075");
        QTest::newRow("default-key record") << FrameCodec::encode(UpdateBrowserParams, defaultKey())
                                            << frame(QByteArray("0000000d") + kDefaultKeyRecord);
    }

    void encodeVectors()
    {
        QFETCH(QByteArray, encoded);
        QFETCH(QByteArray, expected);
        QCOMPARE(encoded, expected);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QByteArray>("left");

        const QByteArray quit = FrameCodec::encode(Quit);
        const QByteArray url = FrameCodec::encode(ChangeUrl, QStringLiteral("http://a/"));
        QTest::newRow("frames and heartbeats in one read")
            << "<<<<" + url + "<<" + quit << QStringList{"hb", "hb", "11 http://a/", "hb", "5"} << QByteArray();
        QTest::newRow("incomplete stays") << quit + "AAAA" << QStringList{"5"} << QByteArray("AAAA");
        QTest::newRow("short block reads code 0") << frame("0102") << QStringList{"0"} << QByteArray();
        QTest::newRow("truncated text reads empty") << frame("0000000b000000") << QStringList{"11"} << QByteArray();
        QTest::newRow("garbage decoded tolerantly") << QByteArray("AA!!AA\xff" "BQ==<<") << QStringList{"5"} << QByteArray();
    }

    void reading()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, events);
        QFETCH(QByteArray, left);
        QCOMPARE(take(input), events);
        QCOMPARE(input, left);
    }

    void splitAcrossReads()
    {
        const QByteArray url = FrameCodec::encode(ChangeUrl, QStringLiteral("http://split/"));
        for (int cut = 1; cut < url.size(); ++cut) {
            QByteArray buffer = url.left(cut);
            QStringList events = take(buffer);
            events += take(buffer += url.mid(cut));
            QCOMPARE(events, QStringList{"11 http://split/"});
            QVERIFY(buffer.isEmpty());
        }
    }

    void capDropsBytesWithoutSeparator()
    {
        QByteArray buffer(FrameCodec::MaxPendingBytes, 'A');
        QVERIFY(take(buffer).isEmpty());
        QCOMPARE(buffer.size(), FrameCodec::MaxPendingBytes);
        buffer.append("A<");
        QCOMPARE(take(buffer), QStringList{QStringLiteral("dropped %1").arg(FrameCodec::MaxPendingBytes + 1)});
        QCOMPARE(buffer, QByteArray("<"));
        buffer.append("<" + FrameCodec::encode(Quit));
        QCOMPARE(take(buffer), (QStringList{"hb", "5"}));
    }

    // The record as the host writes it decodes to itself; a hostile url count reads as zeros.
    void paramsDecode()
    {
        const auto decode = [](const QByteArray& hex) {
            return BrowserParams::fromBase64String(QString::fromLatin1(QByteArray::fromHex(hex).toBase64() + '\n'));
        };
        QCOMPARE(decode(kDefaultKeyRecord), defaultKey());
        const BrowserParams hostile = decode(QByteArray(kDefaultKeyRecord).left(34) + "7fffffff000000020041");
        QCOMPARE(hostile.windowRect, QRect(0, 0, 960, 570));
        QCOMPARE(hostile.urls, QStringList());
        QCOMPARE(hostile.pageSize, QSize(0, 0));
    }
};

QTEST_GUILESS_MAIN(tst_FrameCodec)
#include "tst_framecodec.moc"
