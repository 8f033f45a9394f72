#pragma once

#include "DumpSettings.h"

#include <csignal>
#include <sys/types.h>

namespace crash {

struct ReservedMemory;

// What happens at the crash: one thread wins the right to dump, names and
// creates the file, has a helper process inspect the crashed one and write
// the dump, then ends the process with status 0. Later crashing threads wait
// for that end. Everything it needs is reserved by prepare().
class CrashReporter
{
public:
    static bool prepare(const DumpSettings& settings);
    // Returns only when no dump could be started.
    static bool handleCrash(int signo, siginfo_t* info, void* context);

private:
    static constexpr long kHelperTimeoutMs = 120 * 1000;

    struct CrashContext {
        pid_t pid;
        pid_t tid;
        int fd;
        int startPipe;
        time_t when;
        const siginfo_t* info;
        const void* context;
        bool attachOthers;
    };

    static int openDumpFile(time_t when);
    static void writeDump(CrashContext& crash);
    static bool waitForHelper(pid_t helper, int* status);
    static int runHelper(void* argument);
    static bool inspectAndWrite(const CrashContext& crash);
    [[noreturn]] static void waitForTheEnd();
};

} // namespace crash
