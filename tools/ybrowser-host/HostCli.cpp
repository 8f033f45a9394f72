#include "HostCli.h"

#include "StaticHttpServer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <QUuid>

#include <cstdio>
#include <unistd.h>

namespace {
const int RecordFps = 30;
const QString Commands = QStringLiteral("commands: url <url> | mute on|off | whole | size WxH | setting | quit");

bool readNumber(const QCommandLineParser& parser, const QString& name, int least, int& value, QString& error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int number = parser.value(name).toInt(&ok);
    if (ok && number >= least) {
        value = number;
        return true;
    }
    error = QStringLiteral("--%1 takes a whole number of %2 or more, not \"%3\"").arg(name).arg(least).arg(parser.value(name));
    return false;
}

bool hasScheme(const QString& url)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(url).hasMatch();
}

QString urlError(const QString& url, bool serving)
{
    const QUrl parsed(url, QUrl::StrictMode);
    if (hasScheme(url)) {
        const bool needsHost = parsed.scheme() == QLatin1String("http") || parsed.scheme() == QLatin1String("https");
        if (parsed.isValid() && !(needsHost && parsed.host().isEmpty()))
            return QString();
        return QStringLiteral("--url \"%1\" is not a valid URL").arg(url);
    }
    if (serving && parsed.isValid() && !url.isEmpty())
        return QString();
    return QStringLiteral("--url \"%1\" is not a URL: give its scheme (http://, https://, file:///) or serve a folder with --serve DIR").arg(url);
}
}

bool HostCli::parseSize(const QString& text, QSize& size)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX*](\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const QSize parsed(match.captured(1).toInt(), match.captured(2).toInt());
    if (parsed.isEmpty() || parsed.width() > 7680 || parsed.height() > 4320)
        return false;
    size = parsed;
    return true;
}

QString HostCli::commandError(const QString& line)
{
    const QString verb = line.section(' ', 0, 0);
    const QString rest = line.section(' ', 1).trimmed();
    QSize size;
    if (verb == "url" && rest.isEmpty())
        return QStringLiteral("url takes a URL, for example url https://example.com/");
    if (verb == "mute" && rest != "on" && rest != "off")
        return QStringLiteral("mute takes on or off, not \"%1\"").arg(rest);
    if (verb == "size" && !parseSize(rest, size))
        return QStringLiteral("size takes WxH or W*H up to 7680x4320, for example size 1920x1080, not \"%1\"").arg(rest);
    static const QStringList verbs { "url", "mute", "whole", "size", "setting", "quit" };
    if (!verbs.contains(verb))
        return QStringLiteral("unknown command \"%1\"; %2").arg(verb, Commands);
    return QString();
}

