#include "CrashHandler.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <dlfcn.h>

namespace {

const int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};

using SigactionFunction = int (*)(int, const struct sigaction*, struct sigaction*);
using SignalFunction = sighandler_t (*)(int, sighandler_t);

struct sigaction currentAction(int signo)
{
    struct sigaction action = {};
    sigaction(signo, nullptr, &action);
    return action;
}

bool sameAction(const struct sigaction& a, const struct sigaction& b)
{
    return a.sa_sigaction == b.sa_sigaction && a.sa_flags == b.sa_flags;
}

} // namespace

// The guard around the crash handlers, in a process that does not crash.
// Refused installations are proven by the crashing probe; here the functions
// run in order: protection, then closing.
class tst_CrashGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void replacingIsIgnoredWhileProtected_data();
    void replacingIsIgnoredWhileProtected();
    void closingLiftsTheGuardAndKeepsTheHandlers();

private:
    QTemporaryDir directory;
    struct sigaction installed[7] = {};
};

void tst_CrashGuard::initTestCase()
{
    OpenUnhandledException(false, directory.path().toLocal8Bit().constData(), "guard");
    for (int i = 0; i < 7; ++i) {
        installed[i] = currentAction(kCrashSignals[i]);
        QCOMPARE(installed[i].sa_flags & (SA_SIGINFO | SA_ONSTACK), SA_SIGINFO | SA_ONSTACK);
    }
}

void tst_CrashGuard::replacingIsIgnoredWhileProtected_data()
{
    QTest::addColumn<QString>("way");

    QTest::newRow("sigaction") << "sigaction";
    QTest::newRow("signal") << "signal";
    QTest::newRow("sigaction looked up at run time") << "dynamic sigaction";
    QTest::newRow("signal looked up at run time") << "dynamic signal";
}

void tst_CrashGuard::replacingIsIgnoredWhileProtected()
{
    QFETCH(QString, way);

    const auto dynamicSigaction = reinterpret_cast<SigactionFunction>(dlsym(RTLD_DEFAULT, "sigaction"));
    const auto dynamicSignal = reinterpret_cast<SignalFunction>(dlsym(RTLD_DEFAULT, "signal"));
    for (int i = 0; i < 7; ++i) {
        const int signo = kCrashSignals[i];
        struct sigaction replacement = {};
        replacement.sa_handler = SIG_DFL;
        struct sigaction reported = {};
        if (way.endsWith(QLatin1String("sigaction"))) {
            const SigactionFunction set = way == QLatin1String("sigaction") ? &sigaction : dynamicSigaction;
            QCOMPARE(set(signo, &replacement, &reported), 0);
            QVERIFY(sameAction(reported, installed[i]));
        } else {
            const SignalFunction set = way == QLatin1String("signal") ? &signal : dynamicSignal;
            QCOMPARE(quintptr(set(signo, SIG_IGN)), quintptr(installed[i].sa_handler));
        }
        QVERIFY2(sameAction(currentAction(signo), installed[i]), qPrintable(QString::number(signo)));
    }
    // Other signals stay free.
    const sighandler_t before = signal(SIGUSR1, SIG_IGN);
    QCOMPARE(quintptr(currentAction(SIGUSR1).sa_handler), quintptr(SIG_IGN));
    QCOMPARE(currentAction(SIGUSR1).sa_flags & SA_RESTART, SA_RESTART);
    QCOMPARE(quintptr(signal(SIGUSR1, before)), quintptr(SIG_IGN));
}

void tst_CrashGuard::closingLiftsTheGuardAndKeepsTheHandlers()
{
    CloseUnhandledException();
    for (int i = 0; i < 7; ++i)
        QVERIFY(sameAction(currentAction(kCrashSignals[i]), installed[i]));
    QCOMPARE(quintptr(signal(SIGTRAP, SIG_DFL)), quintptr(installed[5].sa_handler));
    QCOMPARE(quintptr(currentAction(SIGTRAP).sa_handler), quintptr(SIG_DFL));
    QCOMPARE(sigaction(SIGSEGV, &installed[0], nullptr), 0);
}

QTEST_GUILESS_MAIN(tst_CrashGuard)
#include "tst_crashguard.moc"
