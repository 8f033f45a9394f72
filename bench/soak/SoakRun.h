#pragma once

#include "FrameReader.h"
#include "ProcessProbe.h"
#include "RunnerHost.h"
#include "StaticHttpServer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// Drives one real runner through the host library for a given time with a
// seeded mix of host commands, takes frames as a host would and prints, once
// a minute, what the runner and its helper processes hold.
class SoakRun : public QObject
{
    Q_OBJECT

public:
    struct Options {
        int seconds = 1800;
        quint32 seed = 1;
        int sampleSeconds = 60;
        int settleSeconds = 8;
    };

    explicit SoakRun(const Options& options, QObject* parent = nullptr);

    // The process exit code: 0 when the runner lived through the whole run
    // and ended with status 0 on Quit.
    int run();

private:
    struct Sample {
        ProcessProbe::Usage runner;
        ProcessProbe::Usage helpers;
        long totalRssKb() const { return runner.rssKb + helpers.rssKb; }
    };

    void writePages();
    BrowserParams referenceParams() const;
    BrowserParams randomParams();
    QString randomPage();
    void sendRandomCommand();
    void takeFrames();
    void beginSample();
    void printSample();
    int finish();

    Options options;
    QRandomGenerator random;
    QTemporaryDir pages;
    QTemporaryDir home;
    StaticHttpServer http;
    RunnerHost host;
    QString key;
    std::unique_ptr<FrameReader> reader;
    FrameReader::Frame frame;
    QTimer commandTimer;
    QTimer frameTimer;
    QTimer sampleTimer;
    QElapsedTimer clock;
    QStringList pageNames;
    qint64 framesTaken = 0;
    qint64 commandsSent = 0;
    int minute = 0;
    bool inSetting = false;
    bool runnerDied = false;
    Sample baseline;
    Sample first;
    Sample last;
};
