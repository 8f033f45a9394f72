// The real start-up sequence with recording hooks and a host link that quits at once: one trace line a step.
#include "HookLists.h"
#include "LogWriter.h"
#include "RunnerStartup.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {
void trace(const QString& line) { std::puts(line.toUtf8().constData()); }

QString state(const char* step)
{
    return QStringLiteral("%1 app=%2 name=%3 log=%4 cancel=%5")
        .arg(QLatin1String(step))
        .arg(QCoreApplication::instance() ? 1 : 0)
        .arg(QCoreApplication::instance() ? QCoreApplication::applicationName() : QString())
        .arg(LogWriter::currentLogWriter() ? 1 : 0)
        .arg(QCoreApplication::instance() ? QCoreApplication::translate("QPlatformTheme", "Cancel") : QString());
}

struct HostLinkProbe : QObject {
    ~HostLinkProbe() override { trace(state("hostlink-destroyed")); }
};

HookRegistration first(startupHooks(), [] { trace(state("startup-hook-1")); });
HookRegistration second(startupHooks(), [] { trace(state("startup-hook-2")); });
HookRegistration atExit(exitHooks(), [] { trace(state("exit-hook")); });
}

int main(int argc, char* argv[])
{
    const int status = RunnerStartup::run(argc, argv, [](const QString& server, const QString& params, const QString& hello) {
        trace(state("hostlink") + QStringLiteral(" args=%1|%2|%3 gles=%4 tab=%5").arg(server, params, hello)
                                      .arg(QCoreApplication::testAttribute(Qt::AA_UseOpenGLES))
                                      .arg(QCoreApplication::translate("TabWidget", "新建标签")));
        log("probe");
        QTimer::singleShot(0, qApp, [] { trace(state("loop")); QCoreApplication::exit(0); });
        return std::unique_ptr<QObject>(new HostLinkProbe);
    });
    trace(QStringLiteral("status=%1 app=%2").arg(status).arg(QCoreApplication::instance() ? 1 : 0));
    return status;
}
