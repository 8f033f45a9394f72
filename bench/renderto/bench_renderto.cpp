// Times YWebView_Qt::renderTo into a caller's buffer, the whole-frame path
// the runner takes every 30 ms, at several page sizes.
//   bench_renderto [frames]
#include "HookLists.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "WebView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const QByteArray page =
    "<html><head><style>"
    "body { margin: 0; font: 16px sans-serif; background: linear-gradient(135deg, #fdfbfb, #3366cc); }"
    "@keyframes spin { to { transform: rotate(360deg); } }"
    ".box { width: 200px; height: 200px; margin: 40px; background: #cc3333; animation: spin 2s linear infinite; }"
    "</style></head><body><h1>Frame timing</h1><div class=box></div>"
    "<p>" + QByteArray("Lorem ipsum dolor sit amet, consectetur adipiscing elit. ").repeated(60) + "</p>"
    "</body></html>";

void measure(TabWidget& tabs, WebView* view, const QSize& size, int frames, QTextStream& out)
{
    tabs.setPageSize(size);
    std::vector<uchar> buffer(size_t(size.width()) * size.height() * 4);
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < frames; ++i) {
        timer.start();
        view->renderTo(buffer.data());
        times.push_back(timer.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }
    // The same frame copied by memcpy in the same tight loop, for scale.
    std::vector<uchar> copy(buffer.size());
    std::vector<double> copies;
    for (int i = 0; i < frames; ++i) {
        timer.start();
        std::memcpy(copy.data(), buffer.data(), buffer.size());
        copies.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::sort(copies.begin(), copies.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    out << QString("%1x%2  frames %3  min %4 ms  median %5 ms  mean %6 ms  max %7 ms  (%8 frames/s)"
                   "  memcpy median %9 ms\n")
               .arg(size.width()).arg(size.height()).arg(frames)
               .arg(times.front(), 0, 'f', 2).arg(times[times.size() / 2], 0, 'f', 2)
               .arg(sum / frames, 0, 'f', 2).arg(times.back(), 0, 'f', 2)
               .arg(1000.0 / (sum / frames), 0, 'f', 1).arg(copies[copies.size() / 2], 0, 'f', 2);
    out.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    runHooks(startupHooks());
    YUILIB::initialise();
    const int frames = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 100;

    LocalHttpServer server;
    if (!server.start())
        return 1;
    server.servePage("/", page);
    TabWidget tabs;
    tabs.setPageSize(QSize(800, 600));
    tabs.resize(400, 300);
    tabs.move(-99999, -99999);
    tabs.show();
    WebView* view = tabs.createTab();
    QSignalSpy finished(&tabs, &TabWidget::loadFinished);
    view->setUrl(server.url("/").toString());
    if (!finished.wait(20000))
        return 1;

    QTextStream out(stdout);
    for (const QSize& size : { QSize(800, 600), QSize(1280, 720), QSize(1920, 1080), QSize(3840, 2160) })
        measure(tabs, view, size, frames, out);
    return 0;
}
