#include "YBrowserControl.h"

#include "FrameCodec.h"
#include "HostedRunner.h"
#include "LogWriter.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QTimer>

YBrowserControl::YBrowserControl(const QString& serverName, const BrowserParams& params, const QString& helloText,
                                 const RunnerFactory& createRunner, QObject* parent)
    : QObject(parent)
    , socket(new QLocalSocket(this))
    , heartbeatTimer(nullptr)
    , runner(nullptr)
    , wasMuted(false)
{
    log("Begin...");
    socket->connectToServer(serverName, QIODevice::ReadWrite);
    if (!socket->waitForConnected(ConnectTimeoutMs)) {
        // A quit before the event loop runs would be lost; queue it.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return;
    }
    socket->write(helloText.toLocal8Bit());
    socket->flush();
    log("connect done");

    runner = createRunner(params);
    wasMuted = runner->isMute();
    runner->showSetting(!params.hidden);
    inSetting = !params.hidden;
    runner->show();

    connect(socket, &QLocalSocket::readyRead, this, &YBrowserControl::onReadyRead);
    connect(socket, &QLocalSocket::disconnected, this, &YBrowserControl::onDisconnected);
    connect(runner, &HostedRunner::loadFinished, this, &YBrowserControl::onLoadFinished);
    connect(runner, &HostedRunner::settingDone, this, &YBrowserControl::onSettingDone);

    restartHeartbeat();
    sendConnectDone();
}

YBrowserControl::~YBrowserControl()
{
    delete runner;
}

void YBrowserControl::restartHeartbeat()
{
    if (heartbeatTimer) {
        heartbeatTimer->stop();
        delete heartbeatTimer;
    }
    heartbeatTimer = new QTimer(this);
    connect(heartbeatTimer, &QTimer::timeout, this, &YBrowserControl::onHeartbeatTimeout);
    log("bong");
    heartbeatTimer->start(HeartbeatTimeoutMs);
}

void YBrowserControl::sendConnectDone()
{
    log("Connect Done");
    const QSize size = runner->pageSize();
    const QString text = QStringLiteral("%1X%2X%3")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(qint64(runner->effectiveWinId()));
    FrameCodec::send(socket, ConnectDone, text);
}

void YBrowserControl::onReadyRead()
{
    receive(socket->readAll());
}

void YBrowserControl::receive(const QByteArray& bytes)
{
    if (!runner)
        return;
    rxBuffer.append(bytes);
    const int dropped = FrameCodec::takeFrames(
        rxBuffer, [this] { restartHeartbeat(); },
        [this](qint32 code, QDataStream& stream) { dispatch(code, stream); });
    if (dropped > 0)
        log("Receive buffer passed its limit without a frame end; bytes dropped: ",
            QString::number(dropped));
}

void YBrowserControl::dispatch(qint32 code, QDataStream& stream)
{
    switch (code) {
    case Quit:
        log("Receive Quit Message");
        QCoreApplication::quit();
        break;
    case SetMute: {
        bool muted = false;
        stream >> muted;
        wasMuted = muted;
        log("Receive SetMute Message : ", muted);
        runner->setMute(muted);
        break;
    }
    case SetVisible: {
        bool visible = false;
        stream >> visible;
        log("Receive SetVisible Message : ", visible);
        // A host that says "not visible" means parked, as a hidden record does;
        // during a setting phase that is the end of the phase, mute and report included.
        if (!visible && inSetting) {
            onSettingDone();
            break;
        }
        inSetting = visible;
        runner->showSetting(visible);
        break;
    }
    case ChangeUrl: {
        QString url;
        stream >> url;
        log("Receive ChangeUrl Message : ", url);
        runner->setUrl(QUrl(url, QUrl::TolerantMode));
        break;
    }
    case WholeImage:
        log("Receive WholeImage");
        runner->wholeImage();
        break;
    case UpdateBrowserParams: {
        log("Receive UpdateBrowserParams");
        BrowserParams params;
        stream >> params;
        runner->updateParams(params);
        break;
    }
    case EnterSetting:
        wasMuted = runner->isMute();
        log("Receive EnterSetting Message");
        if (wasMuted)
            runner->setMute(false);
        inSetting = true;
        runner->showSetting(true);
        break;
    default:
        break;
    }
}

void YBrowserControl::onLoadFinished(bool, const QImage& image)
{
    FrameCodec::send(socket, LoadFinished, runner->title().trimmed(), image, runner->url().toString());
}

void YBrowserControl::onSettingDone()
{
    inSetting = false;
    if (wasMuted)
        runner->setMute(true);
    runner->showSetting(false);
    FrameCodec::send(socket, SettingDone, runner->params());
}

void YBrowserControl::onHeartbeatTimeout()
{
    log("心跳终止，退出程序");
    QCoreApplication::quit();
}

void YBrowserControl::onDisconnected()
{
    log("连接断开, 退出程序");
    QCoreApplication::quit();
}
