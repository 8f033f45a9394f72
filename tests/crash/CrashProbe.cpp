// CrashProbe <level> <dump directory> <tag> <way>: the crash handler at that level, a heap marker, the crash asked.
#include "CrashHandler.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

static std::atomic<int> started{0};
static volatile int* volatile nowhere = nullptr;

__attribute__((noinline)) static void crashByNullWrite()
{
    *nowhere = 42;
}

__attribute__((noinline)) static void crashByAbort()
{
    std::abort();
}

struct Shape {
    Shape() { describe(); }
    virtual int corners() const = 0;
    __attribute__((noinline)) void describe() const { std::printf("%d\n", corners()); }
};
struct Square : Shape {
    int corners() const override { return 4; }
};

__attribute__((noinline)) static void crashByPureCall()
{
    Square square;
}

__attribute__((noinline)) static int crashByStackOverflow(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    if (depth == 0) // a call makes every level an ordinary frame: lldb 14 crashes unwinding the leaf version
        std::fflush(stdout);
    return crashByStackOverflow(depth + 1) + frame[0];
}

__attribute__((noinline)) static void crashTogether()
{
    for (started.fetch_add(1); started.load() < 2;) {
    }
    *nowhere = 7;
}

static void startSleepingThreads()
{
    for (int i = 0; i < 2; ++i)
        std::thread([] { started.fetch_add(1); for (;;) pause(); }).detach();
    while (started.load() < 2) {
    }
}

// Built backwards so that the text exists only on the heap, not in the program file.
static void leaveHeapMarker()
{
    const char reversed[] = "-REKRAM-PAEH-RBY";
    char* marker = static_cast<char*>(std::malloc(4096));
    for (size_t i = 0; i + 1 < sizeof reversed; ++i)
        marker[i] = reversed[sizeof reversed - 2 - i];
    std::snprintf(marker + sizeof reversed - 1, 64, "%d", int(getpid()));
}

// As a hardened system does: no ptrace, no reading of this process from another; it may still read its own memory.
static void forbidAttaching()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ptrace, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_process_vm_readv, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(getpid()), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        std::exit(3);
}

// Every way of taking the crash signals over is ignored; other signals stay free, or SIGUSR1 would end the probe.
static void replaceHandlers()
{
    const auto lookedUp = reinterpret_cast<decltype(&sigaction)>(dlsym(RTLD_DEFAULT, "sigaction"));
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    for (int signo : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS}) {
        signal(signo, SIG_DFL);
        sigaction(signo, &ignore, nullptr);
        lookedUp(signo, &ignore, nullptr);
    }
    signal(SIGUSR1, SIG_IGN);
    raise(SIGUSR1);
}

static const std::map<std::string, void (*)()> kWays = {
    {"nullwrite", [] { startSleepingThreads(); crashByNullWrite(); }},
    {"abort", crashByAbort},
    {"purecall", crashByPureCall},
    {"thread", [] { std::thread(crashByNullWrite).join(); }},
    {"overflow", [] { crashByStackOverflow(0); }},
    {"overflow-thread", [] { std::thread(crashByStackOverflow, 0).join(); }},
    {"together", [] { std::thread first(crashTogether); std::thread(crashTogether).join(); first.join(); }},
    {"noattach", [] { startSleepingThreads(); forbidAttaching(); crashByNullWrite(); }},
    {"replace", [] { replaceHandlers(); crashByNullWrite(); }},
    {"closed", [] { CloseUnhandledException(); crashByNullWrite(); }},
    {"closed-replace", [] { CloseUnhandledException(); signal(SIGSEGV, SIG_DFL); crashByNullWrite(); }},
    {"terminate", [] { [&]() noexcept { throw std::runtime_error("nobody catches this"); }(); }},
};

int main(int argc, char* argv[])
{
    const auto way = argc == 5 ? kWays.find(argv[4]) : kWays.end();
    if (way == kWays.end())
        return 2;
    if (std::atoi(argv[1]) >= 1)
        OpenUnhandledException(std::atoi(argv[1]) == 2, argv[2], argv[3]);
    leaveHeapMarker();
    way->second();
    return 4;
}
