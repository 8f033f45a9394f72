#pragma once

#include "BenchResult.h"
#include "DevToolsSocket.h"

#include <QProcess>
#include <QTemporaryDir>

// The alternative a host might pick: headless Chromium driven over its
// DevTools protocol, frames as screencast JPEGs or as PNG screenshots, each
// decoded to raw ARGB32 pixels as a host would need them.
class ChromiumPeer
{
public:
    explicit ChromiumPeer(int seconds);
    ~ChromiumPeer();

    bool start(QString* error);
    BenchResult screencast(const QString& pageUrl, const QString& page, const QSize& size);
    BenchResult screenshot(const QString& pageUrl, const QString& page, const QSize& size);

private:
    QString openPage(const QString& pageUrl, const QSize& size);
    void closePage(const QString& session);
    void settle(int ms);

    int seconds;
    QTemporaryDir profile;
    QProcess chromium;
    DevToolsSocket devtools;
    QString target;
};
