#include "BenchTable.h"
#include "ChromiumPeer.h"
#include "RealPageCorpus.h"
#include "MultiRunnerBench.h"
#include "RunnerBench.h"
#include "StaticHttpServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>
#include <QThread>

#include <memory>

namespace {

QList<QSize> parseSizes(const QString& text)
{
    QList<QSize> sizes;
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        const QStringList parts = item.split('x');
        const QSize size(parts.value(0).toInt(), parts.value(1).toInt());
        if (size.width() > 0 && size.height() > 0 && size.width() <= 7680 && size.height() <= 4320)
            sizes << size;
    }
    return sizes;
}

QList<int> parseCounts(const QString& text)
{
    QList<int> counts;
    for (const QString& item : text.split(',', Qt::SkipEmptyParts)) {
        const int count = item.toInt();
        if (count >= 1 && count <= 32)
            counts << count;
    }
    return counts;
}

// --runners: N runners at once on one page, for each N asked.
int runSeveral(const QCommandLineParser& parser, const QByteArray& config, const StaticHttpServer& http, int seconds,
               QTextStream& out)
{
    const QString page = parser.isSet("pages") ? parser.value("pages").section(',', 0, 0) : QStringLiteral("css");
    const QSize size = parser.isSet("sizes") ? parseSizes(parser.value("sizes")).value(0, QSize(1280, 720))
                                             : QSize(1280, 720);
    MultiRunnerBench bench(parser.value("runner"), config, seconds);
    std::vector<MultiRunnerBench::Result> results;
    out << "page " << page << ", " << size.width() << 'x' << size.height() << ", every runner consumed\n";
    MultiRunnerBench::printHeader(out);
    for (int count : parseCounts(parser.value("runners"))) {
        results.push_back(bench.run(http.urlFor(page + ".html"), page, size, count));
        MultiRunnerBench::print(out, results.back());
    }
    out << "\nCSV\n";
    MultiRunnerBench::printCsv(out, results);
    if (!parser.value("csv").isEmpty()) {
        QFile file(parser.value("csv"));
        if (file.open(QIODevice::WriteOnly)) {
            QTextStream csv(&file);
            MultiRunnerBench::printCsv(csv, results);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Frames per second, frame cost, CPU and memory of the runner as a consuming "
                                     "host sees them, side by side with headless Chromium.");
    parser.addHelpOption();
    parser.addOptions({
        { "seconds", "Measured time per case.", "s", "5" },
        { "pages", "Bundled pages to run.", "list", "css,canvas,webgl,text,static" },
        { "sizes", "Page sizes.", "list", "1280x720,1920x1080,3840x2160,7680x4320" },
        { "frame-path", "FramePath setting for the runner (auto when empty).", "path", "" },
        { "runner", "Runner executable.", "file", "" },
        { "pages-dir", "Folder of the bench pages.", "dir", YBR_BENCH_PAGES },
        { "csv", "Also write the CSV to this file.", "file", "" },
        { "no-peer", "Leave headless Chromium out." },
        { "no-runner", "Leave the runner out." },
        { "real-pages", "Run the real-page corpus (tests/realpages; all its pages unless --pages names some). "
                        "Leaves headless Chromium out: it would block the corpus's chat feed." },
        { "frame-interval", "FrameInterval setting for the runner in ms (30 when empty).", "ms", "" },
        { "runners", "Run N runners at once (a list runs each N in turn) instead of the page table.", "list", "" },
        { "setting", "A further [General] entry for the runner, Key=value (may be repeated).", "entry" },
    });
    parser.process(app);
    const int seconds = qBound(1, parser.value("seconds").toInt(), 600);
    const int frameInterval = parser.value("frame-interval").toInt();
    QByteArray config;
    if (!parser.value("frame-path").isEmpty())
        config += "FramePath=" + parser.value("frame-path").toUtf8() + "\n";
    if (frameInterval > 0)
        config += "FrameInterval=" + QByteArray::number(frameInterval) + "\n";
    for (const QString& entry : parser.values("setting"))
        config += entry.toUtf8() + "\n";

    // The peer waits on its socket without an event loop: the pages are
    // served from a thread of their own.
    QThread serverThread;
    serverThread.start();
    StaticHttpServer http(parser.value("pages-dir"));
    http.moveToThread(&serverThread);
    bool serving = false;
    QMetaObject::invokeMethod(&http, [&] { serving = http.start(); }, Qt::BlockingQueuedConnection);
    const auto stopServing = qScopeGuard([&] {
        QMetaObject::invokeMethod(&http, [&] { http.close(); http.moveToThread(app.thread()); },
            Qt::BlockingQueuedConnection);
        serverThread.quit();
        serverThread.wait();
    });
    if (!serving) {
        qCritical("framebench: cannot serve the pages");
        return 1;
    }
    RealPageCorpus corpus;
    const bool realPages = parser.isSet("real-pages");
    if (realPages && (!corpus.missing().isEmpty() || !corpus.start())) {
        qCritical("framebench: %s", qPrintable(corpus.missing().isEmpty() ? "cannot serve the real pages" : corpus.missing()));
        return 1;
    }
    const QStringList pages = realPages && !parser.isSet("pages") ? corpus.pageNames()
                                                                   : parser.value("pages").split(',', Qt::SkipEmptyParts);
    QTextStream out(stdout);
    if (parser.isSet("runners"))
        return runSeveral(parser, config, http, seconds, out);
    BenchTable table;
    RunnerBench runner(parser.value("runner"), config, frameInterval, seconds);
    std::unique_ptr<ChromiumPeer> peer;
    if (!parser.isSet("no-peer") && !realPages) {
        peer.reset(new ChromiumPeer(seconds));
        QString error;
        if (!peer->start(&error)) {
            out << "framebench: no peer: " << error << '\n';
            peer.reset();
        }
    }
    BenchTable::printHeader(out);
    const auto record = [&](const BenchResult& result) {
        table.add(result);
        BenchTable::printRow(out, result);
    };
    for (const QSize& size : parseSizes(parser.value("sizes"))) {
        for (const QString& page : pages) {
            const QString url = realPages ? corpus.url(page) : http.urlFor(page + ".html");
            if (!parser.isSet("no-runner"))
                record(runner.run(url, page, size));
            if (peer) {
                record(peer->screencast(url, page, size));
                record(peer->screenshot(url, page, size));
            }
        }
    }
    out << "\n";
    table.printSummary(out);
    out << "\nCSV\n";
    table.printCsv(out);
    if (!parser.value("csv").isEmpty()) {
        QFile file(parser.value("csv"));
        if (file.open(QIODevice::WriteOnly)) {
            QTextStream csv(&file);
            table.printCsv(csv);
        }
    }
    return 0;
}
