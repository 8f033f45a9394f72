#include "CrashReporter.h"

#include "DumpFileName.h"
#include "LocalTimeTable.h"
#include "MinidumpWriter.h"
#include "ProcessInspector.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace crash {

struct ReservedMemory {
    DumpSettings settings;
    LocalTimeTable localTime;
    char path[kPathBufferSize];
    CrashSnapshot snapshot;
    alignas(16) unsigned char inspector[sizeof(ProcessInspector)];
    alignas(16) unsigned char writer[sizeof(MinidumpWriter)];
    alignas(16) unsigned char helperStack[256 * 1024];
};

namespace {

ReservedMemory* reserved = nullptr;
// Holds the id of the thread that writes the dump; never released.
std::atomic<pid_t> dumpingThread{0};

pid_t currentThreadId()
{
    return pid_t(syscall(SYS_gettid));
}

} // namespace

bool CrashReporter::prepare(const DumpSettings& settings)
{
    if (!reserved) {
        void* memory = mmap(nullptr, sizeof(ReservedMemory), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            return false;
        reserved = new (memory) ReservedMemory;
    }
    reserved->settings = settings;
    reserved->localTime.prepare(time(nullptr));
    return true;
}

bool CrashReporter::handleCrash(int signo, siginfo_t* info, void* context)
{
    (void)signo;
    const pid_t tid = currentThreadId();
    pid_t expected = 0;
    if (!reserved || !dumpingThread.compare_exchange_strong(expected, tid)) {
        if (expected == tid || !reserved)
            return false;
        waitForTheEnd();
    }
    const time_t when = time(nullptr);
    const int fd = openDumpFile(when);
    if (fd < 0)
        return false;
    CrashContext crash{getpid(), tid, fd, -1, when, info, context, true};
    writeDump(crash);
    close(fd);
    syscall(SYS_exit_group, 0);
    return true;
}

int CrashReporter::openDumpFile(time_t when)
{
    const CivilTime local = civilTime(int64_t(when) + reserved->localTime.offsetAt(when));
    const DumpSettings& settings = reserved->settings;
    if (!formatDumpPath(reserved->path, sizeof reserved->path, settings.dumpDirectory, settings.dumpTag, local))
        return -1;
    const int fd = open(reserved->path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0)
        fchmod(fd, 0600);
    return fd;
}

void CrashReporter::writeDump(CrashContext& crash)
{
    // The helper must be allowed to attach even where only ancestors may.
    if (prctl(PR_GET_DUMPABLE) != 1)
        prctl(PR_SET_DUMPABLE, 1);
    int startPipe[2] = {-1, -1};
    if (pipe2(startPipe, O_CLOEXEC) == 0)
        crash.startPipe = startPipe[0];
    unsigned char* stackTop = reserved->helperStack + sizeof reserved->helperStack;
    const pid_t helper = clone(&CrashReporter::runHelper, stackTop, CLONE_FILES | CLONE_FS | CLONE_UNTRACED, &crash);
    if (helper > 0) {
        prctl(PR_SET_PTRACER, helper);
        if (startPipe[1] >= 0)
            (void)!write(startPipe[1], "g", 1);
    }
    if (startPipe[1] >= 0)
        close(startPipe[1]);
    int status = 0;
    const bool helped = helper > 0 && waitForHelper(helper, &status) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (startPipe[0] >= 0)
        close(startPipe[0]);
    if (helped)
        return;
    // No helper, or it failed: the crashing thread alone, from here.
    ftruncate(crash.fd, 0);
    lseek(crash.fd, 0, SEEK_SET);
    crash.attachOthers = false;
    inspectAndWrite(crash);
}

// A helper stuck on a thread that never stops must not hang the process.
bool CrashReporter::waitForHelper(pid_t helper, int* status)
{
    const timespec pause = {0, 2 * 1000 * 1000};
    for (long waited = 0; waited < kHelperTimeoutMs; waited += 2) {
        const pid_t done = waitpid(helper, status, __WALL | WNOHANG);
        if (done == helper)
            return true;
        if (done < 0 && errno != EINTR)
            return false;
        nanosleep(&pause, nullptr);
    }
    kill(helper, SIGKILL);
    while (waitpid(helper, status, __WALL) < 0 && errno == EINTR) {
    }
    return false;
}

int CrashReporter::runHelper(void* argument)
{
    const CrashContext& crash = *static_cast<const CrashContext*>(argument);
    if (crash.startPipe >= 0) {
        char go;
        while (read(crash.startPipe, &go, 1) < 0 && errno == EINTR) {
        }
    }
    return inspectAndWrite(crash) ? 0 : 1;
}

bool CrashReporter::inspectAndWrite(const CrashContext& crash)
{
    CrashSnapshot& snapshot = reserved->snapshot;
    auto* inspector = new (reserved->inspector) ProcessInspector(snapshot, crash.pid);
    inspector->recordCrash(crash.tid, *crash.info, *static_cast<const ucontext_t*>(crash.context));
    if (crash.attachOthers)
        inspector->attachOtherThreads();
    inspector->readMappings();
    inspector->findStacks();
    inspector->findModules();
    inspector->planMemory(reserved->settings.fullMemory);
    inspector->readSystem();
    snapshot.crashTime = uint32_t(crash.when);

    char paths[6][ProcessInspector::kProcPathSize];
    ProcessInspector::procPath(paths[0], crash.pid, "status");
    ProcessInspector::procPath(paths[1], crash.pid, "cmdline");
    ProcessInspector::procPath(paths[2], crash.pid, "environ");
    ProcessInspector::procPath(paths[3], crash.pid, "auxv");
    ProcessInspector::procPath(paths[4], crash.pid, "maps");
    const FileStream files[] = {
        {md::LinuxCpuInfoStream, "/proc/cpuinfo"}, {md::LinuxProcStatusStream, paths[0]},
        {md::LinuxCmdLineStream, paths[1]},        {md::LinuxEnvironStream, paths[2]},
        {md::LinuxAuxvStream, paths[3]},           {md::LinuxMapsStream, paths[4]},
    };
    auto* writer = new (reserved->writer) MinidumpWriter(crash.fd, snapshot, *inspector);
    const bool written = writer->write(files, int(sizeof files / sizeof files[0]));
    inspector->release();
    return written;
}

void CrashReporter::waitForTheEnd()
{
    for (;;)
        pause();
}

} // namespace crash
