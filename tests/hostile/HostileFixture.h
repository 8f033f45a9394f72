#pragma once

#include "RunnerFixture.h"

// Serves the blue page and `html` as `page`, starts the runner there and waits for the first load if asked.
inline bool startOn(RunnerFixture& f, const QString& page, const QByteArray& html = {}, bool waitForLoad = true)
{
    f.writePage("blue.html", RunnerFixture::solidPage("Blue", "rgb(10,20,200)"));
    if (!html.isEmpty())
        f.writePage(page, html);
    return f.start(f.params({ f.http.urlFor(page) })) && (!waitForLoad || f.host.waitForLoads(1, 20000));
}

// Chromium's render processes below `root`: forked by the zygote without a new command line, so
// they are the zygote's children that still read "--type=zygote" (or, started directly, "--type=renderer").
inline QSet<QString> rendererPids(qint64 root)
{
    QHash<qint64, QPair<qint64, QByteArray>> processes; // parent and command line by pid
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + entry + "/stat"), commandLine("/proc/" + entry + "/cmdline");
        if (entry.toLongLong() > 0 && stat.open(QIODevice::ReadOnly) && commandLine.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            processes.insert(entry.toLongLong(), { text.mid(text.lastIndexOf(')') + 2).split(' ').value(1).toLongLong(), commandLine.readAll() });
        }
    }
    QSet<QString> found;
    for (auto it = processes.cbegin(); it != processes.cend(); ++it) {
        qint64 ancestor = it->first;
        while (ancestor > 1 && ancestor != root)
            ancestor = processes.value(ancestor).first;
        const QByteArray parent = processes.value(it->first).second, line = it->second;
        const bool fromZygote = parent.contains("--type=zygote") && !parent.contains("--no-zygote-sandbox");
        if (ancestor == root && (line.contains("--type=renderer") || (fromZygote && line.contains("--type=zygote"))))
            found << QString::number(it.key());
    }
    return found;
}

// The id of a shown window whose name matches `title`, or empty.
inline QString dialogWindow(const QString& title)
{
    QProcess search;
    search.start("xdotool", { "search", "--onlyvisible", "--name", title });
    search.waitForFinished(5000);
    return QString::fromLatin1(search.readAllStandardOutput()).section('\n', 0, 0).trimmed();
}
