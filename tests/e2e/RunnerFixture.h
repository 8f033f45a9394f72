#pragma once

#include "FrameReader.h"
#include "RunnerHost.h"
#include "StaticHttpServer.h"

#include <QtTest>

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

    static bool quit(RunnerHost& runnerHost)
    {
        runnerHost.send(Quit);
        return runnerHost.waitForFinished(15000) && runnerHost.process().exitCode() == 0;
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
