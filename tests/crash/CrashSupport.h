#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <sys/resource.h>

// The crashing children inherit it: no core file left in the build tree.
inline void forbidCoreFiles()
{
    const rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
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

// Reads in pieces: a full-memory dump may be larger than is sensible to hold at once.
inline bool fileContains(const QString& path, const QByteArray& needle)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray window;
    while (!file.atEnd()) {
        window = window.right(needle.size() - 1) + file.read(16 << 20);
        if (window.contains(needle))
            return true;
    }
    return false;
}

inline int threadCount(const QString& list) { return list.count(QRegularExpression("(?m)^[ *] thread #\\d+: tid = ")); }
