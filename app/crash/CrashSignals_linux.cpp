#include "CrashSignals.h"

#include "AlternateStack.h"

#include <atomic>
#include <cerrno>
#include <new>
#include <pthread.h>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

// The C library's own entry, for when nothing lies behind our sigaction.
extern "C" int __sigaction(int, const struct sigaction*, struct sigaction*);

namespace crash {

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};
constexpr size_t kAlternateStackSize = 256 * 1024;
constexpr size_t kThreadAlternateStackSize = 64 * 1024;

std::atomic<CrashSignals::Handler> crashHandler{nullptr};
std::atomic<bool> protection{false};

using SigactionFunction = int (*)(int, const struct sigaction*, struct sigaction*);
std::atomic<SigactionFunction> nextSigaction{nullptr};

// The sigaction behind ours: the C library's, or that of a library
// interposed after us.
int realSigaction(int signo, const struct sigaction* action, struct sigaction* previous)
{
    SigactionFunction next = nextSigaction.load(std::memory_order_acquire);
    if (!next) {
        next = reinterpret_cast<SigactionFunction>(dlsym(RTLD_NEXT, "sigaction"));
        if (!next)
            next = &__sigaction;
        nextSigaction.store(next, std::memory_order_release);
    }
    return next(signo, action, previous);
}

} // namespace

bool CrashSignals::isCrashSignal(int signo)
{
    for (int crashSignal : kCrashSignals)
        if (signo == crashSignal)
            return true;
    return false;
}

bool CrashSignals::guards(int signo)
{
    return protection.load() && isCrashSignal(signo);
}

CrashSignals::Handler CrashSignals::handler()
{
    return crashHandler.load();
}

void CrashSignals::setProtected(bool on)
{
    protection.store(on);
}

bool CrashSignals::install(Handler handler)
{
    crashHandler.store(handler);
    if (!installAlternateStack())
        return false;
    struct sigaction action = {};
    action.sa_sigaction = &CrashSignals::handleSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signo : kCrashSignals)
        sigaddset(&action.sa_mask, signo);
    for (int signo : kCrashSignals)
        realSigaction(signo, &action, nullptr);
    return true;
}

bool CrashSignals::installAlternateStack()
{
    // Installation runs on the main thread, which lives as long as the process.
    static AlternateStack mainStack(kAlternateStackSize);
    mainStack.keep();
    return mainStack.active();
}

void CrashSignals::handleSignal(int signo, siginfo_t* info, void* context)
{
    const Handler handler = crashHandler.load();
    if (handler && handler(signo, info, context))
        return;
    fallBackToDefault(signo, info);
}

void CrashSignals::fallBackToDefault(int signo, const siginfo_t* info)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    realSigaction(signo, &action, nullptr);
    // A fault raised by the kernel happens again on return; a signal that was
    // sent has to be sent again. It stays blocked until this handler returns.
    if (info->si_code <= 0)
        syscall(SYS_tgkill, getpid(), syscall(SYS_gettid), signo);
}

} // namespace crash

// Interposed for the whole process (the executable exports them): while
// protection is on, nobody replaces the crash handlers.
extern "C" int sigaction(int signo, const struct sigaction* action, struct sigaction* previous)
{
    if (action && crash::CrashSignals::guards(signo))
        return crash::realSigaction(signo, nullptr, previous);
    return crash::realSigaction(signo, action, previous);
}

extern "C" sighandler_t signal(int signo, sighandler_t handler)
{
    struct sigaction action = {};
    struct sigaction previous = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, signo);
    action.sa_flags = SA_RESTART;
    if (sigaction(signo, &action, &previous) != 0)
        return SIG_ERR;
    return previous.sa_handler;
}

// A pure virtual call ends in a dump like any other crash once the handler
// is in place, instead of the runtime's message and abort.
// Kept in one piece so that a debugger unwinds through it.
extern "C" __attribute__((optimize("no-reorder-blocks-and-partition"))) void __cxa_pure_virtual()
{
    if (crash::CrashSignals::installed())
        __builtin_trap();
    using PureCall = void (*)();
    if (auto next = reinterpret_cast<PureCall>(dlsym(RTLD_NEXT, "__cxa_pure_virtual")))
        next();
    abort();
}

namespace {

using ThreadStart = void* (*)(void*);
using PthreadCreateFunction = int (*)(pthread_t*, const pthread_attr_t*, ThreadStart, void*);

struct ThreadLaunch {
    ThreadStart start;
    void* argument;
};

// Every thread started once the handler is in place gets a signal stack of
// its own for its whole life: a stack overflow on it dumps too.
void* runWithAlternateStack(void* argument)
{
    const ThreadLaunch launch = *static_cast<ThreadLaunch*>(argument);
    delete static_cast<ThreadLaunch*>(argument);
    crash::AlternateStack stack(crash::kThreadAlternateStackSize);
    return launch.start(launch.argument);
}

} // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, ThreadStart start, void* argument)
{
    static const auto next = reinterpret_cast<PthreadCreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    if (!next)
        return EAGAIN;
    auto* launch = crash::CrashSignals::installed() ? new (std::nothrow) ThreadLaunch{start, argument} : nullptr;
    if (!launch)
        return next(thread, attributes, start, argument);
    const int result = next(thread, attributes, &runWithAlternateStack, launch);
    if (result != 0)
        delete launch;
    return result;
}
