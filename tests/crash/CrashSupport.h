#pragma once

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <ctime>
#include <sys/resource.h>

// Crashes never leave a core file behind in the build tree.
class NoCoreProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        const rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
    }
};

inline qint64 monotonicNanoseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// The path of the one file in the directory, empty when there are none or several.
inline QString onlyFile(const QString& directory)
{
    const QStringList files = QDir(directory).entryList(QDir::Files | QDir::Hidden);
    return files.size() == 1 ? QDir(directory).filePath(files.first()) : QString();
}

inline QString debuggerOutput(const QString& dump, const QString& program, const QStringList& commands)
{
    QStringList arguments{QStringLiteral("--core"), dump, program, QStringLiteral("-b")};
    for (const QString& command : commands)
        arguments << QStringLiteral("-o") << command;
    QProcess lldb;
    lldb.start(QStringLiteral("lldb"), arguments);
    lldb.waitForFinished(180000);
    return QString::fromUtf8(lldb.readAllStandardOutput());
}

inline int threadCount(const QString& threadList)
{
    return threadList.count(QRegularExpression(QStringLiteral("(?m)^[ *] thread #\\d+: tid = ")));
}
