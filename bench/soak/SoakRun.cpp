#include "SoakRun.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

const QSize pageSizes[] = { { 640, 360 }, { 800, 600 }, { 1280, 720 }, { 1920, 1080 }, { 1024, 768 } };

QByteArray page(const QString& title, const QString& body)
{
    return QStringLiteral("<html><head><title>%1</title></head><body style=\"margin:0\">%2</body></html>")
        .arg(title, body)
        .toUtf8();
}

} // namespace

SoakRun::SoakRun(const Options& opts, QObject* parent)
    : QObject(parent)
    , options(opts)
    , random(opts.seed)
    , http(pages.path())
    , key(QStringLiteral("ybr-soak-") + QString::number(QCoreApplication::applicationPid()))
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home.path());
    env.insert("YCONFIG_FILE", home.filePath("YConfig.ini"));
    host.setEnvironment(env);
    host.setHeartbeatInterval(2000);
    connect(&commandTimer, &QTimer::timeout, this, &SoakRun::sendRandomCommand);
    connect(&frameTimer, &QTimer::timeout, this, &SoakRun::takeFrames);
    connect(&sampleTimer, &QTimer::timeout, this, &SoakRun::beginSample);
    connect(&host, &RunnerHost::runnerFinished, this, [this] {
        runnerDied = true;
        QCoreApplication::quit();
    });
    frameTimer.setInterval(33);
    commandTimer.setSingleShot(true);
    sampleTimer.setInterval(options.sampleSeconds * 1000);
}

void SoakRun::writePages()
{
    const QList<QPair<QString, QByteArray>> content {
        { "spin.html", page("Spinning", "<div style=\"width:200px;height:200px;background:#3a6;"
                                        "animation:r 2s linear infinite\"></div>"
                                        "<style>@keyframes r{to{transform:rotate(360deg)}}</style>") },
        { "canvas.html", page("Canvas", "<canvas id=c width=600 height=300></canvas><script>"
                                        "let t=0;const g=c.getContext('2d');(function f(){t++;"
                                        "g.fillStyle='hsl('+t%360+',80%,50%)';g.fillRect(t%600,(t*7)%300,40,40);"
                                        "requestAnimationFrame(f)})()</script>") },
        { "text.html", page("Text", QString("<p>%1</p>").arg(QString("Lorem ipsum dolor sit amet. ").repeated(400))) },
        { "form.html", page("Form", "<form><input name=a value=hello><textarea>t</textarea>"
                                    "<select><option>1<option>2</select></form>") },
        { "alloc.html", page("Alloc", "<script>let keep=[];setInterval(()=>{keep.push(new Array(1e5).fill(1));"
                                      "if(keep.length>20)keep=[]},200)</script>") },
    };
    for (const auto& entry : content) {
        QFile file(pages.filePath(entry.first));
        if (file.open(QIODevice::WriteOnly))
            file.write(entry.second);
        pageNames << entry.first;
    }
}

QString SoakRun::randomPage()
{
    return http.urlFor(pageNames.at(random.bounded(pageNames.size())));
}

// The state every sample is taken in: the open tabs, page size and loads
// differ from minute to minute, and only like compared with like shows growth.
BrowserParams SoakRun::referenceParams() const
{
    BrowserParams params;
    params.urls = QStringList { http.urlFor("spin.html"), http.urlFor("canvas.html") };
    params.currentUrl = params.urls.first();
    params.pageSize = QSize(1280, 720);
    params.sharedMemoryKey = key;
    params.hidden = true;
    return params;
}

BrowserParams SoakRun::randomParams()
{
    BrowserParams params;
    params.urls.clear();
    const int tabs = 1 + random.bounded(4);
    for (int i = 0; i < tabs; ++i)
        params.urls << randomPage();
    params.currentUrl = params.urls.first();
    params.pageSize = pageSizes[random.bounded(int(std::size(pageSizes)))];
    params.sharedMemoryKey = key;
    params.hidden = true;
    return params;
}

void SoakRun::sendRandomCommand()
{
    ++commandsSent;
    const int pick = random.bounded(12);
    if (inSetting) {
        host.send(SetVisible, false);
        inSetting = false;
    } else if (pick < 4) {
        host.send(ChangeUrl, randomPage());
    } else if (pick < 6) {
        host.send(UpdateBrowserParams, randomParams());
    } else if (pick < 8) {
        host.send(WholeImage);
    } else if (pick < 10) {
        host.send(SetMute, random.bounded(2) == 1);
    } else {
        host.send(EnterSetting);
        inSetting = true;
    }
    commandTimer.start(200 + random.bounded(800));
}

