#include <QtTest>

#include "BrowserParams.h"

namespace {
QByteArray streamed(const BrowserParams& params)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << params;
    return bytes;
}

BrowserParams read(const QByteArray& bytes)
{
    QDataStream stream(bytes);
    BrowserParams params;
    stream >> params;
    return params;
}

const QByteArray DefaultKeyRecord = QByteArray::fromHex(
    "00000000" "00000000" "000003bf" "00000239"  // windowRect 0,0 .. 959,569
    "00"                                          // maximized
    "00000000"                                    // no urls
    "00000000"                                    // empty currentUrl
    "0000000e" "00640065006600610075006c0074"     // "default"
    "01"                                          // hidden
    "00000780" "00000438");                       // 1920 x 1080
}

class tst_BrowserParams : public QObject
{
    Q_OBJECT

private slots:
    void defaultKeyRecordBytes();
    void defaultsRoundTrip();
    void base64RoundTrip_data();
    void base64RoundTrip();
    void shortInputReadsZeros_data();
    void shortInputReadsZeros();
    void hostileListCountDoesNotAllocate();
};

void tst_BrowserParams::defaultKeyRecordBytes()
{
    BrowserParams params;
    params.urls.clear();
    params.currentUrl = QLatin1String("");
    QCOMPARE(streamed(params).size(), 52);
    QCOMPARE(streamed(params), DefaultKeyRecord);
    QCOMPARE(read(DefaultKeyRecord), params);
}

void tst_BrowserParams::defaultsRoundTrip()
{
    const BrowserParams defaults;
    QCOMPARE(defaults.pageSize, QSize(1920, 1080));
    QCOMPARE(defaults.windowRect, QRect(0, 0, 960, 570));
    QCOMPARE(defaults.windowRect.right(), 959);
    QCOMPARE(defaults.sharedMemoryKey, QStringLiteral("default"));
    QVERIFY(defaults.hidden);
    QVERIFY(!defaults.maximized);
    QCOMPARE(defaults.urls, QStringList { defaults.currentUrl });

    const QByteArray bytes = streamed(defaults);
    QCOMPARE(bytes.right(8), QByteArray::fromHex("0000078000000438"));
    QCOMPARE(read(bytes), defaults);
}

void tst_BrowserParams::base64RoundTrip_data()
{
    QTest::addColumn<BrowserParams>("params");
    BrowserParams threeTabs;
    threeTabs.urls = QStringList { "http://127.0.0.1/a", "http://127.0.0.1/b?x=<&y>", "about:blank" };
    threeTabs.currentUrl = threeTabs.urls.at(1);
    threeTabs.pageSize = QSize(7680, 4320);
    threeTabs.windowRect = QRect(5, 6, 800, 600);
    threeTabs.maximized = true;
    threeTabs.hidden = false;
    threeTabs.sharedMemoryKey = QStringLiteral("键-key");
    QTest::newRow("defaults") << BrowserParams();
    QTest::newRow("three tabs") << threeTabs;
}

void tst_BrowserParams::base64RoundTrip()
{
    QFETCH(BrowserParams, params);
    const QString text = params.toBase64String();
    QCOMPARE(text.toLatin1(), streamed(params).toBase64());
    QCOMPARE(BrowserParams::fromBase64String(text), params);
    QCOMPARE(BrowserParams::fromBase64String(text + QStringLiteral("\n")), params);
}

void tst_BrowserParams::shortInputReadsZeros_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QStringList>("urls");

    QTest::newRow("nothing") << QByteArray() << QRect(QPoint(0, 0), QPoint(0, 0)) << QStringList();
    QTest::newRow("rect only") << DefaultKeyRecord.left(16) << QRect(0, 0, 960, 570) << QStringList();
    QTest::newRow("cut inside url") << QByteArray::fromHex("0000000000000000000000090000000900"
                                                           "00000001" "00000004" "0061")
                                    << QRect(QPoint(0, 0), QPoint(9, 9)) << QStringList();
}

void tst_BrowserParams::shortInputReadsZeros()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QRect, rect);
    QFETCH(QStringList, urls);
    const BrowserParams params = BrowserParams::fromBase64String(QString::fromLatin1(bytes.toBase64()));
    QCOMPARE(params.windowRect, rect);
    QCOMPARE(params.urls, urls);
    QCOMPARE(params.pageSize, QSize(0, 0));
    QCOMPARE(params.currentUrl, QString());
    QCOMPARE(params.sharedMemoryKey, QString());
    QVERIFY(!params.hidden);
    QVERIFY(!params.maximized);
}

void tst_BrowserParams::hostileListCountDoesNotAllocate()
{
    const QByteArray bytes = DefaultKeyRecord.left(17) + QByteArray::fromHex("7fffffff" "00000002" "0041");
    const BrowserParams params = read(bytes);
    QVERIFY(params.urls.isEmpty());
    QCOMPARE(params.pageSize, QSize(0, 0));
}

QTEST_GUILESS_MAIN(tst_BrowserParams)
#include "tst_browserparams.moc"
