#pragma once

#include <QByteArray>
#include <QImage>
#include <QLocalServer>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include "BrowserParams.h"
#include "FrameCodec.h"

class QLocalSocket;

// The host's side of the socket: serves the local socket, starts the runner
// with its three arguments, strips the greeting, decodes the runner's frames,
// sends commands and keeps the heartbeat going.
class RunnerHost : public QObject
{
    Q_OBJECT

public:
    explicit RunnerHost(QObject* parent = nullptr);
    ~RunnerHost() override;

    static QString defaultRunnerPath();

    void setRunnerPath(const QString& path) { runnerPath = path; }
    void setGreeting(const QString& text) { greeting = text; }
    void setEnvironment(const QProcessEnvironment& env) { environment = env; }
    // 0 stops the heartbeat: the runner then ends 30 s after the last one.
    void setHeartbeatInterval(int ms);

    bool start(const BrowserParams& params, const QStringList& extraArguments = {});
    bool waitForConnectDone(int timeoutMs = 20000);
    bool waitForLoadFinished(int timeoutMs = 30000);
    bool waitForLoads(int total, int timeoutMs = 30000);
    bool waitForFinished(int timeoutMs = 10000);

    template <typename... Fields>
    void send(qint32 code, const Fields&... fields) { sendRaw(FrameCodec::encode(code, fields...)); }
    void sendRaw(const QByteArray& bytes);
    void sendHeartbeat() { sendRaw("<<"); }
    void closeConnection();

    QProcess& process() { return runner; }
    QString serverName() const { return server.serverName(); }
    QByteArray receivedGreeting() const { return greetingBytes; }
    QString connectDoneText() const { return connectText; }
    QString lastTitle() const { return title; }
    QString lastUrl() const { return url; }
    QImage lastSnapshot() const { return snapshot; }
    int loadFinishedCount() const { return loads; }
    QList<qint32> receivedCodes() const { return codes; }

signals:
    void connected();
    void connectDone(const QString& text);
    void loadFinished(const QString& title, const QImage& image, const QString& url);
    void settingDone(const BrowserParams& params);
    void runnerFinished(int exitCode);

private:
    void onNewConnection();
    void onReadyRead();
    void handleFrame(qint32 code, QDataStream& stream);
    bool waitFor(const std::function<bool()>& done, int timeoutMs);

    QLocalServer server;
    QLocalSocket* link = nullptr;
    QProcess runner;
    QTimer heartbeat;
    int heartbeatMs = 5000;
    QString runnerPath;
    QString segmentKey;
    QString greeting = QStringLiteral("YBrowserHost");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QByteArray rxBuffer;
    QByteArray greetingBytes;
    QString connectText;
    QString title;
    QString url;
    QImage snapshot;
    QList<qint32> codes;
    int loads = 0;
    bool finished = false;
};
