// Loads one page in Qt WebEngine with the crash handler installed, then
// crashes on purpose:  WebEngineProbe <dump directory> <url>
// Prints "title: <page title>" and whether the crash handlers survived
// Chromium's start ("handlers kept" or "handlers replaced").
#include "CrashHandler.h"

#include <QApplication>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <csignal>
#include <cstdio>

static const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};

static bool sameHandlers(const struct sigaction (&before)[7])
{
    for (int i = 0; i < 7; ++i) {
        struct sigaction now = {};
        sigaction(kCrashSignals[i], nullptr, &now);
        if (now.sa_sigaction != before[i].sa_sigaction || now.sa_flags != before[i].sa_flags)
            return false;
    }
    return true;
}

__attribute__((noinline)) static void crashAfterPageLoaded()
{
    volatile int* volatile target = nullptr;
    *target = 1;
}

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    OpenUnhandledException(false, argv[1], "WebEngineProbe");
    struct sigaction installed[7] = {};
    for (int i = 0; i < 7; ++i)
        sigaction(kCrashSignals[i], nullptr, &installed[i]);

    QApplication application(argc, argv);
    QWebEngineView view;
    view.resize(400, 300);
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) {
        std::printf("loaded: %s\ntitle: %s\n%s\n", ok ? "true" : "false", qPrintable(view.title()),
                    sameHandlers(installed) ? "handlers kept" : "handlers replaced");
        std::fflush(stdout);
        crashAfterPageLoaded();
    });
    view.load(QUrl(QString::fromLocal8Bit(argv[2])));
    view.show();
    return QApplication::exec();
}
