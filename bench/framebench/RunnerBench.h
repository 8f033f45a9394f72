#pragma once

#include "BenchResult.h"

#include <QString>
#include <QTemporaryDir>

class FrameReader;
class RunnerHost;

// Drives the real runner through the host library: once with capture off for
// the engine's own pace, once as a consuming host taking every frame.
class RunnerBench
{
public:
    // settings: the runner's [General] entries, one "Key=value" line each;
    // frameInterval is the FrameInterval among them (0 when absent).
    RunnerBench(const QString& runnerPath, const QByteArray& settings, int frameInterval, int seconds);

    BenchResult run(const QString& pageUrl, const QString& page, const QSize& size);

private:
    struct Timings {
        std::vector<double> renderMs;
        std::vector<double> intervalMs;
        int paints = 0;
        std::vector<qint64> paintUs;
        std::vector<qint64> frameEndUs;   // after the frame whose render started at frameStartUs
        std::vector<qint64> frameStartUs;
    };

    bool startRunner(RunnerHost& host, const QString& pageUrl, const QSize& size, bool capture, const QString& key);
    void stopRunner(RunnerHost& host);
    double measureUncaptured(const QString& pageUrl, const QSize& size, QString* note);
    void consume(RunnerHost& host, FrameReader& reader, BenchResult* result);
    Timings readTimings(qint64 from, qint64 to) const;
    static void measureMemcpy(const QSize& size, BenchResult* result);
    static std::vector<double> paintLatencies(const Timings& figures, const std::vector<qint64>& beforeUs,
        const std::vector<qint64>& afterUs);

    QString runnerPath;
    int frameInterval;
    int seconds;
    QTemporaryDir home;
};
