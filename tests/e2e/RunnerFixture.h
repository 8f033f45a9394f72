#pragma once

#include "FrameReader.h"
#include "RunnerHost.h"
#include "StaticHttpServer.h"

#include <QtTest>

// A solid page of rgb(10,20,200) ("blue.html"): ARGB32 bytes in memory order.
inline QByteArray bluePixel() { return QByteArray("\xc8\x14\x0a\xff", 4); }

// Real runners on the real host library, one data directory, pages on 127.0.0.1.
struct RunnerFixture
{
    RunnerFixture()
        : http(pages.path())
    {
        QVERIFY(http.start());
        host.setEnvironment(environment());
        host.setHeartbeatInterval(2000);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", home.path());
        env.insert("YCONFIG_FILE", home.filePath("YConfig.ini"));
        return env;
    }

    void writePage(const QString& name, const QByteArray& html)
    {
        QFile file(pages.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(html);
    }

    static QByteArray solidPage(const QString& title, const QString& colour)
    {
        return QStringLiteral("<html><head><title>%1</title></head><body style=\"margin:0;background:%2\"></body></html>")
            .arg(title, colour)
            .toUtf8();
    }

    BrowserParams params(const QStringList& urls, const QSize& size = QSize(640, 360), const QString& segmentKey = {}) const
    {
        BrowserParams p;
        p.urls = urls;
        p.currentUrl = urls.value(0);
        p.pageSize = size;
        p.sharedMemoryKey = segmentKey.isEmpty() ? key : segmentKey;
        return p;
    }

    bool start(const BrowserParams& p) { return host.start(p) && host.waitForConnectDone(30000); }

    // Another runner of the same user, on segment `key` + `n`.
    std::unique_ptr<RunnerHost> startAnother(const QStringList& urls, const QSize& size, int n) const
    {
        auto other = std::make_unique<RunnerHost>();
        other->setEnvironment(environment());
        return other->start(params(urls, size, key + QString::number(n))) ? std::move(other) : nullptr;
    }

    // Starts `host` on a fresh page and returns the Cookie header it sent for it.
    QString cookiesOfAFreshRunner()
    {
        writePage("check.html", solidPage("check", "white"));
        if (!start(params({ http.urlFor("check.html") })) || !host.waitForLoads(1, 20000))
            return "not started";
        const QRegularExpression cookie("\\ncookie: *([^\\r\\n]*)", QRegularExpression::CaseInsensitiveOption);
        QString cookies = "none";
        for (const QByteArray& request : http.requests())
            if (request.startsWith("GET /check.html "))
                cookies = cookie.match(QString::fromLatin1(request)).captured(1);
        return cookies;
    }

    // Told to quit, a runner ends with status 0 in time.
    static bool quit(RunnerHost& runnerHost, int withinMs = 15000)
    {
        runnerHost.send(Quit);
        const QProcess& process = runnerHost.process();
        return runnerHost.waitForFinished(withinMs) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    bool quit(int withinMs = 15000) { return quit(host, withinMs); }

    // Still answering: a new address loads and is reported, maybe after other loads (late ones, new windows).
    bool answersChangeUrl(const QString& url, int timeoutMs = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        host.send(ChangeUrl, url);
        while (clock.elapsed() < timeoutMs && host.process().state() != QProcess::NotRunning) {
            if (host.waitForLoadFinished(int(timeoutMs - clock.elapsed())) && host.lastUrl() == url)
                return true;
        }
        qWarning("asked for %s, last load reported %s", qPrintable(url), qPrintable(host.lastUrl()));
        return false;
    }

    QStringList logLines() const
    {
        QDir dir(home.path() + "/Corvane M1/Log/Browser");
        QStringList lines;
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            file.open(QIODevice::ReadOnly);
            for (const QString& line : QString::fromLocal8Bit(file.readAll()).split("\r\n", Qt::SkipEmptyParts))
                lines << line.mid(22);
        }
        return lines;
    }

    QTemporaryDir home;
    QTemporaryDir pages;
    StaticHttpServer http;
    QString key = QStringLiteral("ybr-e2e-") + QString::number(QCoreApplication::applicationPid()) + "-"
        + QString::number(QRandomGenerator::global()->bounded(1000000));
    RunnerHost host;
};

// Takes frames until one is `size` with `pixel` at its far corner; `last` is the last one taken.
inline bool waitForFrame(FrameReader& reader, const QSize& size, const QByteArray& pixel, int timeoutMs = 15000,
                         FrameReader::Frame* last = nullptr)
{
    FrameReader::Frame frame;
    QElapsedTimer clock;
    for (clock.start(); clock.elapsed() < timeoutMs; QTest::qWait(30)) {
        if (!reader.attach() || !reader.take(frame) || frame.image.isNull())
            continue;
        const QImage& image = frame.image;
        if (last)
            *last = frame;
        if (image.size() == size && QByteArray(reinterpret_cast<const char*>(image.constScanLine(image.height() - 1)) + (image.width() - 1) * 4, 4) == pixel)
            return true;
    }
    return false;
}
