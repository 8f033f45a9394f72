#include "HostCli.h"

#include "StaticHttpServer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QUuid>

#include <cstdio>
#include <unistd.h>

namespace {
QSize parseSize(const QString& text)
{
    const QStringList parts = text.toLower().split('x');
    bool okW = false, okH = false;
    const QSize size = parts.size() == 2 ? QSize(parts[0].toInt(&okW), parts[1].toInt(&okH)) : QSize();
    return okW && okH ? size : QSize();
}
}

bool HostCli::parse(const QStringList& arguments, Options& options, QString& error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Starts YBrowserRunner as its host and takes its frames.");
    parser.addHelpOption();
    parser.addOptions({
        { "runner", "Path of the runner executable.", "path" },
        { "url", "A tab to open (repeat for more tabs; the first is current).", "url" },
        { "size", "Page size, WxH (default 1280x720).", "WxH" },
        { "key", "Shared-memory key (default: a fresh one).", "key" },
        { "shown", "Start with the setting window on screen instead of parked." },
        { "hidden", "Start parked off screen (the default)." },
        { "frames", "Save this many new frames as PNG files, then quit.", "n" },
        { "every", "Least time between saved frames, in ms.", "ms" },
        { "out", "Directory for saved frames (default: frames).", "dir" },
        { "sheet", "Write a contact sheet of the saved frames to this PNG file.", "file" },
        { "record", "Record a video or animated image (by its extension) with ffmpeg.", "file" },
        { "record-seconds", "Length of the recording (default 5).", "s" },
        { "preview", "Show the frames live in a window." },
        { "serve", "Serve this directory on 127.0.0.1; relative --url values are taken from it.", "dir" },
        { "duration", "Quit after this many seconds.", "s" },
    });
    if (!parser.parse(QStringList { "ybrowser-host" } + arguments)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet("help")) {
        error = parser.helpText();
        return false;
    }
    options.runner = parser.value("runner");
    options.urls = parser.values("url");
    if (parser.isSet("size")) {
        options.size = parseSize(parser.value("size"));
        if (options.size.isEmpty()) {
            error = "--size takes WxH, for example 1920x1080";
            return false;
        }
    }
    options.key = parser.value("key");
    options.hidden = !parser.isSet("shown");
    options.frames = parser.value("frames").toInt();
    options.everyMs = parser.value("every").toInt();
    options.outDir = parser.isSet("out") ? parser.value("out") : QStringLiteral("frames");
    options.sheet = parser.value("sheet");
    options.record = parser.value("record");
    if (parser.isSet("record-seconds"))
        options.recordSeconds = qMax(1, parser.value("record-seconds").toInt());
    options.preview = parser.isSet("preview");
    options.serveDir = parser.value("serve");
    options.duration = parser.value("duration").toDouble();
    return true;
}

