#include "ChromiumPeer.h"

#include "ProcessProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {

const int warmUpMs = 1500;

// What a peer run delivered: each frame decoded to raw pixels, timed.
struct Frames {
    std::vector<double> decodeMs;
    int taken = 0;
    int changed = 0;
    QImage last;

    void add(const QString& base64)
    {
        QElapsedTimer clock;
        clock.start();
        const QImage image =
            QImage::fromData(QByteArray::fromBase64(base64.toLatin1())).convertToFormat(QImage::Format_ARGB32);
        decodeMs.push_back(clock.nsecsElapsed() / 1e6);
        ++taken;
        changed += image != last;
        last = image;
    }
};

void summarise(BenchResult* result, double elapsed, const Frames& frames, const ProcessProbe::Usage& before,
               const ProcessProbe::Usage& after)
{
    result->seconds = elapsed;
    result->takenPerSecond = frames.taken / elapsed;
    result->newPerSecond = frames.changed / elapsed;
    result->renderMedianMs = percentile(frames.decodeMs, 0.5);
    result->renderP95Ms = percentile(frames.decodeMs, 0.95);
    result->cpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / elapsed;
    result->residentMiB = after.rssKb / 1024.0;
    if (!frames.last.isNull() && frames.last.size() != result->size)
        result->note = QStringLiteral("frames %1x%2").arg(frames.last.width()).arg(frames.last.height());
}

} // namespace

ChromiumPeer::ChromiumPeer(int seconds)
    : seconds(seconds)
{
}

ChromiumPeer::~ChromiumPeer()
{
    if (chromium.state() != QProcess::NotRunning) {
        chromium.terminate();
        if (!chromium.waitForFinished(5000))
            chromium.kill();
        chromium.waitForFinished(5000);
    }
    // Chromium's helpers outlive it by a moment and still write to the profile.
    for (int attempt = 0; attempt < 40 && !QDir(profile.path()).removeRecursively(); ++attempt)
        QThread::msleep(50);
}

bool ChromiumPeer::start(QString* error)
{
    const QString program = QStandardPaths::findExecutable("chromium");
    if (program.isEmpty()) {
        *error = QStringLiteral("chromium is not installed");
        return false;
    }
    chromium.start(program, { "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                                "--disable-component-update", "--disable-sync", "--no-first-run", "--hide-scrollbars",
                                "--remote-debugging-port=0", "--user-data-dir=" + profile.path(), "about:blank" });
    QByteArray output;
    const QRegularExpression listening("DevTools listening on (ws://\\S+)");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        chromium.waitForReadyRead(1000);
        output += chromium.readAllStandardError();
        const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
        if (match.hasMatch())
            return devtools.open(QUrl(match.captured(1)));
        if (chromium.state() == QProcess::NotRunning)
            break;
    }
    *error = QStringLiteral("chromium gave no DevTools address: ") + QString::fromUtf8(output.right(300));
    return false;
}

QString ChromiumPeer::openPage(const QString& pageUrl, const QSize& size)
{
    target = devtools.call("Target.createTarget", { { "url", "about:blank" } })
                 .value("result").toObject().value("targetId").toString();
    const QString session = devtools.call("Target.attachToTarget", { { "targetId", target }, { "flatten", true } })
                                .value("result").toObject().value("sessionId").toString();
    devtools.call("Emulation.setDeviceMetricsOverride",
        { { "width", size.width() }, { "height", size.height() }, { "deviceScaleFactor", 1 }, { "mobile", false } },
        session);
    devtools.call("Page.enable", {}, session);
    // A new target starts hidden, and hidden pages do not animate.
    devtools.call("Page.bringToFront", {}, session);
    devtools.call("Emulation.setFocusEmulationEnabled", { { "enabled", true } }, session);
    devtools.call("Page.navigate", { { "url", pageUrl } }, session);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000) {
        if (devtools.nextEvent(1000).value("method").toString() == QLatin1String("Page.loadEventFired"))
            break;
    }
    settle(warmUpMs);
    return session;
}

void ChromiumPeer::settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        devtools.nextEvent(int(ms - clock.elapsed()));
}

void ChromiumPeer::closePage(const QString& session)
{
    Q_UNUSED(session);
    devtools.call("Target.closeTarget", { { "targetId", target } });
    settle(300);
}

BenchResult ChromiumPeer::screencast(const QString& pageUrl, const QString& page, const QSize& size)
{
    BenchResult result { "chromium-screencast", page, size };
    const QString session = openPage(pageUrl, size);
    const ProcessProbe probe(pid_t(chromium.processId()));
    const ProcessProbe::Usage before = probe.whole();
    devtools.call("Page.startScreencast",
        { { "format", "jpeg" }, { "quality", 80 }, { "maxWidth", size.width() }, { "maxHeight", size.height() } },
        session);
    Frames frames;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        const QJsonObject event = devtools.nextEvent(int(seconds * 1000 - clock.elapsed()));
        if (event.value("method").toString() != QLatin1String("Page.screencastFrame"))
            continue;
        const QJsonObject params = event.value("params").toObject();
        devtools.send("Page.screencastFrameAck", { { "sessionId", params.value("sessionId") } }, session);
        frames.add(params.value("data").toString());
    }
    const double elapsed = clock.nsecsElapsed() / 1e9;
    devtools.call("Page.stopScreencast", {}, session);
    const ProcessProbe::Usage after = probe.whole();
    summarise(&result, elapsed, frames, before, after);
    closePage(session);
    return result;
}

BenchResult ChromiumPeer::screenshot(const QString& pageUrl, const QString& page, const QSize& size)
{
    BenchResult result { "chromium-screenshot", page, size };
    const QString session = openPage(pageUrl, size);
    const ProcessProbe probe(pid_t(chromium.processId()));
    const ProcessProbe::Usage before = probe.whole();
    Frames frames;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000) {
        const QJsonObject answer = devtools.call("Page.captureScreenshot", { { "format", "png" } }, session);
        const QString data = answer.value("result").toObject().value("data").toString();
        if (data.isEmpty())
            break;
        frames.add(data);
    }
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const ProcessProbe::Usage after = probe.whole();
    summarise(&result, elapsed, frames, before, after);
    closePage(session);
    return result;
}
