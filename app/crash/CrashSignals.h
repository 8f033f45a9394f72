#pragma once

#include <csignal>

namespace crash {

// The signal side of crash handling: one handler for every crash signal,
// run on an alternate stack so that a stack overflow still reaches it, and a
// guard that keeps other code from replacing it while protection is on.
class CrashSignals
{
public:
    // Returns false when the crash could not be handled; the signal then
    // takes its default action.
    using Handler = bool (*)(int signo, siginfo_t* info, void* context);

    static bool install(Handler handler);
    static void setProtected(bool on);
    static bool isCrashSignal(int signo);
    static bool guards(int signo);
    static bool installed() { return handler() != nullptr; }
    static Handler handler();

private:
    static void handleSignal(int signo, siginfo_t* info, void* context);
    static bool installAlternateStack();
    static void fallBackToDefault(int signo, const siginfo_t* info);
};

} // namespace crash