HostCli::HostCli(const Options& opts, QObject* parent)
    : QObject(parent)
    , options(opts)
{
    if (options.key.isEmpty())
        options.key = QStringLiteral("ybr-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!options.runner.isEmpty())
        host.setRunnerPath(options.runner);
    reader = std::make_unique<FrameReader>(options.key);
    connect(&pollTimer, &QTimer::timeout, this, &HostCli::poll);
    connect(&statusTimer, &QTimer::timeout, this, [this] { printStatus(false); });
    connect(&host, &RunnerHost::loadFinished, this, [](const QString& title, const QImage&, const QString& url) {
        std::fprintf(stderr, "\nloaded: \"%s\" %s\n", qPrintable(title), qPrintable(url));
    });
    connect(&host, &RunnerHost::settingDone, this, [](const BrowserParams& p) {
        std::fprintf(stderr, "\nsetting done: %dx%d, %d tab(s), current %s\n", p.pageSize.width(),
                     p.pageSize.height(), int(p.urls.size()), qPrintable(p.currentUrl));
    });
    connect(&host, &RunnerHost::runnerFinished, this, [this](int code) {
        exitStatus = code;
        finish();
    });
}

HostCli::~HostCli() = default;

QString HostCli::resolveUrl(const QString& url) const
{
    if (http && !url.contains(QStringLiteral("://")) && !url.startsWith(QStringLiteral("about:")))
        return http->urlFor(url);
    return url;
}

int HostCli::run()
{
    if (!options.serveDir.isEmpty()) {
        http = std::make_unique<StaticHttpServer>(options.serveDir);
        if (!http->start()) {
            std::fprintf(stderr, "cannot serve %s\n", qPrintable(options.serveDir));
            return 1;
        }
    }
    BrowserParams params;
    params.pageSize = options.size;
    params.sharedMemoryKey = options.key;
    params.hidden = options.hidden;
    params.urls.clear();
    for (const QString& url : qAsConst(options.urls))
        params.urls << resolveUrl(url);
    if (params.urls.isEmpty())
        params.urls << QStringLiteral("about:blank");
    params.currentUrl = params.urls.first();

    if (!host.start(params)) {
        std::fprintf(stderr, "cannot start the runner at %s\n", qPrintable(RunnerHost::defaultRunnerPath()));
        return 1;
    }
    if (!host.waitForConnectDone(30000)) {
        std::fprintf(stderr, "the runner did not connect\n");
        return 1;
    }
    std::fprintf(stderr, "connected: %s, segment \"%s\"\n", qPrintable(host.connectDoneText()), qPrintable(options.key));
    reader->attach();
    if (options.preview) {
        previewLabel = new QLabel;
        previewLabel->setWindowTitle("ybrowser-host preview");
        previewLabel->resize(options.size.scaled(960, 540, Qt::KeepAspectRatio));
        previewLabel->show();
    }
    if (options.frames > 0)
        QDir().mkpath(options.outDir);
    stdinNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(stdinNotifier.get(), &QSocketNotifier::activated, this, &HostCli::onStdin);
    clock.start();
    pollTimer.start(options.pollMs);
    statusTimer.start(500);
    if (options.duration > 0)
        QTimer::singleShot(int(options.duration * 1000), this, [this] { command("quit"); });
    QApplication::exec();
    printStatus(true);
    if (!options.sheet.isEmpty() && !saved.isEmpty())
        writeContactSheet();
    return exitStatus;
}

void HostCli::poll()
{
    if (!reader->isAttached() && !reader->attach())
        return;
    if (!reader->take(frame))
        return;
    ++taken;
    if (frame.image.isNull())
        return;
    if (frame.image == lastImage)
        return;
    ++fresh;
    lastImage = frame.image.copy();
    if (previewLabel)
        previewLabel->setPixmap(QPixmap::fromImage(lastImage.scaled(previewLabel->size(), Qt::KeepAspectRatio)));
    saveFrame(lastImage);
    recordFrame(lastImage);
}

void HostCli::saveFrame(const QImage& image)
{
    // Frames before the first finished load show an empty page.
    if (options.frames <= saved.size() || host.loadFinishedCount() == 0)
        return;
    const qint64 now = clock.elapsed();
    if (lastSavedAt >= 0 && now - lastSavedAt < options.everyMs)
        return;
    lastSavedAt = now;
    const QString path = QDir(options.outDir).filePath(QStringLiteral("frame_%1.png").arg(saved.size() + 1, 4, 10, QChar('0')));
    image.save(path);
    saved << path;
    if (saved.size() == options.frames && options.record.isEmpty())
        command("quit");
}

void HostCli::recordFrame(const QImage& image)
{
    if (options.record.isEmpty())
        return;
    if (!encoder) {
        encoder = std::make_unique<QProcess>();
        encoder->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QSize size = image.size();
        QStringList arguments { "-loglevel", "error", "-y", "-f", "rawvideo", "-pixel_format", "bgra", "-video_size",
                                QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), "-framerate", "30", "-i", "-" };
        if (options.record.endsWith(".gif"))
            arguments << "-vf" << "fps=15,scale=640:-1:flags=lanczos";
        else
            arguments << "-pix_fmt" << "yuv420p" << "-vf" << "scale=trunc(iw/2)*2:trunc(ih/2)*2";
        encoder->start("ffmpeg", arguments << options.record);
        recordStartedAt = clock.elapsed();
    }
    encoder->write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
    if (clock.elapsed() - recordStartedAt >= options.recordSeconds * 1000LL) {
        encoder->closeWriteChannel();
        encoder->waitForFinished(60000);
        std::fprintf(stderr, "\nrecorded %s\n", qPrintable(options.record));
        options.record.clear();
        if (options.frames == 0 || saved.size() >= options.frames)
            command("quit");
    }
}

