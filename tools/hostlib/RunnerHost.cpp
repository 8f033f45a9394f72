#include "RunnerHost.h"

#include "ModulePath.h"
#include "OrphanSegment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QUuid>

RunnerHost::RunnerHost(QObject* parent)
    : QObject(parent)
    , runnerPath(defaultRunnerPath())
{
    connect(&server, &QLocalServer::newConnection, this, &RunnerHost::onNewConnection);
    connect(&heartbeat, &QTimer::timeout, this, &RunnerHost::sendHeartbeat);
    connect(&runner, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, [this](int code) {
        finished = true;
        // A runner that was killed or crashed never detached from its segment.
        removeOrphanSegment(segmentKey);
        emit runnerFinished(code);
    });
    runner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    heartbeat.setInterval(heartbeatMs);
}

RunnerHost::~RunnerHost()
{
    if (runner.state() != QProcess::NotRunning) {
        if (link)
            send(Quit);
        if (!runner.waitForFinished(5000)) {
            runner.kill();
            runner.waitForFinished(2000);
        }
    }
}

QString RunnerHost::defaultRunnerPath()
{
    const QByteArray fromEnvironment = qgetenv("YBR_RUNNER");
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    // Host tools live in build/ or build/tests/ beside or below the runner;
    // installed, the runner has a folder of its own below the library's.
    const QString dir = QCoreApplication::applicationDirPath();
    const QString library = QString::fromStdString(moduleDirectory());
    const QStringList candidates { dir + "/YBrowserRunner", dir + "/../YBrowserRunner",
                                   library + "/YBrowserRunner", library + "/" YBR_RUNNER_FROM_LIBRARY,
                                   dir + "/" YBR_RUNNER_FROM_PROGRAM };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return dir + "/YBrowserRunner";
}

void RunnerHost::setHeartbeatInterval(int ms)
{
    heartbeatMs = ms;
    heartbeat.stop();
    if (ms > 0) {
        heartbeat.setInterval(ms);
        if (link)
            heartbeat.start();
    }
}

bool RunnerHost::start(const BrowserParams& params, const QStringList& extraArguments)
{
    const QString name = QStringLiteral("ybr-host-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!server.listen(name))
        return false;
    segmentKey = params.sharedMemoryKey;
    runner.setProcessEnvironment(environment);
    runner.start(runnerPath, QStringList { name, params.toBase64String(), greeting } + extraArguments);
    return runner.waitForStarted(10000);
}

void RunnerHost::onNewConnection()
{
    QLocalSocket* socket = server.nextPendingConnection();
    if (link) {
        socket->deleteLater();
        return;
    }
    link = socket;
    connect(link, &QLocalSocket::readyRead, this, &RunnerHost::onReadyRead);
    if (heartbeatMs > 0)
        heartbeat.start();
    emit connected();
    onReadyRead();
}

void RunnerHost::onReadyRead()
{
    rxBuffer += link->readAll();
    // The greeting comes raw, without framing: the host knows its length.
    const int greetingSize = greeting.toLocal8Bit().size();
    if (greetingBytes.size() < greetingSize) {
        const int missing = greetingSize - greetingBytes.size();
        greetingBytes += rxBuffer.left(missing);
        rxBuffer.remove(0, qMin(missing, rxBuffer.size()));
        if (greetingBytes.size() < greetingSize)
            return;
    }
    FrameCodec::takeFrames(rxBuffer, [] {}, [this](qint32 code, QDataStream& stream) { handleFrame(code, stream); });
}

void RunnerHost::handleFrame(qint32 code, QDataStream& stream)
{
    codes << code;
    switch (code) {
    case ConnectDone:
        stream >> connectText;
        emit connectDone(connectText);
        break;
    case LoadFinished:
        stream >> title >> snapshot >> url;
        ++loads;
        emit loadFinished(title, snapshot, url);
        break;
    case SettingDone: {
        BrowserParams params;
        stream >> params;
        emit settingDone(params);
        break;
    }
    default:
        break;
    }
}

void RunnerHost::sendRaw(const QByteArray& bytes)
{
    if (!link)
        return;
    link->write(bytes);
    link->flush();
}

void RunnerHost::closeConnection()
{
    heartbeat.stop();
    if (link)
        link->disconnectFromServer();
}

bool RunnerHost::waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        if (finished && !done())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (runner.state() == QProcess::NotRunning && !finished)
            runner.waitForFinished(10);
    }
    return done();
}

bool RunnerHost::waitForConnectDone(int timeoutMs)
{
    return waitFor([this] { return !connectText.isEmpty(); }, timeoutMs);
}

bool RunnerHost::waitForLoadFinished(int timeoutMs)
{
    const int before = loads;
    return waitFor([this, before] { return loads > before; }, timeoutMs);
}

bool RunnerHost::waitForLoads(int total, int timeoutMs)
{
    return waitFor([this, total] { return loads >= total; }, timeoutMs);
}

bool RunnerHost::waitForFinished(int timeoutMs)
{
    return waitFor([this] { return finished; }, timeoutMs);
}
