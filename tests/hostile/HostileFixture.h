#pragma once

#include "RunnerFixture.h"

// A solid page of rgb(10,20,200) ("blue.html"): ARGB32 bytes in memory order.
inline QByteArray bluePixel() { return QByteArray("\xc8\x14\x0a\xff", 4); }

// Serves the blue page and `html` as `page`, starts the runner there and waits for the first load if asked.
inline bool startOn(RunnerFixture& f, const QString& page, const QByteArray& html = {}, bool waitForLoad = true)
{
    f.writePage("blue.html", RunnerFixture::solidPage("Blue", "rgb(10,20,200)"));
    if (!html.isEmpty())
        f.writePage(page, html);
    return f.start(f.params({ f.http.urlFor(page) })) && (!waitForLoad || f.host.waitForLoads(1, 20000));
}

// Takes frames until one is `size` with `pixel` at its far corner; `lastSize` is the last one's size.
inline bool waitForFrame(FrameReader& reader, const QSize& size, const QByteArray& pixel, int timeoutMs = 15000,
                         QSize* lastSize = nullptr)
{
    FrameReader::Frame frame;
    QElapsedTimer clock;
    for (clock.start(); clock.elapsed() < timeoutMs; QTest::qWait(30)) {
        if (!reader.attach() || !reader.take(frame) || frame.image.isNull())
            continue;
        const QImage& image = frame.image;
        if (lastSize) *lastSize = image.size();
        if (image.size() == size && QByteArray(reinterpret_cast<const char*>(image.constScanLine(image.height() - 1)) + (image.width() - 1) * 4, 4) == pixel)
            return true;
    }
    return false;
}

// Still answering: a new address loads and is reported, maybe after other loads (late ones, new windows).
inline bool answersChangeUrl(RunnerFixture& f, const QString& url, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    f.host.send(ChangeUrl, url);
    while (clock.elapsed() < timeoutMs) {
        if (f.host.waitForLoadFinished(int(timeoutMs - clock.elapsed())) && f.host.lastUrl() == url)
            return true;
    }
    qWarning("asked for %s, last load reported %s", qPrintable(url), qPrintable(f.host.lastUrl()));
    return false;
}

// Chromium's render processes below `root`: forked by the zygote without a new command line, so
// they are the zygote's children that still read "--type=zygote" (or, started directly, "--type=renderer").
inline QSet<QString> rendererPids(qint64 root)
{
    QHash<qint64, QPair<qint64, QByteArray>> processes; // parent and command line by pid
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + entry + "/stat"), commandLine("/proc/" + entry + "/cmdline");
        if (entry.toLongLong() > 0 && stat.open(QIODevice::ReadOnly) && commandLine.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            processes.insert(entry.toLongLong(), { text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong(), commandLine.readAll() });
        }
    }
    QSet<QString> found;
    for (auto it = processes.cbegin(); it != processes.cend(); ++it) {
        qint64 ancestor = it->first;
        while (ancestor > 1 && ancestor != root)
            ancestor = processes.value(ancestor).first;
        const QByteArray parent = processes.value(it->first).second, line = it->second;
        const bool fromZygote = parent.contains("--type=zygote") && !parent.contains("--no-zygote-sandbox");
        if (ancestor == root && (line.contains("--type=renderer") || (fromZygote && line.contains("--type=zygote"))))
            found << QString::number(it.key());
    }
    return found;
}

// Every case ends the same way: told to quit, the runner ends with status 0 in time.
inline bool quits(RunnerFixture& f, int withinMs)
{
    QElapsedTimer clock;
    clock.start();
    f.host.send(Quit);
    const bool ended = f.host.waitForFinished(withinMs) && clock.elapsed() <= withinMs;
    return ended && f.host.process().exitStatus() == QProcess::NormalExit && f.host.process().exitCode() == 0;
}
