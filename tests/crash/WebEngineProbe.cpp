// Loads one page in Qt WebEngine with the crash handler installed, then
// crashes on purpose:  WebEngineProbe <level> <dump directory> <url>
// Prints "title: <page title>" and whether the crash handlers survived
// Chromium's start ("handlers kept" or "handlers replaced"), then
// "crashing at <monotonic ns>".
#include "CrashHandler.h"

#include <QApplication>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

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
    if (argc != 4)
        return 2;
    OpenUnhandledException(std::atoi(argv[1]) == 2, argv[2], "WebEngineProbe");
    struct sigaction installed[7] = {};
    for (int i = 0; i < 7; ++i)
        sigaction(kCrashSignals[i], nullptr, &installed[i]);

    QApplication application(argc, argv);
    QWebEngineView view;
    view.resize(400, 300);
    QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("loaded: %s\ntitle: %s\n%s\ncrashing at %lld\n", ok ? "true" : "false", qPrintable(view.title()),
                    sameHandlers(installed) ? "handlers kept" : "handlers replaced",
                    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fflush(stdout);
        crashAfterPageLoaded();
    });
    view.load(QUrl(QString::fromLocal8Bit(argv[3])));
    view.show();
    return QApplication::exec();
}