void SoakRun::takeFrames()
{
    if (!reader) {
        reader = std::make_unique<FrameReader>(key);
        if (!reader->attach()) {
            reader.reset();
            return;
        }
    }
    if (reader->take(frame))
        ++framesTaken;
}

void SoakRun::beginSample()
{
    commandTimer.stop();
    if (inSetting) {
        host.send(SetVisible, false);
        inSetting = false;
    }
    host.send(UpdateBrowserParams, referenceParams());
    QTimer::singleShot(options.settleSeconds * 1000, this, &SoakRun::printSample);
}

void SoakRun::printSample()
{
    ++minute;
    const ProcessProbe probe(pid_t(host.process().processId()));
    last = { probe.root(), probe.helpers() };
    if (minute == 1)
        first = last;
    if (minute * options.sampleSeconds <= 300)
        baseline = last;
    std::printf("%6lld %9ld %9ld %9ld %9ld %9ld %7d %5d %7d %8d %8d %9lld %8d %8lld\n", clock.elapsed() / 1000,
                last.runner.rssKb, last.runner.anonKb, last.runner.shmemKb, last.helpers.rssKb, last.helpers.anonKb,
                last.helpers.processes, last.runner.fds, last.runner.threads, last.helpers.fds, last.helpers.threads,
                framesTaken, host.receivedCodes().size(), commandsSent);
    std::fflush(stdout);
    if (clock.elapsed() >= qint64(options.seconds) * 1000)
        QCoreApplication::quit();
    else
        commandTimer.start(500);
}

int SoakRun::run()
{
    writePages();
    if (!http.start()) {
        std::fprintf(stderr, "cannot serve pages on 127.0.0.1\n");
        return 2;
    }
    if (!host.start(referenceParams()) || !host.waitForConnectDone(30000)) {
        std::fprintf(stderr, "runner did not connect: %s\n", qPrintable(host.process().errorString()));
        return 2;
    }
    std::printf("seed %u, %d s, runner pid %lld, sample every %d s\n", options.seed, options.seconds,
                host.process().processId(), options.sampleSeconds);
    std::printf("samples in the reference state (2 tabs, 1280x720), %d s after sending it\n", options.settleSeconds);
    std::printf("%6s %9s %9s %9s %9s %9s %7s %5s %7s %8s %8s %9s %8s %8s\n", "time_s", "rss_kB", "anon_kB",
                "shmem_kB", "help_kB", "help_anon", "helpers", "fds", "threads", "help_fds", "help_thr", "frames",
                "answered", "commands");
    clock.start();
    frameTimer.start();
    sampleTimer.start();
    commandTimer.start(500);
    QCoreApplication::exec();
    return finish();
}

int SoakRun::finish()
{
    commandTimer.stop();
    frameTimer.stop();
    sampleTimer.stop();
    if (runnerDied) {
        std::printf("RUNNER DIED after %lld s: exit status %d, code %d\n", clock.elapsed() / 1000,
                    int(host.process().exitStatus()), host.process().exitCode());
        return 1;
    }
    const double growth = baseline.totalRssKb() > 0
        ? 100.0 * double(last.totalRssKb() - baseline.totalRssKb()) / double(baseline.totalRssKb())
        : 0.0;
    std::printf("resident memory (runner + helpers): %ld kB at minute 5, %ld kB at the end: %+.1f%%\n",
                baseline.totalRssKb(), last.totalRssKb(), growth);
    std::printf("runner alone: %ld kB -> %ld kB (private %ld kB -> %ld kB)\n", baseline.runner.rssKb,
                last.runner.rssKb, baseline.runner.anonKb, last.runner.anonKb);
    std::printf("runner fds %d -> %d, threads %d -> %d; helper fds %d -> %d, threads %d -> %d\n", first.runner.fds,
                last.runner.fds, first.runner.threads, last.runner.threads, first.helpers.fds, last.helpers.fds,
                first.helpers.threads, last.helpers.threads);
    disconnect(&host, &RunnerHost::runnerFinished, this, nullptr);
    host.send(Quit);
    const bool ended = host.waitForFinished(10000);
    const int code = host.process().exitCode();
    std::printf("quit: %s, exit code %d; frames %lld, messages answered %d, commands %lld\n",
                ended ? "ended" : "STILL RUNNING", code, framesTaken, host.receivedCodes().size(), commandsSent);
    return ended && code == 0 && host.process().exitStatus() == QProcess::NormalExit ? 0 : 1;
}
