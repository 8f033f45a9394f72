#include "MultiRunnerBench.h"

#include "FrameReader.h"
#include "ProcessProbe.h"
#include "RunnerHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>

#include <memory>

namespace {

const int warmUpMs = 3000;

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Source {
    std::unique_ptr<RunnerHost> host;
    std::unique_ptr<FrameReader> reader;
    FrameReader::Frame frame;
    QImage previous;
    int taken = 0;
    int changed = 0;
};

QString mib(long kb)
{
    return QString::number(kb / 1024.0, 'f', 0);
}

} // namespace

MultiRunnerBench::MultiRunnerBench(const QString& runnerPath, const QByteArray& config, int seconds)
    : runnerPath(runnerPath)
    , seconds(seconds)
{
    QFile file(home.filePath("YConfig.ini"));
    if (file.open(QIODevice::WriteOnly))
        file.write("[General]\n" + config);
}

MultiRunnerBench::Result MultiRunnerBench::run(const QString& pageUrl, const QString& page, const QSize& size, int count)
{
    Result result;
    result.count = count;
    result.page = page;
    result.size = size;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path());
    env.insert("YCONFIG_FILE", home.filePath("YConfig.ini"));
    std::vector<Source> sources(size_t(qMax(count, 0)));
    bool started = true;
    for (size_t i = 0; i < sources.size(); ++i) {
        Source& source = sources[i];
        const QString key = QStringLiteral("ybr-multi-%1-%2").arg(QCoreApplication::applicationPid()).arg(i);
        source.reader.reset(new FrameReader(key));
        source.reader->create();
        source.host.reset(new RunnerHost);
        source.host->setEnvironment(env);
        if (!runnerPath.isEmpty())
            source.host->setRunnerPath(runnerPath);
        BrowserParams params;
        params.urls = QStringList { pageUrl };
        params.currentUrl = pageUrl;
        params.pageSize = size;
        params.sharedMemoryKey = key;
        started = source.host->start(params) && started;
    }
    for (Source& source : sources)
        started = started && source.host->waitForConnectDone(60000) && source.host->waitForLoads(1, 60000);
    if (started) {
        spin(warmUpMs);
        std::vector<ProcessProbe> probes;
        std::vector<ProcessProbe::Usage> before;
        for (Source& source : sources) {
            probes.emplace_back(pid_t(source.host->process().processId()));
            before.push_back(probes.back().whole());
        }
        QElapsedTimer clock;
        clock.start();
        // One poll takes from every segment, as a host mixing its sources would.
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (Source& source : sources) {
                if (!source.reader->take(source.frame))
                    continue;
                ++source.taken;
                if (source.frame.image != source.previous)
                    ++source.changed;
                std::swap(source.frame.image, source.previous);
            }
        });
        poll.start(2);
        spin(seconds * 1000);
        poll.stop();
        result.seconds = clock.nsecsElapsed() / 1e9;
        for (size_t i = 0; i < sources.size(); ++i) {
            const ProcessProbe::Usage after = probes[i].whole();
            const ProcessProbe::Memory memory = probes[i].memory();
            Runner figures;
            figures.takenPerSecond = sources[i].taken / result.seconds;
            figures.newPerSecond = sources[i].changed / result.seconds;
            figures.cpuPercent = 100.0 * (after.cpuSeconds - before[i].cpuSeconds) / result.seconds;
            figures.privateMiB = memory.privateKb / 1024.0;
            figures.sharedMiB = memory.sharedKb / 1024.0;
            figures.pssMiB = memory.pssKb / 1024.0;
            result.totalCpuPercent += figures.cpuPercent;
            result.runners.push_back(figures);
        }
    }
    for (Source& source : sources) {
        source.host->send(Quit);
        if (!source.host->waitForFinished(15000)) {
            source.host->process().kill();
            source.host->process().waitForFinished(5000);
        }
    }
    return result;
}

void MultiRunnerBench::printHeader(QTextStream& out)
{
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
               .arg("runners", -8).arg("runner", -7).arg("taken/s", -8).arg("new/s", -7).arg("cpu %", -6)
               .arg("private MiB", -12).arg("shared MiB", -11).arg("pss MiB", -8).arg("total cpu %");
}

void MultiRunnerBench::print(QTextStream& out, const Result& result)
{
    if (result.runners.empty()) {
        out << QStringLiteral("%1 the runners did not all start\n").arg(result.count, -8);
        return;
    }
    for (size_t i = 0; i < result.runners.size(); ++i) {
        const Runner& r = result.runners[i];
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                   .arg(result.count, -8).arg(int(i) + 1, -7).arg(r.takenPerSecond, -8, 'f', 1)
                   .arg(r.newPerSecond, -7, 'f', 1).arg(r.cpuPercent, -6, 'f', 0)
                   .arg(mib(long(r.privateMiB * 1024)), -12).arg(mib(long(r.sharedMiB * 1024)), -11)
                   .arg(mib(long(r.pssMiB * 1024)), -8)
                   .arg(i == 0 ? QString::number(result.totalCpuPercent, 'f', 0) : QString());
    }
    out.flush();
}

void MultiRunnerBench::printCsv(QTextStream& out, const std::vector<Result>& results)
{
    out << "runners,runner,page,size,taken_per_s,new_per_s,cpu_percent,private_mib,shared_mib,pss_mib,total_cpu_percent\n";
    for (const Result& result : results) {
        for (size_t i = 0; i < result.runners.size(); ++i) {
            const Runner& r = result.runners[i];
            out << result.count << ',' << i + 1 << ',' << result.page << ','
                << result.size.width() << 'x' << result.size.height() << ','
                << QString::number(r.takenPerSecond, 'f', 2) << ',' << QString::number(r.newPerSecond, 'f', 2) << ','
                << QString::number(r.cpuPercent, 'f', 1) << ',' << QString::number(r.privateMiB, 'f', 1) << ','
                << QString::number(r.sharedMiB, 'f', 1) << ',' << QString::number(r.pssMiB, 'f', 1) << ','
                << QString::number(result.totalCpuPercent, 'f', 1) << '\n';
        }
    }
}
