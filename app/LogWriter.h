#pragma once

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>
#include <QString>

#include <functional>

// One plain-text log file per process, one open/append/close per line so the
// file is complete at every moment, also after a crash.
class LogWriter
{
public:
    using Clock = std::function<QDateTime()>;
    using FileAge = std::function<QDateTime(const QFileInfo&)>;

    explicit LogWriter(const QString& directory);
    // For tests: a fixed clock and a chosen source of file creation times.
    LogWriter(const QString& directory, const Clock& clock, const FileAge& createdAt);
    ~LogWriter();

    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void write(const QString& message);
    QString path() const { return filePath; }

    static LogWriter* currentLogWriter();

    // Linux keeps no settable creation time: the birth time where the file
    // system reports one, the modification time otherwise.
    static QDateTime fileCreationTime(const QFileInfo& info);
    static QString fileNameFor(const QDateTime& start);

private:
    void removeOldFiles(const QString& directory);

    QMutex mutex;
    QString filePath;
    Clock clock;
    FileAge createdAt;
};

void log(const char* text);
void log(const char* text, const QString& value);
void log(const char* text, bool value);
