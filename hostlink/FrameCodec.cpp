#include "FrameCodec.h"

#include <QLocalSocket>

void FrameCodec::write(QLocalSocket* socket, const QByteArray& frame)
{
    socket->write(frame);
    socket->flush();
}

void FrameCodec::send(QLocalSocket* socket, qint32 code, const BrowserParams& params)
{
    write(socket, encode(code, params));
}

void FrameCodec::send(QLocalSocket* socket, qint32 code, const QString& text)
{
    write(socket, encode(code, text));
}

void FrameCodec::send(QLocalSocket* socket, qint32 code, const QString& title, const QImage& image, const QString& url)
{
    write(socket, encode(code, title, image, url));
}

int FrameCodec::takeFrames(QByteArray& rxBuffer, const HeartbeatHandler& heartbeat, const MessageHandler& message)
{
    for (;;) {
        const int separator = rxBuffer.indexOf("<<");
        if (separator < 0)
            break;
        if (separator == 0) {
            rxBuffer.remove(0, 2);
            heartbeat();
            continue;
        }
        const QByteArray text = rxBuffer.left(separator);
        rxBuffer.remove(0, separator + 2);
        const QByteArray block = QByteArray::fromBase64(text);
        QDataStream stream(block);
        qint32 code = 0;
        stream >> code;
        message(code, stream);
    }
    if (rxBuffer.size() <= MaxPendingBytes)
        return 0;
    // Keep a trailing '<': it may be the first half of a separator.
    const bool keepLast = rxBuffer.endsWith('<');
    const int dropped = rxBuffer.size() - (keepLast ? 1 : 0);
    rxBuffer = keepLast ? QByteArray("<") : QByteArray();
    return dropped;
}
