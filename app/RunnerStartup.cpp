#include "RunnerStartup.h"

#include "CrashHandler.h"
#include "HookLists.h"
#include "LogWriter.h"
#include "YConfiger.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>

QString RunnerStartup::translationFile(const QString& applicationDir, const QString& language)
{
    const QString lower = language.toLower();
    if (lower == QLatin1String("en"))
        return applicationDir + QStringLiteral("//Language//en//ybrowserrunner.qm");
    if (lower == QLatin1String("ru"))
        return applicationDir + QStringLiteral("//Language//ru//ybrowserrunner.qm");
    return applicationDir + QStringLiteral("//translations//qt_zh_CN.qm");
}

QString RunnerStartup::dumpTag()
{
    return QStringLiteral("%1_%2_%3").arg(QStringLiteral("CorvaneM1"), QStringLiteral("BrowserRunner"),
                                          QStringLiteral("4.8.0.19560"));
}

QString RunnerStartup::logDirectory(const QString& dataLocation)
{
    return dataLocation + QStringLiteral("/Log/Browser/");
}

namespace {
int printUsage(char* argv[])
{
    std::fprintf(stderr, "usage: %s <server name> <parameters in base64> <greeting>\n",
                 argv && argv[0] ? argv[0] : "YBrowserRunner");
    return RunnerStartup::UsageExitStatus;
}
}

int RunnerStartup::run(int argc, char* argv[], const HostLinkStarter& startHostLink)
{
    YConfiger* config = YConfiger::instance();
    config->loadConfig();

    if (config->readBool(QStringLiteral("UseOpenGLES")))
        QCoreApplication::setAttribute(Qt::AA_UseOpenGLES);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);

    // Qt's own options only lower the count, so too few words need no display.
    if (argc < 4)
        return printUsage(argv);
    auto application = std::make_unique<QApplication>(argc, argv);
    // Before the hooks: one of them starts the web engine, which must not
    // start for a runner run by hand.
    if (QCoreApplication::arguments().size() < 4)
        return printUsage(argv);

    runHooks(startupHooks());

    const QString language = config->readString(QStringLiteral("Language")).toLower();
    // Never deleted: translated texts may be asked for until the very end.
    static QTranslator* translator = nullptr;
    translator = new QTranslator;
    translator->load(translationFile(QCoreApplication::applicationDirPath(), language), QStringLiteral(""),
                     QStringLiteral(""), QStringLiteral(""));
    QCoreApplication::installTranslator(translator);

    QCoreApplication::setApplicationName(QStringLiteral("Corvane M1"));
    const QString dataLocation = QStandardPaths::writableLocation(QStandardPaths::DataLocation);

    const int dumpLevel = config->readInt(QStringLiteral("DumpLevel"));
    if (dumpLevel >= 1) {
        const QString dumpDirectory = dataLocation + QStringLiteral("/dump");
        QDir().mkpath(dumpDirectory);
        OpenUnhandledException(dumpLevel == 2, dumpDirectory.toLocal8Bit().constData(),
                               dumpTag().toLocal8Bit().constData());
    }

    auto logWriter = std::make_unique<LogWriter>(logDirectory(dataLocation));

    const QStringList arguments = QCoreApplication::arguments();
    std::unique_ptr<QObject> hostLink = startHostLink(arguments.at(1), arguments.at(2), arguments.at(3));

    const int status = QApplication::exec();

    runHooks(exitHooks());

    hostLink.reset();
    logWriter.reset();
    application.reset();
    return status;
}
