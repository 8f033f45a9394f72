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
// The functions run in order: refused installation, protection, closing.
class tst_CrashGuard : public QObject
{
    Q_OBJECT

private slots:
    void tooLongPathsInstallNothing_data();
    void tooLongPathsInstallNothing();
    void replacingIsIgnoredWhileProtected_data();
    void replacingIsIgnoredWhileProtected();
    void otherSignalsStayFree();
    void closingLiftsTheGuardAndKeepsTheHandlers();

private:
    QTemporaryDir directory;
    struct sigaction installed[7] = {};
};

void tst_CrashGuard::tooLongPathsInstallNothing_data()
{
    QTest::addColumn<QByteArray>("dumpDirectory");
    QTest::addColumn<QByteArray>("tag");

    QTest::newRow("directory of 1024 bytes") << QByteArray(1024, 'd') << QByteArray("tag");
    QTest::newRow("tag of 1024 bytes") << QByteArray("/tmp") << QByteArray(1024, 't');
    QTest::newRow("file name beyond 1023 bytes") << QByteArray(500, 'd') << QByteArray(505, 't');
}

void tst_CrashGuard::tooLongPathsInstallNothing()
{
    QFETCH(QByteArray, dumpDirectory);
    QFETCH(QByteArray, tag);

    struct sigaction before[7];
    for (int i = 0; i < 7; ++i)
        before[i] = currentAction(kCrashSignals[i]);
    OpenUnhandledException(false, dumpDirectory.constData(), tag.constData());
    for (int i = 0; i < 7; ++i)
        QVERIFY(sameAction(currentAction(kCrashSignals[i]), before[i]));
    // Nothing installed means nothing guarded either.
    struct sigaction probe = {};
    probe.sa_handler = SIG_IGN;
    struct sigaction previous = {};
    QCOMPARE(sigaction(SIGTRAP, &probe, &previous), 0);
    QCOMPARE(quintptr(currentAction(SIGTRAP).sa_handler), quintptr(SIG_IGN));
    QCOMPARE(sigaction(SIGTRAP, &previous, nullptr), 0);
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

    if (installed[0].sa_sigaction == nullptr) {
        OpenUnhandledException(false, directory.path().toLocal8Bit().constData(), "guard");
        for (int i = 0; i < 7; ++i) {
            installed[i] = currentAction(kCrashSignals[i]);
            QCOMPARE(installed[i].sa_flags & (SA_SIGINFO | SA_ONSTACK), SA_SIGINFO | SA_ONSTACK);
        }
    }
    const auto dynamicSigaction = reinterpret_cast<SigactionFunction>(dlsym(RTLD_DEFAULT, "sigaction"));
    const auto dynamicSignal = reinterpret_cast<SignalFunction>(dlsym(RTLD_DEFAULT, "signal"));
    for (int i = 0; i < 7; ++i) {
        const int signo = kCrashSignals[i];
        struct sigaction replacement = {};
        replacement.sa_handler = SIG_DFL;
        struct sigaction reported = {};
        if (way == QLatin1String("sigaction")) {
            QCOMPARE(sigaction(signo, &replacement, &reported), 0);
            QVERIFY(sameAction(reported, installed[i]));
        } else if (way == QLatin1String("dynamic sigaction")) {
            QCOMPARE(dynamicSigaction(signo, &replacement, &reported), 0);
            QVERIFY(sameAction(reported, installed[i]));
        } else if (way == QLatin1String("signal")) {
            QCOMPARE(quintptr(signal(signo, SIG_IGN)), quintptr(installed[i].sa_handler));
        } else {
            QCOMPARE(quintptr(dynamicSignal(signo, SIG_IGN)), quintptr(installed[i].sa_handler));
        }
        QVERIFY2(sameAction(currentAction(signo), installed[i]), qPrintable(QString::number(signo)));
    }
}

void tst_CrashGuard::otherSignalsStayFree()
{
    const sighandler_t before = signal(SIGUSR1, SIG_IGN);
    QCOMPARE(quintptr(currentAction(SIGUSR1).sa_handler), quintptr(SIG_IGN));
    QCOMPARE(currentAction(SIGUSR1).sa_flags & SA_RESTART, SA_RESTART);
    QCOMPARE(quintptr(signal(SIGUSR1, before)), quintptr(SIG_IGN));
    QCOMPARE(quintptr(currentAction(SIGUSR1).sa_handler), quintptr(before));
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
