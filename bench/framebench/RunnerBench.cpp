#include "RunnerBench.h"

#include "FrameReader.h"
#include "ProcessProbe.h"
#include "RunnerHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

namespace {

const int warmUpMs = 1500;

// The clock of the runner's frame timings.
qint64 monotonicUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

RunnerBench::RunnerBench(const QString& runnerPath, const QByteArray& settings, int frameInterval, int seconds)
    : runnerPath(runnerPath)
    , frameInterval(frameInterval)
    , seconds(seconds)
{
    QFile config(home.filePath("YConfig.ini"));
    if (config.open(QIODevice::WriteOnly))
        config.write("[General]\n" + settings);
}

bool RunnerBench::startRunner(RunnerHost& host, const QString& pageUrl, const QSize& size, bool capture,
    const QString& key)
{
    QFile::remove(home.filePath("timings"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path());
    env.insert("YCONFIG_FILE", home.filePath("YConfig.ini"));
    env.insert("YBR_FRAME_TIMINGS", home.filePath("timings"));
    env.insert("YBR_FRAME_CAPTURE", capture ? "1" : "0");
    host.setEnvironment(env);
    if (!runnerPath.isEmpty())
        host.setRunnerPath(runnerPath);
    BrowserParams params;
    params.urls = QStringList { pageUrl };
    params.currentUrl = pageUrl;
    params.pageSize = size;
    params.sharedMemoryKey = key;
    return host.start(params) && host.waitForConnectDone(60000) && host.waitForLoadFinished(60000);
}

void RunnerBench::stopRunner(RunnerHost& host)
{
    host.send(Quit);
    if (!host.waitForFinished(15000)) {
        host.process().kill();
        host.process().waitForFinished(5000);
    }
}

BenchResult RunnerBench::run(const QString& pageUrl, const QString& page, const QSize& size)
{
    BenchResult result;
    result.engine = QStringLiteral("runner");
    result.page = page;
    result.size = size;
    measureMemcpy(size, &result);
    result.paintsUncaptured = measureUncaptured(pageUrl, size, &result.note);

    const QString key = QStringLiteral("ybr-bench-%1").arg(QCoreApplication::applicationPid());
    FrameReader reader(key);
    reader.create();
    RunnerHost host;
    if (!startRunner(host, pageUrl, size, true, key)) {
        result.note += QStringLiteral(" runner did not start");
        stopRunner(host);
        return result;
    }
    if (!reader.isAttached())
        reader.attach();
    consume(host, reader, &result);
    stopRunner(host);
    return result;
}

double RunnerBench::measureUncaptured(const QString& pageUrl, const QSize& size, QString* note)
{
    RunnerHost host;
    const QString key = QStringLiteral("ybr-bench-idle-%1").arg(QCoreApplication::applicationPid());
    if (!startRunner(host, pageUrl, size, false, key)) {
        stopRunner(host);
        return -1;
    }
    if (host.lastTitle().startsWith(QLatin1String("webgl:")))
        *note = host.lastTitle();
    spin(warmUpMs);
    QFile timings(home.filePath("timings"));
    const qint64 from = timings.size();
    QElapsedTimer clock;
    clock.start();
    spin(seconds * 1000);
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const Timings figures = readTimings(from, timings.size());
    stopRunner(host);
    return figures.paints / elapsed;
}

void RunnerBench::consume(RunnerHost& host, FrameReader& reader, BenchResult* result)
{
    spin(warmUpMs);
    const ProcessProbe probe(pid_t(host.process().processId()));
    QFile timings(home.filePath("timings"));
    const qint64 from = timings.size();
    const ProcessProbe::Usage before = probe.whole();
    QElapsedTimer clock;
    clock.start();
    int taken = 0;
    int changed = 0;
    QImage previous;
    FrameReader::Frame frame;
    std::vector<qint64> beforeUs, afterUs;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const qint64 before = monotonicUs();
        if (!reader.take(frame))
            return;
        beforeUs.push_back(before);
        afterUs.push_back(monotonicUs());
        ++taken;
        if (frame.image != previous)
            ++changed;
        // Swapped, not shared: the next take copies into an image of its own
        // instead of detaching one under the segment lock.
        std::swap(frame.image, previous);
    });
    poll.start(2);
    spin(seconds * 1000);
    poll.stop();
    const double elapsed = clock.nsecsElapsed() / 1e9;
    const ProcessProbe::Usage after = probe.whole();
    const Timings figures = readTimings(from, timings.size());

