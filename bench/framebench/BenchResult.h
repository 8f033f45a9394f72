#pragma once

#include <QSize>
#include <QString>

#include <vector>

// One row of the benchmark: one engine, one page, one size.
struct BenchResult
{
    QString engine;
    QString page;
    QSize size;
    double seconds = 0;
    double takenPerSecond = 0;
    double newPerSecond = 0;
    double paintsUncaptured = -1;   // the engine's own pace with nobody capturing
    double paintsCaptured = -1;
    double renderMedianMs = -1;     // renderTo for the runner, decode to raw pixels for the peer
    double renderP95Ms = -1;
    double jitterP95Ms = -1;        // |interval - frame interval| of the frame requests
    double intervalMs = 30;         // the runner's FrameInterval
    double latencyP50Ms = -1;       // engine paint to the frame holding it visible in a segment header
    double latencyP95Ms = -1;
    double cpuPercent = -1;
    double residentMiB = -1;
    double memcpyMs = -1;           // one frame, source and destination in the cache
    double memcpyColdMs = -1;       // one frame between buffers the cache no longer holds, as a frame's are
    QString note;
};

double percentile(std::vector<double> values, double fraction);
