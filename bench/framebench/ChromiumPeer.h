#pragma once

#include "BenchResult.h"
#include "DevToolsSocket.h"
#include "ProcessProbe.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <vector>

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
    static void summarise(BenchResult* result, double elapsed, int taken, int changed,
                          const std::vector<double>& decodeMs, const ProcessProbe::Usage& before,
                          const ProcessProbe::Usage& after, const QImage& last);

    int seconds;
    QTemporaryDir profile;
    QProcess chromium;
    DevToolsSocket devtools;
    QString target;
};
