#include "ProcessTree.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>

#include <unistd.h>

namespace {

struct Stat {
    qint64 parent = 0;
    double cpuSeconds = 0;
    qint64 residentBytes = 0;
};

bool readStat(const QString& pid, Stat* stat)
{
    QFile file("/proc/" + pid + "/stat");
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = file.readAll();
    // The command name may hold spaces and parentheses: fields start after the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 22)
        return false;
    static const double ticks = double(sysconf(_SC_CLK_TCK));
    static const qint64 page = sysconf(_SC_PAGESIZE);
    stat->parent = fields.at(1).toLongLong();
    stat->cpuSeconds = (fields.at(11).toLongLong() + fields.at(12).toLongLong()) / ticks;
    stat->residentBytes = fields.at(21).toLongLong() * page;
    return true;
}

} // namespace

ProcessTree::Sample ProcessTree::sample() const
{
    QHash<qint64, Stat> stats;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        Stat stat;
        if (number && readStat(entry, &stat))
            stats.insert(pid, stat);
    }
    Sample total;
    QList<qint64> pending { root };
    while (!pending.isEmpty()) {
        const qint64 pid = pending.takeLast();
        const auto it = stats.constFind(pid);
        if (it == stats.constEnd())
            continue;
        total.cpuSeconds += it->cpuSeconds;
        total.residentBytes += it->residentBytes;
        for (auto child = stats.constBegin(); child != stats.constEnd(); ++child) {
            if (child->parent == pid)
                pending << child.key();
        }
    }
    return total;
}
