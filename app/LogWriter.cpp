#include "LogWriter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QTextStream>

#include <atomic>

namespace {
std::atomic<LogWriter*> liveWriter { nullptr };
constexpr qint64 OldFileDays = 8;
}

LogWriter::LogWriter(const QString& directory)
    : LogWriter(directory, &QDateTime::currentDateTime, &LogWriter::fileCreationTime)
{
}

LogWriter::LogWriter(const QString& directory, const Clock& clock, const FileAge& createdAt)
    : clock(clock)
    , createdAt(createdAt)
{
    liveWriter = this;
    if (directory.isEmpty())
        return;
    QDir().mkpath(directory);
    removeOldFiles(directory);
    filePath = QDir(directory).filePath(fileNameFor(clock()));
}

LogWriter::~LogWriter()
{
    LogWriter* self = this;
    liveWriter.compare_exchange_strong(self, nullptr);
}

LogWriter* LogWriter::currentLogWriter()
{
    return liveWriter;
}

QString LogWriter::fileNameFor(const QDateTime& start)
{
    return QStringLiteral("log_%1.txt").arg(start.toString(QStringLiteral("dd_hh_mm_ss_zzz")));
}

QDateTime LogWriter::fileCreationTime(const QFileInfo& info)
{
    const QDateTime born = info.birthTime();
    return born.isValid() ? born : info.lastModified();
}

void LogWriter::removeOldFiles(const QString& directory)
{
    // Every plain file counts, not only log files; the walk stops at the
    // first young file, oldest modified first.
    const QFileInfoList files = QDir(directory).entryInfoList(QDir::Files, QDir::Time | QDir::Reversed);
    const QDateTime now = clock();
    for (const QFileInfo& file : files) {
        if (createdAt(file).daysTo(now) < OldFileDays)
            break;
        QFile::remove(file.absoluteFilePath());
    }
}

void LogWriter::write(const QString& message)
{
    if (filePath.isEmpty())
        return;
    QMutexLocker locker(&mutex);
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    // Lines carry addresses of pages the user is signed in to: nobody else reads them.
    if (file.size() == 0)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QTextStream stream(&file);
    stream << clock().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) << "   " << message << "\r\n";
}

namespace {
void writeLine(const QString& line)
{
    if (LogWriter* writer = LogWriter::currentLogWriter())
        writer->write(line);
}
}

void log(const char* text)
{
    QString line;
    QDebug(&line) << text;
    writeLine(line);
}

void log(const char* text, const QString& value)
{
    QString line;
    QDebug(&line) << text << value;
    writeLine(line);
}

void log(const char* text, bool value)
{
    QString line;
    QDebug(&line) << text << value;
    writeLine(line);
}
