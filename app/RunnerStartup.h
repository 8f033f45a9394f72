#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

// The main function's sequence: settings, application attributes, the
// application object, start-up hooks, translation, name, crash handler, log,
// host link, event loop, exit hooks, teardown in reverse.
class RunnerStartup
{
public:
    // Step 13: gets the three command-line arguments (Qt's own options
    // already removed) and returns the host link, which lives until the
    // event loop has returned and the exit hooks have run.
    using HostLinkStarter = std::function<std::unique_ptr<QObject>(const QString& serverName,
                                                                   const QString& paramsText,
                                                                   const QString& helloText)>;

    static int run(int argc, char* argv[], const HostLinkStarter& startHostLink);

    static QString translationFile(const QString& applicationDir, const QString& language);
    static QString dumpTag();
    static QString logDirectory(const QString& dataLocation);

    static constexpr int UsageExitStatus = 2;
};