HostCli::Parsed HostCli::parse(const QStringList& arguments, Options& options, QString& text)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Starts YBrowserRunner as its host and takes its frames.\n"
                                     "Exit status: 0 done, 1 something failed (the last line says what), 2 bad arguments.");
    parser.addHelpOption();
    parser.addOptions({
        { "runner", "Path of the runner executable.", "path" },
        { "url", "A tab to open (repeat for more tabs; the first is current).", "url" },
        { "size", "Page size, WxH or W*H (default 1280x720, at most 7680x4320).", "WxH" },
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
        { "duration", "Quit after this many seconds (0: when done or told to quit).", "s" },
    });
    if (!parser.parse(QStringList { QCoreApplication::arguments().value(0, "ybrowser-host") } + arguments)) {
        text = parser.errorText() + QStringLiteral(" (ybrowser-host --help lists the options)");
        return Parsed::Invalid;
    }
    if (parser.isSet("help") || parser.isSet("help-all")) {
        text = parser.helpText();
        return Parsed::Help;
    }
    if (!parser.positionalArguments().isEmpty()) {
        text = QStringLiteral("unexpected argument \"%1\" (ybrowser-host --help lists the options)")
                   .arg(parser.positionalArguments().first());
        return Parsed::Invalid;
    }
    if (parser.isSet("size") && !parseSize(parser.value("size"), options.size)) {
        text = QStringLiteral("--size takes WxH or W*H up to 7680x4320, for example 1920x1080, not \"%1\"").arg(parser.value("size"));
        return Parsed::Invalid;
    }
    if (!readNumber(parser, "frames", 0, options.frames, text) || !readNumber(parser, "every", 0, options.everyMs, text)
        || !readNumber(parser, "record-seconds", 1, options.recordSeconds, text))
        return Parsed::Invalid;
    if (parser.isSet("duration")) {
        bool ok = false;
        options.duration = parser.value("duration").toDouble(&ok);
        // Kept within what a timer can count in milliseconds.
        if (!ok || !(options.duration >= 0 && options.duration <= 2000000)) {
            text = QStringLiteral("--duration takes seconds, 0 or more, not \"%1\"").arg(parser.value("duration"));
            return Parsed::Invalid;
        }
    }
    options.serveDir = parser.value("serve");
    if (parser.isSet("serve") && !QFileInfo(options.serveDir).isDir()) {
        text = QStringLiteral("--serve \"%1\" is not a folder").arg(options.serveDir);
        return Parsed::Invalid;
    }
    options.urls = parser.values("url");
    for (const QString& url : qAsConst(options.urls)) {
        text = urlError(url, parser.isSet("serve"));
        if (!text.isEmpty())
            return Parsed::Invalid;
    }
    options.runner = parser.value("runner");
    options.key = parser.value("key");
    options.hidden = !parser.isSet("shown");
    options.outDir = parser.isSet("out") ? parser.value("out") : QStringLiteral("frames");
    options.sheet = parser.value("sheet");
    options.record = parser.value("record");
    options.preview = parser.isSet("preview");
    return Parsed::Run;
}

