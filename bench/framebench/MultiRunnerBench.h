#pragma once

#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <vector>

class QTextStream;

// Several runners at once on one page, every one consumed by the same host
// loop: what the browser sources of one streaming setup cost together.
class MultiRunnerBench
{
public:
    struct Runner {
        double takenPerSecond = 0;
        double newPerSecond = 0;
        double cpuPercent = 0;      // the runner and its helpers, 100 % = one core
        double privateMiB = 0;
        double sharedMiB = 0;
        double pssMiB = 0;
    };
    struct Result {
        int count = 0;
        QString page;
        QSize size;
        double seconds = 0;
        double totalCpuPercent = 0;
        std::vector<Runner> runners;   // empty when they did not all start
    };

    MultiRunnerBench(const QString& runnerPath, const QByteArray& config, int seconds);

    Result run(const QString& pageUrl, const QString& page, const QSize& size, int count);

    static void printHeader(QTextStream& out);
    static void print(QTextStream& out, const Result& result);
    static void printCsv(QTextStream& out, const std::vector<Result>& results);

private:
    QString runnerPath;
    int seconds;
    QTemporaryDir home;
};
