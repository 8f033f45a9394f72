#pragma once

#include <QtGlobal>

// CPU time and resident memory of a process and all its descendants, read
// from /proc (the engine's helper processes are children of the runner).
class ProcessTree
{
public:
    struct Sample {
        double cpuSeconds = 0;
        qint64 residentBytes = 0;
    };

    explicit ProcessTree(qint64 root) : root(root) {}

    Sample sample() const;

private:
    qint64 root;
};