void HostCli::onStdin()
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
    if (n <= 0) {
        stdinNotifier->setEnabled(false);
        return;
    }
    static QByteArray pending;
    pending.append(buffer, int(n));
    int end;
    while ((end = pending.indexOf('\n')) >= 0) {
        command(QString::fromLocal8Bit(pending.left(end)).trimmed());
        pending.remove(0, end + 1);
    }
}

void HostCli::command(const QString& line)
{
    const QString verb = line.section(' ', 0, 0);
    const QString rest = line.section(' ', 1).trimmed();
    if (verb == "url") {
        host.send(ChangeUrl, resolveUrl(rest));
    } else if (verb == "mute") {
        host.send(SetMute, rest != "off");
    } else if (verb == "whole") {
        host.send(WholeImage);
    } else if (verb == "setting") {
        host.send(EnterSetting);
    } else if (verb == "size") {
        BrowserParams params;
        params.pageSize = parseSize(rest);
        params.sharedMemoryKey = options.key;
        params.urls = QStringList { resolveUrl(host.lastUrl().isEmpty() ? options.urls.value(0) : host.lastUrl()) };
        params.currentUrl = params.urls.first();
        params.hidden = options.hidden;
        host.send(UpdateBrowserParams, params);
    } else if (verb == "quit") {
        if (finishing)
            return;
        finishing = true;
        host.send(Quit);
        QTimer::singleShot(10000, this, [this] { host.process().kill(); });
    } else if (!verb.isEmpty()) {
        std::fprintf(stderr, "\ncommands: url <url> | mute on|off | whole | size WxH | setting | quit\n");
    }
}

void HostCli::printStatus(bool final)
{
    const double seconds = qMax<qint64>(1, clock.elapsed()) / 1000.0;
    if (final) {
        std::fprintf(stderr, "\nsummary: %d frames taken, %d new, %.1f s, %.1f new frames/s, %d saved, last title \"%s\", runner exit status %d\n",
                     taken, fresh, seconds, fresh / seconds, int(saved.size()), qPrintable(host.lastTitle()), exitStatus);
        return;
    }
    std::fprintf(stderr, "\rframes %6d  new %6d  %5.1f fps  title \"%s\"   ", taken, fresh, fresh / seconds,
                 qPrintable(host.lastTitle().left(40)));
    std::fflush(stderr);
}

void HostCli::finish()
{
    pollTimer.stop();
    statusTimer.stop();
    QCoreApplication::quit();
}

void HostCli::writeContactSheet()
{
    const int columns = 4;
    const int rows = (int(saved.size()) + columns - 1) / columns;
    const QSize thumb = options.size.scaled(320, 180, Qt::KeepAspectRatio);
    QImage sheet(columns * (thumb.width() + 8) + 8, rows * (thumb.height() + 8) + 8, QImage::Format_RGB32);
    sheet.fill(QColor(40, 40, 44));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < saved.size(); ++i) {
        const QRect cell(8 + (i % columns) * (thumb.width() + 8), 8 + (i / columns) * (thumb.height() + 8),
                         thumb.width(), thumb.height());
        painter.drawImage(cell, QImage(saved.at(i)));
    }
    painter.end();
    sheet.save(options.sheet);
    std::fprintf(stderr, "contact sheet: %s\n", qPrintable(options.sheet));
}
