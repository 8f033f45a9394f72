#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

#include "FrameReader.h"
#include "RunnerHost.h"

class QLabel;
class StaticHttpServer;

// A host for people: starts the runner, keeps its heartbeat, takes frames as
// a real host does, saves, records or shows them, and takes commands on
// standard input.
class HostCli : public QObject
{
    Q_OBJECT

public:
    struct Options {
        QString runner;
        QStringList urls;
        QSize size { 1280, 720 };
        QString key;
        bool hidden = true;
        int frames = 0;          // frames to save, 0 for none
        int everyMs = 0;         // least time between saved frames
        QString outDir;
        QString sheet;           // contact sheet of the saved frames
        QString record;          // video or animated image, encoded by ffmpeg
        int recordSeconds = 5;
        bool preview = false;
        QString serveDir;        // serve this directory on 127.0.0.1
        double duration = 0;     // seconds; 0 runs until done or told to quit
        int pollMs = 5;
    };

    enum class Parsed { Run, Help, Invalid };
    // Needs an application object (for the program name in the help text),
    // not a display. `text` is the help text or the one-line error.
    static Parsed parse(const QStringList& arguments, Options& options, QString& text);
    // WxH or W*H, within the frame buffer's 7680x4320.
    static bool parseSize(const QString& text, QSize& size);
    // Empty when a line of standard input is a command the tool takes.
    static QString commandError(const QString& line);

    explicit HostCli(const Options& options, QObject* parent = nullptr);
    ~HostCli() override;

    int run();

private:
    void poll();
    void onStdin();
    void command(const QString& line);
    void saveFrame(const QImage& image);
    void recordFrame(const QImage& image);
    void fillRecording();
    void endRecording();
    void printStatus(bool final);
    void say(const QString& line);
    void fail(const QString& line);
    void finish();
    void writeContactSheet();
    QString resolveUrl(const QString& url) const;

    Options options;
    RunnerHost host;
    std::unique_ptr<FrameReader> reader;
    std::unique_ptr<StaticHttpServer> http;
    std::unique_ptr<QSocketNotifier> stdinNotifier;
    std::unique_ptr<QProcess> encoder;
    QLabel* previewLabel = nullptr;
    QTimer pollTimer;
    QTimer statusTimer;
    QElapsedTimer clock;
    FrameReader::Frame frame;
    QImage lastImage;
    QStringList saved;
    qint64 lastSavedAt = -1;
    qint64 recordStartedAt = -1;
    qint64 recordedFrames = 0;
    QImage recordImage;
    bool statusOnTerminal = false;
    bool statusLinePending = false;
    int taken = 0;
    int fresh = 0;
    bool failed = false;
    bool inLoop = false;
    QStringList failuresInLoop;
    bool finishing = false;
    bool killed = false;
};
