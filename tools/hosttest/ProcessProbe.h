#pragma once

#include <sys/types.h>

#include <vector>

// What /proc tells about one process and the processes it started (the
// engine's helpers are the runner's children): resident memory, CPU time,
// open descriptors and threads. Linux only; another platform adds
// its own source file for the same interface.
class ProcessProbe
{
public:
    struct Usage {
        long rssKb = 0;
        // Of rssKb: private memory, and shared memory pages this process has
        // touched (the frame segment, the engine's frame transport).
        long anonKb = 0;
        long shmemKb = 0;
        double cpuSeconds = 0;
        int fds = 0;
        int threads = 0;
        int processes = 0;

        Usage& operator+=(const Usage& other);
    };

    // Resident memory split by who holds it (smaps_rollup): pages of these
    // processes alone, pages also mapped elsewhere (libraries, the frame
    // segment, fonts), and the proportional share of both.
    struct Memory {
        long privateKb = 0;
        long sharedKb = 0;
        long pssKb = 0;
    };

    explicit ProcessProbe(pid_t root);

    Usage root() const;
    // Every descendant of the root, at any depth, summed.
    Usage helpers() const;
    Usage whole() const;
    // The root and every descendant, summed.
    Memory memory() const;

private:
    static Usage read(pid_t pid);
    static Memory readMemory(pid_t pid);
    std::vector<pid_t> descendants() const;

    pid_t rootPid;
};
