#include "ybrowserhost.h"

#include "FrameReader.h"
#include "RunnerHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QUuid>

#include <unistd.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Event {
    int type = 0;
    std::string text, title, url;
    int width = 0, height = 0;
    QImage snapshot;
    std::vector<std::string> urls;
    int exitCode = 0;
};

void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "ybrowserhost";
    static char* argv[] = { name, nullptr };
    // Kept until the process ends: handles made later need it too.
    new QCoreApplication(argc, argv);
}

// Runs the event loop for up to ms milliseconds, or only what is pending for 0.
void pump(int ms)
{
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Chromium refuses to start as root with its sandbox on.
QString sandboxHint()
{
    if (geteuid() != 0 || qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox")))
        return QString();
    return QStringLiteral(" (as root it needs QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox)");
}

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace

struct YbhHost {
    RunnerHost runner;
    std::unique_ptr<FrameReader> reader;
    BrowserParams params;
    bool started = false;
    bool ended = false;
    std::string error;
    std::deque<Event> events;
    Event current;
    std::vector<const char*> currentUrls;
    FrameReader::Frame frame;

    YbhHost();
    int fail(int code, const QString& message)
    {
        error = utf8(message);
        return code;
    }
    int checkRunning()
    {
        if (!started)
            return fail(YBH_ERROR_STATE, QStringLiteral("the runner has not been started"));
        QCoreApplication::processEvents();
        if (ended)
            return fail(YBH_ERROR_ENDED, QStringLiteral("the runner has ended"));
        return YBH_OK;
    }
    template <typename... Fields>
    int command(qint32 code, const Fields&... fields)
    {
        if (const int status = checkRunning())
            return status;
        runner.send(code, fields...);
        QCoreApplication::processEvents();
        return YBH_OK;
    }
    int start(const YbhStartOptions& options);
};

YbhHost::YbhHost()
{
    QObject::connect(&runner, &RunnerHost::connectDone, [this](const QString& text) {
        Event e;
        e.type = YBH_EVENT_CONNECT_DONE;
        e.text = utf8(text);
        const QStringList parts = text.split(QLatin1Char('X'));
        e.width = parts.value(0).toInt();
        e.height = parts.value(1).toInt();
        events.push_back(e);
    });
    QObject::connect(&runner, &RunnerHost::loadFinished,
                     [this](const QString& title, const QImage& image, const QString& url) {
        Event e;
        e.type = YBH_EVENT_LOAD_FINISHED;
        e.title = utf8(title);
        e.url = utf8(url);
        e.snapshot = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32);
        e.width = e.snapshot.width();
        e.height = e.snapshot.height();
        events.push_back(e);
    });
    QObject::connect(&runner, &RunnerHost::settingDone, [this](const BrowserParams& record) {
        Event e;
        e.type = YBH_EVENT_SETTING_DONE;
        e.url = utf8(record.currentUrl);
        e.width = record.pageSize.width();
        e.height = record.pageSize.height();
        for (const QString& url : record.urls)
            e.urls.push_back(utf8(url));
        events.push_back(e);
    });
    QObject::connect(&runner, &RunnerHost::runnerFinished, [this](int exitCode) {
        ended = true;
        // Our own attachment keeps a killed runner's segment alive; letting
        // go of it removes segment and lock.
        reader.reset();
        Event e;
        e.type = YBH_EVENT_RUNNER_ENDED;
        e.exitCode = exitCode;
        events.push_back(e);
    });
}

static bool pageFits(int width, int height)
{
    const FrameLayout::PageExtent bounded = FrameLayout::boundedPage(width, height);
    return bounded.width == width && bounded.height == height;
}

static QString pageSizeError(int width, int height)
{
    return QStringLiteral("page size %1x%2 is outside 1x1 to %3x%4")
        .arg(width).arg(height).arg(FrameLayout::MaxWidth).arg(FrameLayout::MaxHeight);
}

int YbhHost::start(const YbhStartOptions& options)
{
    if (started)
        return fail(YBH_ERROR_STATE, QStringLiteral("the runner has already been started"));
    // 0 x 0 keeps the record's default size.
    const bool keepDefault = options.width == 0 && options.height == 0;
    if (!keepDefault && !pageFits(options.width, options.height))
        return fail(YBH_ERROR_ARGUMENT, pageSizeError(options.width, options.height));
    if (options.width > 0 && options.height > 0)
        params.pageSize = QSize(options.width, options.height);
    if (options.url) {
        params.currentUrl = QString::fromUtf8(options.url);
        params.urls = QStringList { params.currentUrl };
    }
    params.sharedMemoryKey = options.segment_key && *options.segment_key
        ? QString::fromUtf8(options.segment_key)
        : QStringLiteral("ybrowserhost-") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    params.hidden = !options.shown;
    const QString path = options.runner_path ? QString::fromUtf8(options.runner_path) : RunnerHost::defaultRunnerPath();
    if (!QFileInfo(path).isExecutable())
        return fail(YBH_ERROR_START, QStringLiteral("no runner at %1 (give runner_path or set YBR_RUNNER)").arg(path));
    runner.setRunnerPath(path);
    runner.setHeartbeatInterval(options.heartbeat_ms < 0 ? 0 : options.heartbeat_ms == 0 ? 5000 : options.heartbeat_ms);
    if (!runner.start(params))
        return fail(YBH_ERROR_START, QStringLiteral("cannot start %1: %2").arg(path, runner.process().errorString()));
    started = true;
    const int timeout = options.connect_timeout_ms > 0 ? options.connect_timeout_ms : 20000;
    if (!runner.waitForConnectDone(timeout) && ended)
        return fail(YBH_ERROR_CONNECT, QStringLiteral("the runner ended with status %1 before it connected%2")
                                           .arg(runner.process().exitCode()).arg(sandboxHint()));
    if (runner.connectDoneText().isEmpty()) {
        runner.process().kill();
        runner.waitForFinished(5000);
        return fail(YBH_ERROR_CONNECT, QStringLiteral("the runner did not connect within %1 ms%2")
                                           .arg(timeout).arg(sandboxHint()));
    }
    reader = std::make_unique<FrameReader>(params.sharedMemoryKey);
    if (!reader->attach())
        return fail(YBH_ERROR_SEGMENT, QStringLiteral("cannot attach the frame segment \"%1\": %2")
                                           .arg(params.sharedMemoryKey, reader->segment().errorString()));
    return YBH_OK;
}

extern "C" {

YbhHost* ybh_create(void)
{
    ensureApplication();
    return new YbhHost;
}

void ybh_destroy(YbhHost* host)
{
    if (!host)
        return;
    if (host->started && !host->ended)
        ybh_stop(host, 5000);
    delete host;
}

const char* ybh_error_message(const YbhHost* host)
{
    return host ? host->error.c_str() : "no handle";
}

int ybh_start(YbhHost* host, const YbhStartOptions* options)
{
    if (!host)
        return YBH_ERROR_ARGUMENT;
    return host->start(options ? *options : YbhStartOptions {});
}

int ybh_stop(YbhHost* host, int timeout_ms)
{
    if (!host)
        return YBH_ERROR_ARGUMENT;
    if (!host->started)
        return host->fail(YBH_ERROR_STATE, QStringLiteral("the runner has not been started"));
    host->reader.reset();
    if (!host->ended) {
        host->runner.send(Quit);
        if (!host->runner.waitForFinished(qMax(timeout_ms, 0))) {
            host->runner.process().kill();
            host->runner.waitForFinished(5000);
        }
    }
    return YBH_OK;
}

int ybh_change_url(YbhHost* host, const char* url)
{
    if (!host || !url)
        return YBH_ERROR_ARGUMENT;
    return host->command(ChangeUrl, QString::fromUtf8(url));
}

int ybh_set_mute(YbhHost* host, int muted)
{
    return host ? host->command(SetMute, muted != 0) : YBH_ERROR_ARGUMENT;
}

int ybh_set_visible(YbhHost* host, int visible)
{
    return host ? host->command(SetVisible, visible != 0) : YBH_ERROR_ARGUMENT;
}

int ybh_whole_image(YbhHost* host)
{
    return host ? host->command(WholeImage) : YBH_ERROR_ARGUMENT;
}

int ybh_enter_setting(YbhHost* host)
{
    return host ? host->command(EnterSetting) : YBH_ERROR_ARGUMENT;
}

int ybh_set_page_size(YbhHost* host, int width, int height)
{
    if (!host)
        return YBH_ERROR_ARGUMENT;
    if (!pageFits(width, height))
        return host->fail(YBH_ERROR_ARGUMENT, pageSizeError(width, height));
    host->params.pageSize = QSize(width, height);
    return host->command(UpdateBrowserParams, host->params);
}

int ybh_heartbeat(YbhHost* host)
{
    if (!host)
        return YBH_ERROR_ARGUMENT;
    if (const int status = host->checkRunning())
        return status;
    host->runner.sendHeartbeat();
    return YBH_OK;
}

int ybh_poll_frame(YbhHost* host, YbhFrame* frame, int timeout_ms)
{
    if (!host || !frame)
        return YBH_ERROR_ARGUMENT;
    if (!host->started)
        return host->fail(YBH_ERROR_STATE, QStringLiteral("the runner has not been started"));
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QCoreApplication::processEvents();
        if (host->reader && host->reader->take(host->frame))
            break;
        if (host->ended)
            return host->fail(YBH_ERROR_ENDED, QStringLiteral("the runner has ended"));
        if (clock.elapsed() >= timeout_ms)
            return YBH_NOTHING;
        pump(5);
    }
    const FrameReader::Frame& f = host->frame;
    *frame = YbhFrame {};
    frame->buffer = f.buffer;
    frame->whole_frame = f.header.wholeFrame;
    frame->engine_flag = f.header.engineFlag;
    frame->width = f.header.size.width();
    frame->height = f.header.size.height();
    frame->dirty_x = f.header.dirty.x();
    frame->dirty_y = f.header.dirty.y();
    frame->dirty_width = f.header.dirty.width();
    frame->dirty_height = f.header.dirty.height();
    frame->pixels = f.image.isNull() ? nullptr : f.image.constBits();
    frame->stride = f.image.isNull() ? 0 : size_t(f.image.bytesPerLine());
    return YBH_OK;
}

int ybh_next_event(YbhHost* host, YbhEvent* event, int timeout_ms)
{
    if (!host || !event)
        return YBH_ERROR_ARGUMENT;
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::processEvents();
    while (host->events.empty()) {
        if (clock.elapsed() >= timeout_ms)
            return YBH_NOTHING;
        pump(5);
    }
    host->current = std::move(host->events.front());
    host->events.pop_front();
    const Event& e = host->current;
    host->currentUrls.clear();
    for (const std::string& url : e.urls)
        host->currentUrls.push_back(url.c_str());
    *event = YbhEvent {};
    event->type = e.type;
    event->text = e.text.c_str();
    event->title = e.title.c_str();
    event->url = e.url.c_str();
    event->width = e.width;
    event->height = e.height;
    event->snapshot = e.snapshot.isNull() ? nullptr : e.snapshot.constBits();
    event->urls = host->currentUrls.data();
    event->url_count = int(host->currentUrls.size());
    event->exit_code = e.exitCode;
    return YBH_OK;
}

int ybh_process_events(YbhHost* host, int timeout_ms)
{
    if (!host)
        return YBH_ERROR_ARGUMENT;
    pump(timeout_ms);
    return YBH_OK;
}

} // extern "C"
