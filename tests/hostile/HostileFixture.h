#pragma once

#include "RunnerFixture.h"

#include <QCryptographicHash>

// The shared pieces of the hostile-host and hostile-page suites: pages that
// keep painting or hold one colour, raw looks at the segment, and the ending
// every case must reach.
namespace hostile {

inline QByteArray animatedPage()
{
    return "<html><head><title>Moving</title><style>body{margin:0;animation:c .4s infinite alternate}"
           "@keyframes c{from{background:#f00}to{background:#00f}}</style></head><body></body></html>";
}

// A solid page of rgb(10,20,200): ARGB32 bytes in memory order.
inline QByteArray bluePixel() { return QByteArray("\xc8\x14\x0a\xff", 4); }

inline QByteArray pixelBytes(const QImage& image, int x, int y)
{
    return QByteArray(reinterpret_cast<const char*>(image.constScanLine(y)) + x * 4, 4);
}

// Header and pixels of one buffer as they stand, read under the lock.
inline QByteArray bufferHash(FrameReader& reader, int buffer)
{
    const FrameReader::Header header = reader.header(buffer);
    const qint64 pixels = qMax(0, header.size.width()) * qint64(qMax(0, header.size.height())) * 4;
    const qint64 offset = buffer * FrameReader::BufferBytes;
    const qint64 bytes = qMin(FrameReader::HeaderBytes + pixels, reader.size() - offset);
    if (bytes <= 0 || !reader.segment().lock())
        return QByteArray();
    const char* base = static_cast<const char*>(reader.segment().constData()) + offset;
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromRawData(base, int(bytes)), QCryptographicHash::Sha1);
    reader.segment().unlock();
    return hash;
}

// Takes frames until one is `size` and shows `pixel` at its far corner;
// when none comes, says what the last frame taken was.
inline bool waitForFrame(FrameReader& reader, const QSize& size, const QByteArray& pixel, int timeoutMs = 15000,
                         QString* last = nullptr)
{
    FrameReader::Frame frame;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (reader.attach() && reader.take(frame)) {
            const QSize got = frame.header.size;
            const QByteArray corner = frame.image.isNull() ? QByteArray()
                : pixelBytes(frame.image, frame.image.width() - 1, frame.image.height() - 1);
            if (frame.image.size() == size && corner == pixel)
                return true;
            if (last)
                *last = QStringLiteral("%1x%2 corner %3 centre %4 dirty %5,%6 %7x%8 origin %9")
                            .arg(got.width()).arg(got.height()).arg(QString(corner.toHex()))
                            .arg(frame.image.isNull() ? QString()
                                 : QString(pixelBytes(frame.image, got.width() / 2, got.height() / 2).toHex()))
                            .arg(frame.header.dirty.x()).arg(frame.header.dirty.y())
                            .arg(frame.header.dirty.width()).arg(frame.header.dirty.height())
                            .arg(frame.image.isNull() ? QString() : QString(pixelBytes(frame.image, 0, 0).toHex()));
        }
        QTest::qWait(30);
    }
    return false;
}

// Still answering: a new address loads and is reported. Reports of other
// loads (late ones, new windows) may come first.
inline bool answersChangeUrl(RunnerFixture& f, const QString& url, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    f.host.send(ChangeUrl, url);
    while (clock.elapsed() < timeoutMs) {
        if (f.host.waitForLoadFinished(int(timeoutMs - clock.elapsed())) && f.host.lastUrl() == url)
            return true;
    }
    qWarning("asked for %s, last load reported %s; runner log ends: %s", qPrintable(url), qPrintable(f.host.lastUrl()),
             qPrintable(f.logLines().filter("Message").join(" | ")));
    return false;
}

} // namespace hostile

// Every case ends the same way: told to quit, the runner ends with status 0.
#define HOSTILE_QUITS(f, withinMs)                                                                                   \
    do {                                                                                                             \
        QElapsedTimer quitClock;                                                                                     \
        quitClock.start();                                                                                           \
        (f).host.send(Quit);                                                                                         \
        QVERIFY((f).host.waitForFinished(withinMs));                                                                 \
        QVERIFY2(quitClock.elapsed() <= (withinMs), qPrintable(QString::number(quitClock.elapsed())));               \
        QCOMPARE((f).host.process().exitStatus(), QProcess::NormalExit);                                             \
        QCOMPARE((f).host.process().exitCode(), 0);                                                                  \
    } while (false)

namespace hostile {

// Chromium's render processes below `root`: forked by the zygote without a
// new command line, so they are the zygote's children that still read
// "--type=zygote" (or, where a renderer is started directly, "--type=renderer").
inline QList<qint64> rendererPids(qint64 root)
{
    QMultiHash<qint64, qint64> children;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat("/proc/" + entry + "/stat");
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), pid);
    }
    const auto commandLine = [](qint64 pid) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QList<qint64> found, pending { root };
    while (!pending.isEmpty()) {
        const qint64 parent = pending.takeLast();
        const QByteArray parentLine = commandLine(parent);
        const bool fromZygote = parentLine.contains("--type=zygote") && !parentLine.contains("--no-zygote-sandbox");
        for (qint64 child : children.values(parent)) {
            pending << child;
            const QByteArray line = commandLine(child);
            if (line.contains("--type=renderer") || (fromZygote && line.contains("--type=zygote")))
                found << child;
        }
    }
    return found;
}

} // namespace hostile
