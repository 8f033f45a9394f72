#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

#include "BrowserParams.h"

class HostedRunner;
class QLocalSocket;
class QTimer;

// Ties the runner process to its host: connects, greets, creates the runner
// window, turns host frames into runner operations, reports load and setting
// events back, and ends the event loop when the host goes away.
class YBrowserControl : public QObject
{
    Q_OBJECT

public:
    using RunnerFactory = std::function<HostedRunner*(const BrowserParams&)>;

    static constexpr int ConnectTimeoutMs = 2000;
    static constexpr int HeartbeatTimeoutMs = 30000;

    YBrowserControl(const QString& serverName, const BrowserParams& params, const QString& helloText,
                    const RunnerFactory& createRunner, QObject* parent = nullptr);
    ~YBrowserControl() override;

    HostedRunner* runnerWindow() const { return runner; }

    // Bytes as they came from the host, in any cut. The socket's read path
    // comes through here; so can a fuzzer, without a socket.
    void receive(const QByteArray& bytes);

private:
    void onReadyRead();
    void dispatch(qint32 code, QDataStream& stream);
    void restartHeartbeat();
    void sendConnectDone();
    void onLoadFinished(bool ok, const QImage& image);
    void onSettingDone();
    void onHeartbeatTimeout();
    void onDisconnected();

    QLocalSocket* socket;
    QTimer* heartbeatTimer;
    HostedRunner* runner;
    QByteArray rxBuffer;
    bool wasMuted;
    // The window is on screen for the user, until the close button or the host parks it.
    bool inSetting = false;
};