    result->seconds = elapsed;
    result->takenPerSecond = taken / elapsed;
    result->newPerSecond = changed / elapsed;
    result->paintsCaptured = figures.paints / elapsed;
    result->renderMedianMs = percentile(figures.renderMs, 0.5);
    result->renderP95Ms = percentile(figures.renderMs, 0.95);
    result->intervalMs = frameInterval > 0 ? frameInterval : 30;
    std::vector<double> jitter;
    for (double interval : figures.intervalMs)
        jitter.push_back(std::abs(interval - result->intervalMs));
    const std::vector<double> latencies = paintLatencies(figures, beforeUs, afterUs);
    result->latencyP50Ms = percentile(latencies, 0.5);
    result->latencyP95Ms = percentile(latencies, 0.95);
    result->jitterP95Ms = percentile(jitter, 0.95);
    result->cpuPercent = 100.0 * (after.cpuSeconds - before.cpuSeconds) / elapsed;
    result->residentMiB = after.rssKb / 1024.0;
}

RunnerBench::Timings RunnerBench::readTimings(qint64 from, qint64 to) const
{
    Timings figures;
    QFile file(home.filePath("timings"));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(from))
        return figures;
    const QList<QByteArray> lines = file.read(to - from).split('\n');
    double lastStart = -1;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.value(0) == "P") {
            ++figures.paints;
            figures.paintUs.push_back(fields.value(1).toLongLong());
        } else if (fields.value(0) == "F" && fields.size() == 4) {
            figures.frameStartUs.push_back(fields.at(1).toLongLong());
            figures.frameEndUs.push_back(fields.at(1).toLongLong() + fields.at(2).toLongLong());
            const double start = fields.at(1).toDouble() / 1000.0;
            figures.renderMs.push_back(fields.at(2).toDouble() / 1000.0);
            if (lastStart >= 0)
                figures.intervalMs.push_back(start - lastStart);
            lastStart = start;
        }
    }
    return figures;
}

// A paint is in the first frame whose render starts after it. That frame is
// visible to the host from the end of its render (the runner holds the lock
// until then) or from the first poll after it, whichever is later; the host
// polls every 2 ms, which the figure includes.
std::vector<double> RunnerBench::paintLatencies(const Timings& figures, const std::vector<qint64>& beforeUs,
    const std::vector<qint64>& afterUs)
{
    std::vector<double> latencies;
    for (qint64 paint : figures.paintUs) {
        const auto frame = std::lower_bound(figures.frameStartUs.begin(), figures.frameStartUs.end(), paint);
        if (frame == figures.frameStartUs.end())
            continue;
        const qint64 end = figures.frameEndUs[size_t(frame - figures.frameStartUs.begin())];
        const auto take = std::lower_bound(afterUs.begin(), afterUs.end(), end);
        if (take != afterUs.end())
            latencies.push_back((std::max(beforeUs[size_t(take - afterUs.begin())], end) - paint) / 1000.0);
    }
    return latencies;
}

// Between frames the host reads one buffer and the engine paints its image,
// so a frame copy starts with cold caches: the cold figure rotates through
// eight buffer pairs, more than a last-level cache holds.
void RunnerBench::measureMemcpy(const QSize& size, BenchResult* result)
{
    const size_t bytes = size_t(size.width()) * size_t(size.height()) * 4;
    const int pairs = 8;
    std::vector<std::unique_ptr<char[]>> from;
    std::vector<std::unique_ptr<char[]>> to;
    for (int i = 0; i < pairs; ++i) {
        from.emplace_back(new char[bytes]);
        to.emplace_back(new char[bytes]);
        std::memset(from.back().get(), 1, bytes);
        std::memset(to.back().get(), 2, bytes);
    }
    const auto time = [&](int pair) {
        QElapsedTimer clock;
        clock.start();
        std::memcpy(to[pair].get(), from[pair].get(), bytes);
        return clock.nsecsElapsed() / 1e6;
    };
    std::vector<double> hot;
    std::vector<double> cold;
    for (int i = 0; i < 40; ++i)
        hot.push_back(time(0));
    for (int i = 0; i < 40; ++i)
        cold.push_back(time(i % pairs));
    result->memcpyMs = percentile(hot, 0.5);
    result->memcpyColdMs = percentile(cold, 0.5);
}
