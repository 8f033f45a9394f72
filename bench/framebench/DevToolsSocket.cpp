#include "DevToolsSocket.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QRandomGenerator>

bool DevToolsSocket::open(const QUrl& url, int timeoutMs)
{
    socket.connectToHost(url.host(), quint16(url.port(80)));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray key = QByteArray::number(QRandomGenerator::global()->generate64()).toBase64();
    socket.write("GET " + url.path().toUtf8() + " HTTP/1.1\r\nHost: " + url.host().toUtf8() + ':'
        + QByteArray::number(url.port(80)) + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: " + key + "\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QDeadlineTimer deadline(timeoutMs);
    while (!pending.contains("\r\n\r\n")) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        pending += socket.readAll();
    }
    const int end = pending.indexOf("\r\n\r\n") + 4;
    const bool upgraded = pending.startsWith("HTTP/1.1 101");
    pending.remove(0, end);
    return upgraded;
}

int DevToolsSocket::send(const QString& method, const QJsonObject& params, const QString& session)
{
    QJsonObject command { { "id", nextId }, { "method", method }, { "params", params } };
    if (!session.isEmpty())
        command.insert("sessionId", session);
    sendFrame(QJsonDocument(command).toJson(QJsonDocument::Compact), 0x1);
    return nextId++;
}

QJsonObject DevToolsSocket::call(const QString& method, const QJsonObject& params, const QString& session,
    int timeoutMs)
{
    const int id = send(method, params, session);
    QDeadlineTimer deadline(timeoutMs);
    QByteArray message;
    while (readMessage(&message, int(deadline.remainingTime()))) {
        const QJsonObject object = QJsonDocument::fromJson(message).object();
        if (object.value("id").toInt() == id)
            return object;
        if (object.contains("method"))
            events << object;
    }
    return {};
}

QJsonObject DevToolsSocket::nextEvent(int timeoutMs)
{
    if (!events.isEmpty())
        return events.takeFirst();
    QDeadlineTimer deadline(timeoutMs);
    QByteArray message;
    while (readMessage(&message, int(deadline.remainingTime()))) {
        const QJsonObject object = QJsonDocument::fromJson(message).object();
        if (object.contains("method"))
            return object;
    }
    return {};
}

bool DevToolsSocket::readMessage(QByteArray* message, int timeoutMs)
{
    message->clear();
    QDeadlineTimer deadline(qMax(timeoutMs, 0));
    for (;;) {
        QByteArray head;
        if (!readBytes(2, &head, int(deadline.remainingTime())))
            return false;
        const bool final = quint8(head[0]) & 0x80;
        const quint8 opcode = quint8(head[0]) & 0x0f;
        quint64 length = quint8(head[1]) & 0x7f;
        const int extra = length == 126 ? 2 : length == 127 ? 8 : 0;
        QByteArray lengthBytes;
        if (extra && !readBytes(extra, &lengthBytes, int(deadline.remainingTime())))
            return false;
        if (extra) {
            length = 0;
            for (char byte : lengthBytes)
                length = (length << 8) | quint8(byte);
        }
        QByteArray payload;
        if (!readBytes(qint64(length), &payload, qMax(int(deadline.remainingTime()), 30000)))
            return false;
        if (opcode == 0x9)
            sendFrame(payload, 0xA);
        else if (opcode == 0x8)
            return false;
        else if (opcode <= 0x2)
            *message += payload;
        if (final && opcode <= 0x2)
            return true;
    }
}

bool DevToolsSocket::readBytes(qint64 count, QByteArray* bytes, int timeoutMs)
{
    QDeadlineTimer deadline(qMax(timeoutMs, 0));
    while (pending.size() < count) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
            return false;
        pending += socket.readAll();
        if (deadline.hasExpired() && pending.size() < count && socket.bytesAvailable() == 0)
            return false;
    }
    *bytes = pending.left(int(count));
    pending.remove(0, int(count));
    return true;
}

void DevToolsSocket::sendFrame(const QByteArray& payload, quint8 opcode)
{
    QByteArray frame;
    frame.append(char(0x80 | opcode));
    const quint64 length = quint64(payload.size());
    if (length < 126) {
        frame.append(char(0x80 | length));
    } else if (length < 65536) {
        frame.append(char(0x80 | 126));
        frame.append(char(length >> 8)).append(char(length & 0xff));
    } else {
        frame.append(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.append(char((length >> shift) & 0xff));
    }
    const quint32 mask = QRandomGenerator::global()->generate();
    const char maskBytes[4] = { char(mask >> 24), char(mask >> 16), char(mask >> 8), char(mask) };
    frame.append(maskBytes, 4);
    for (int i = 0; i < payload.size(); ++i)
        frame.append(char(payload[i] ^ maskBytes[i % 4]));
    socket.write(frame);
    socket.flush();
}
