// Crashes on purpose in the way its arguments ask, with the crash handler
// installed at the given level:
//   CrashProbe <level> <dump directory> <tag> <way>
// Before crashing it prints "crashing at <monotonic ns>" on stdout.
#include "CrashHandler.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

static std::atomic<int> readyToCrash{0};
static char* volatile heapMarker = nullptr;

static void announceCrash()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("crashing at %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
}

__attribute__((noinline)) static void crashByNullWrite()
{
    volatile int* volatile target = nullptr;
    announceCrash();
    *target = 42;
}

__attribute__((noinline)) static void crashByAbort()
{
    announceCrash();
    std::abort();
}

struct Shape {
    Shape() { describe(); }
    virtual ~Shape() = default;
    virtual int corners() const = 0;
    __attribute__((noinline)) void describe() const { std::printf("%d\n", corners()); }
};

struct Square : Shape {
    int corners() const override { return 4; }
};

__attribute__((noinline)) static void crashByPureCall()
{
    announceCrash();
    Square square;
    std::printf("%d\n", square.corners());
}

__attribute__((noinline)) static int crashByStackOverflow(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    if (depth == 0)
        announceCrash();
    return crashByStackOverflow(depth + 1) + frame[0];
}

static void onSecondThread(void (*crash)())
{
    std::thread worker(crash);
    worker.join();
}

__attribute__((noinline)) static void crashTogether()
{
    readyToCrash.fetch_add(1);
    while (readyToCrash.load() < 2) {
    }
    volatile int* volatile target = nullptr;
    *target = 7;
}

static void crashTwoThreadsAtOnce()
{
    announceCrash();
    std::thread first(crashTogether);
    onSecondThread(crashTogether);
    first.join();
}

static void startSleepingThreads()
{
    for (int i = 0; i < 2; ++i)
        std::thread([] {
            for (;;)
                pause();
        }).detach();
    usleep(50000);
}

// Built backwards so that the text exists only on the heap, not in the program file.
__attribute__((noinline)) static void crashWithHeapMarker()
{
    const char reversed[] = "-REKRAM-PAEH-RBY";
    heapMarker = static_cast<char*>(std::malloc(4096));
    const size_t length = sizeof reversed - 1;
    for (size_t i = 0; i < length; ++i)
        heapMarker[i] = reversed[length - 1 - i];
    std::snprintf(heapMarker + length, 64, "%d", int(getpid()));
    crashByNullWrite();
}

// As a hardened system does: no ptrace at all, no reading of this process's
// memory from another one; a process may still read its own.
static void forbidAttaching()
{
    const __u32 self = __u32(getpid());
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ptrace, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_process_vm_readv, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, self, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::perror("seccomp");
        std::exit(3);
    }
}

static void throwThroughNoexcept() noexcept
{
    announceCrash();
    throw std::runtime_error("nobody catches this");
}

static void replaceHandler()
{
    signal(SIGSEGV, SIG_DFL);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGSEGV, &ignore, nullptr);
}

static const std::map<std::string, void (*)()> kWays = {
    {"nullwrite", [] { startSleepingThreads(); crashByNullWrite(); }},
    {"abort", crashByAbort},
    {"purecall", crashByPureCall},
    {"thread", [] { onSecondThread(crashByNullWrite); }},
    {"overflow", [] { crashByStackOverflow(0); }},
    {"overflow-thread", [] { onSecondThread([] { crashByStackOverflow(0); }); }},
    {"together", crashTwoThreadsAtOnce},
    {"heap", crashWithHeapMarker},
    {"noattach", [] { startSleepingThreads(); forbidAttaching(); crashByNullWrite(); }},
    {"replace", [] { replaceHandler(); crashByNullWrite(); }},
    {"closed", [] { CloseUnhandledException(); crashByNullWrite(); }},
    {"closed-replace", [] { CloseUnhandledException(); signal(SIGSEGV, SIG_DFL); crashByNullWrite(); }},
    {"terminate", throwThroughNoexcept},
};

int main(int argc, char* argv[])
{
    const auto way = argc == 5 ? kWays.find(argv[4]) : kWays.end();
    if (way == kWays.end()) {
        std::fprintf(stderr, "usage: %s <level> <dump directory> <tag> <way>\n", argv[0]);
        return 2;
    }
    const int level = std::atoi(argv[1]);
    if (level >= 1)
        OpenUnhandledException(level == 2, argv[2], argv[3]);
    way->second();
    return 4;
}