HostCli::HostCli(const Options& opts, QObject* parent)
    : QObject(parent)
    , options(opts)
    , statusOnTerminal(::isatty(STDERR_FILENO) == 1)
{
    if (options.key.isEmpty())
        options.key = QStringLiteral("ybr-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!options.runner.isEmpty())
        host.setRunnerPath(options.runner);
    reader = std::make_unique<FrameReader>(options.key);
    connect(&pollTimer, &QTimer::timeout, this, &HostCli::poll);
    connect(&statusTimer, &QTimer::timeout, this, [this] { printStatus(false); });
    connect(&host, &RunnerHost::loadFinished, this, [this](const QString& title, const QImage&, const QString& url) {
        say(QStringLiteral("loaded: \"%1\" %2").arg(title, url));
    });
    connect(&host, &RunnerHost::settingDone, this, [this](const BrowserParams& p) {
        say(QStringLiteral("setting done: %1x%2, %3 tab(s), current %4")
                .arg(p.pageSize.width()).arg(p.pageSize.height()).arg(p.urls.size()).arg(p.currentUrl));
    });
    connect(&host, &RunnerHost::runnerFinished, this, [this](int code) {
        // Before ConnectDone, run() reports it; after a kill, the timeout did.
        if (host.connectDoneText().isEmpty() || killed)
            return finish();
        if (host.process().exitStatus() == QProcess::CrashExit)
            fail(QStringLiteral("the runner crashed; its messages and its log in \"%1\" say where")
                     .arg(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Corvane M1/Log/Browser"));
        else if (!finishing)
            fail(QStringLiteral("the runner ended on its own with status %1; its messages above say why").arg(code));
        else if (code != 0)
            fail(QStringLiteral("the runner ended with status %1").arg(code));
        finish();
    });
}

HostCli::~HostCli() = default;

QString HostCli::resolveUrl(const QString& url) const
{
    if (http && !hasScheme(url))
        return http->urlFor(url);
    return url;
}

int HostCli::run()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString flags = environment.value("QTWEBENGINE_CHROMIUM_FLAGS");
    if (::geteuid() == 0 && !flags.split(' ', Qt::SkipEmptyParts).contains("--no-sandbox")) {
        // Chromium refuses to start its sandbox as root.
        environment.insert("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --no-sandbox").trimmed());
        say("running as root: the runner gets --no-sandbox in QTWEBENGINE_CHROMIUM_FLAGS");
    }
    host.setEnvironment(environment);
    if (!options.record.isEmpty() && QStandardPaths::findExecutable("ffmpeg").isEmpty()) {
        fail(QStringLiteral("--record needs ffmpeg, which is not installed: apt-get install ffmpeg, or leave out --record"));
        return 1;
    }
    if (options.frames > 0 && !QDir().mkpath(options.outDir)) {
        fail(QStringLiteral("cannot create the folder \"%1\" for --out: give a writable one").arg(options.outDir));
        return 1;
    }
    if (!options.serveDir.isEmpty()) {
        http = std::make_unique<StaticHttpServer>(options.serveDir);
        if (!http->start()) {
            fail(QStringLiteral("cannot serve \"%1\" on 127.0.0.1").arg(options.serveDir));
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

    const QString runnerPath = options.runner.isEmpty() ? RunnerHost::defaultRunnerPath() : options.runner;
    if (!host.start(params)) {
        fail(QStringLiteral("cannot start the runner \"%1\" (%2): build it with bash tools/build.sh, or give its path with --runner")
                 .arg(runnerPath, host.process().errorString()));
        return 1;
    }
    if (!host.waitForConnectDone(30000)) {
        finishing = true;
        if (host.process().state() == QProcess::NotRunning)
            fail(QStringLiteral("the runner ended before it connected (status %1); its messages above say why")
                     .arg(host.process().exitCode()));
        else
            fail(QStringLiteral("the runner did not connect within 30 s; its messages above and its log say why"));
        return 1;
    }
    say(QStringLiteral("connected: %1, segment \"%2\"").arg(host.connectDoneText(), options.key));
    reader->attach();
    if (options.preview) {
        previewLabel = new QLabel;
        previewLabel->setWindowTitle("ybrowser-host preview");
        previewLabel->resize(options.size.scaled(960, 540, Qt::KeepAspectRatio));
        previewLabel->show();
    }
    stdinNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(stdinNotifier.get(), &QSocketNotifier::activated, this, &HostCli::onStdin);
    clock.start();
    pollTimer.start(options.pollMs);
    // Carriage-return updates only where someone watches; logs get a line now and then.
    statusTimer.start(statusOnTerminal ? 500 : 5000);
    if (options.duration > 0)
        QTimer::singleShot(int(options.duration * 1000), this, [this] { command("quit"); });
    inLoop = true;
    QApplication::exec();
    inLoop = false;
    printStatus(true);
    for (const QString& line : qAsConst(failuresInLoop))
        say(line);
    if (encoder)
        fail(QStringLiteral("the recording stopped after %1 of %2 s: give a longer --duration")
                 .arg(recordedFrames / double(RecordFps), 0, 'f', 1).arg(options.recordSeconds));
    else if (!options.record.isEmpty())
        fail(QStringLiteral("nothing was recorded: no frame came from the runner; check that the page loads"));
    endRecording();
    if (!options.sheet.isEmpty() && !saved.isEmpty())
        writeContactSheet();
    if (saved.size() < options.frames)
        fail(QStringLiteral("saved %1 of %2 frames: give a longer --duration, or check that the page loads")
                 .arg(saved.size()).arg(options.frames));
    return failed ? 1 : 0;
}

void HostCli::poll()
{
    fillRecording();
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
    if (!image.save(path)) {
        fail(QStringLiteral("cannot write \"%1\": check that the folder is writable and the disk not full").arg(path));
        options.frames = saved.size();
        command("quit");
        return;
    }
    saved << path;
    if (saved.size() == options.frames && options.record.isEmpty())
        command("quit");
}

// The encoder gets a constant RecordFps: each slot of 1/RecordFps s shows the
// newest frame taken by its end, so the video plays at the page's own pace.
void HostCli::recordFrame(const QImage& image)
{
    if (options.record.isEmpty())
        return;
    if (!encoder) {
        encoder = std::make_unique<QProcess>();
        encoder->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QSize size = image.size();
        QStringList arguments { "-loglevel", "error", "-y", "-f", "rawvideo", "-pixel_format", "bgra", "-video_size",
                                QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
                                "-framerate", QString::number(RecordFps), "-i", "-" };
        if (options.record.endsWith(".gif"))
            arguments << "-vf" << "fps=15,scale=640:-1:flags=lanczos";
        else
            arguments << "-pix_fmt" << "yuv420p" << "-vf" << "scale=trunc(iw/2)*2:trunc(ih/2)*2";
        encoder->start("ffmpeg", arguments << options.record);
        recordStartedAt = clock.elapsed();
        recordImage = image;
        return;
    }
    fillRecording();
    if (encoder)
        recordImage = image.size() == recordImage.size() ? image : image.scaled(recordImage.size());
}

void HostCli::fillRecording()
{
    if (!encoder)
        return;
    const qint64 end = options.recordSeconds * 1000LL;
    const qint64 due = qMin(clock.elapsed() - recordStartedAt, end) * RecordFps / 1000;
    for (; recordedFrames < due; ++recordedFrames)
        encoder->write(reinterpret_cast<const char*>(recordImage.constBits()), recordImage.sizeInBytes());
    if (recordedFrames < end * RecordFps / 1000)
        return;
    endRecording();
    say(QStringLiteral("recorded %1").arg(options.record));
    options.record.clear();
    if (saved.size() >= options.frames)
        command("quit");
}

void HostCli::endRecording()
{
    if (!encoder)
        return;
    encoder->closeWriteChannel();
    const bool done = encoder->waitForFinished(60000);
    if (!done || encoder->exitStatus() != QProcess::NormalExit || encoder->exitCode() != 0)
        fail(QStringLiteral("ffmpeg could not write \"%1\"; its messages above say why").arg(options.record));
    encoder.reset();
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
    if (line.isEmpty())
        return;
    const QString error = commandError(line);
    if (!error.isEmpty()) {
        say(error);
        return;
    }
    const QString verb = line.section(' ', 0, 0);
    const QString rest = line.section(' ', 1).trimmed();
    if (verb == "url") {
        host.send(ChangeUrl, resolveUrl(rest));
    } else if (verb == "mute") {
        host.send(SetMute, rest == "on");
    } else if (verb == "whole") {
        host.send(WholeImage);
    } else if (verb == "setting") {
        host.send(EnterSetting);
    } else if (verb == "size") {
        BrowserParams params;
        parseSize(rest, params.pageSize);
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
        QTimer::singleShot(10000, this, [this] {
            fail("the runner did not quit within 10 s and was killed");
            killed = true;
            host.process().kill();
        });
    }
}

void HostCli::printStatus(bool final)
{
    const double seconds = qMax<qint64>(1, clock.elapsed()) / 1000.0;
    if (final) {
        say(QStringLiteral("summary: %1 frames taken, %2 new, %3 s, %4 new frames/s, %5 saved, last title \"%6\"")
                .arg(taken).arg(fresh).arg(seconds, 0, 'f', 1).arg(fresh / seconds, 0, 'f', 1).arg(saved.size())
                .arg(host.lastTitle()));
        return;
    }
    const QString status = QStringLiteral("frames %1  new %2  %3 fps  title \"%4\"")
                               .arg(taken, 6).arg(fresh, 6).arg(fresh / seconds, 5, 'f', 1).arg(host.lastTitle().left(40));
    if (!statusOnTerminal) {
        say(status);
        return;
    }
    std::fprintf(stderr, "\r%s   ", qPrintable(status));
    std::fflush(stderr);
    statusLinePending = true;
}

void HostCli::say(const QString& line)
{
    std::fprintf(stderr, "%s%s\n", statusLinePending ? "\n" : "", qPrintable(line));
    statusLinePending = false;
}

// What went wrong while running comes after the summary, as the last word.
void HostCli::fail(const QString& line)
{
    failed = true;
    if (inLoop)
        failuresInLoop << QStringLiteral("ybrowser-host: ") + line;
    else
        say(QStringLiteral("ybrowser-host: ") + line);
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
    if (sheet.save(options.sheet))
        say(QStringLiteral("contact sheet: %1").arg(options.sheet));
    else
        fail(QStringLiteral("cannot write the contact sheet \"%1\": check that its folder exists and is writable").arg(options.sheet));
}
