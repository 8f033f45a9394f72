#include <QtTest>

#include "RealPageCorpus.h"
#include "RunnerFixture.h"

namespace {

const struct {
    const char* page;
    const char* title;
    bool animated;
} pages[] = {
    { "chart", "Chart", true },
    { "chat", "Chat", true },
    { "dashboard", "Dashboard", true },
    { "document", "Document", true },
    { "game", "Game", true },
    { "graph", "Graph", true },
    { "iframes", "Iframes: 12", true },
    { "landing", "Landing", false },
    { "lottie", "Lottie", true },
    { "math", "Math: 12 formulas", false },
    // The first visit installs the worker and reloads; the second is served from its cache.
    { "offline", "Offline: served by the service worker", false },
    { "overlay", "Overlay", true },
    { "slides", "Slides", true },
    { "video", "Video", true },
};

bool isUniform(const QImage& image)
{
    if (image.isNull())
        return true;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] != first)
                return false;
        }
    }
    return true;
}

struct Taken {
    FrameReader::Frame last;
    int distinct = 0;
};

// Takes frames as a host does for at least 2 s, until `wanted` distinct frames
// that are not one uniform colour came, or for 20 s at most.
Taken takeFrames(FrameReader& reader, int wanted)
{
    Taken taken;
    FrameReader::Frame frame;
    QSet<QByteArray> distinct;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && (distinct.size() < wanted || clock.elapsed() < 2000)) {
        if (reader.take(frame)) {
            const QByteArray pixels = QByteArray::fromRawData(reinterpret_cast<const char*>(frame.image.constBits()),
                                                              int(frame.image.sizeInBytes()));
            if (!isUniform(frame.image))
                distinct << QCryptographicHash::hash(pixels, QCryptographicHash::Md5);
            taken.last = frame;
        }
        QTest::qWait(50);
    }
    taken.distinct = distinct.size();
    return taken;
}

} // namespace

class tst_RealPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rendersPage_data();
    void rendersPage();

private:
    RealPageCorpus corpus;
};

void tst_RealPages::initTestCase()
{
    const QString missing = corpus.missing();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QVERIFY(corpus.start());
    QStringList rows;
    for (const auto& row : pages)
        rows << row.page;
    QCOMPARE(rows, corpus.pageNames());
}

void tst_RealPages::rendersPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("animated");
    for (const auto& row : pages)
        QTest::newRow(row.page) << row.page << row.title << row.animated;
}

// Loads with the title the page's own script sets once its library ran,
// paints something other than one colour, keeps painting new frames when
// animated, and quits cleanly.
void tst_RealPages::rendersPage()
{
    QFETCH(QString, page);
    QFETCH(QString, title);
    QFETCH(bool, animated);
    RunnerFixture f;
    const QString url = corpus.url(page);
    QVERIFY(f.start(f.params({ url }, QSize(640, 360))));
    QTRY_COMPARE_WITH_TIMEOUT(f.host.lastTitle(), title, 60000);
    QCOMPARE(f.host.lastUrl(), url);
    QCOMPARE(f.host.lastSnapshot().size(), QSize(640, 360));

    FrameReader reader(f.key);
    QVERIFY(reader.attach());
    // An animated page is watched twice, so frames that stop after the first
    // seconds fail as well as frames that never move.
    const int wanted = animated ? 4 : 1;
    for (const char* round : { "first", "later" }) {
        const Taken taken = takeFrames(reader, wanted);
        const QString keep = qEnvironmentVariable("YBR_REALPAGES_FRAMES");
        if (!keep.isEmpty() && !taken.last.image.isNull())
            taken.last.image.save(QDir(keep).filePath(page + ".png"));
        QCOMPARE(taken.last.header.size, QSize(640, 360));
        QVERIFY2(!isUniform(taken.last.image), qPrintable(QStringLiteral("%1 frames: the last is one uniform colour").arg(round)));
        QVERIFY2(taken.distinct >= wanted, qPrintable(QStringLiteral("%1 frames: %2 distinct").arg(round).arg(taken.distinct)));
        if (!animated)
            break;
    }
    QVERIFY(RunnerFixture::quit(f.host));
}

QTEST_MAIN(tst_RealPages)
#include "tst_realpages.moc"
