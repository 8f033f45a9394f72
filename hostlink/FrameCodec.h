#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QImage>
#include <QString>

#include <functional>

#include "BrowserParams.h"

class QLocalSocket;

// Codes at the start of every host frame.
enum MessageCode : qint32 {
    ConnectDone = 0,
    LoadFinished = 4,
    Quit = 5,
    SettingDone = 6,
    SetMute = 9,
    SetVisible = 10,
    ChangeUrl = 11,
    WholeImage = 12,
    UpdateBrowserParams = 13,
    EnterSetting = 14,
};

// The host framing: a QDataStream block, base64 text, closed by "<<".
// An empty frame is a heartbeat. Knows bytes only, never widgets.
class FrameCodec
{
public:
    using HeartbeatHandler = std::function<void()>;
    using MessageHandler = std::function<void(qint32 code, QDataStream& payload)>;

    // Bytes without a separator past this size are dropped (a stuck or
    // hostile host must not grow the buffer for the life of the connection).
    static constexpr int MaxPendingBytes = 64 * 1024 * 1024;

    template <typename... Fields>
    static QByteArray encode(qint32 code, const Fields&... fields)
    {
        QByteArray block;
        QDataStream stream(&block, QIODevice::WriteOnly);
        stream << code;
        (stream << ... << fields);
        return block.toBase64() + "<<";
    }

    static void send(QLocalSocket* socket, qint32 code, const BrowserParams& params);
    static void send(QLocalSocket* socket, qint32 code, const QString& text);
    static void send(QLocalSocket* socket, qint32 code, const QString& title, const QImage& image, const QString& url);

    // Cuts every complete frame from the front of rxBuffer and hands it on in
    // order; an incomplete frame stays in the buffer. Returns the number of
    // bytes dropped because the cap was passed (0 normally).
    static int takeFrames(QByteArray& rxBuffer, const HeartbeatHandler& heartbeat, const MessageHandler& message);

private:
    static void write(QLocalSocket* socket, const QByteArray& frame);
};
