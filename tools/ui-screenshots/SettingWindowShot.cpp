#include "SettingWindowShot.h"

#include "BrowserParams.h"
#include "TabWidget.h"
#include "YBrowserRunner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// A page file in `dir` whose title is also its text.
QString page(const QTemporaryDir &dir, const QString &name, const QString &title, const QString &background)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("<html><head><meta charset='utf-8'><title>%1</title></head>"
                                  "<body style='margin:0;padding:40px;font:28px sans-serif;color:#333;"
                                  "background:%2'>%1</body></html>")
                       .arg(title, background)
                       .toUtf8());
    }
    return QUrl::fromLocalFile(file.fileName()).toString();
}

bool waitFor(const std::function<bool()> &done, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

} // namespace

bool grabSettingWindow(const QString &file)
{
    const QString longTitle = QStringLiteral("YBrowserRunner demo: a page title longer than its tab");
    const QTemporaryDir dir;
    BrowserParams p;
    p.urls = QStringList{page(dir, QStringLiteral("demo.html"), longTitle, QStringLiteral("#f4f6f9")),
                         page(dir, QStringLiteral("weather.html"), QStringLiteral("Weather desk"), QStringLiteral("#e8f1fb"))};
    p.currentUrl = p.urls.first();
    p.pageSize = QSize(1280, 720);
    p.sharedMemoryKey = QStringLiteral("ui-screenshots-%1").arg(QCoreApplication::applicationPid());
    p.windowRect = QRect(0, 0, 957, 635);
    p.hidden = false;
    YBrowserRunner runner(p);
    runner.show();
    TabWidget *tabs = runner.findChild<TabWidget *>();
    const bool loaded = waitFor([&] { return tabs->tabText(0) == longTitle && tabs->tabText(1) == "Weather desk"; }, 60000);
    waitFor([] { return false; }, 1500);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(runner.winId());
    return loaded && shot.save(file);
}
