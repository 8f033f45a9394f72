#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QTcpSocket>
#include <QUrl>

// A blocking client of the browser's DevTools endpoint: the WebSocket
// handshake and framing (RFC 6455, text frames, client side masked) over a
// plain QTcpSocket, with JSON commands and events on top.
class DevToolsSocket
{
public:
    bool open(const QUrl& url, int timeoutMs = 10000);
    // Sends a command and waits for its answer; events that arrive meanwhile queue up.
    QJsonObject call(const QString& method, const QJsonObject& params = {}, const QString& session = {},
        int timeoutMs = 30000);
    int send(const QString& method, const QJsonObject& params = {}, const QString& session = {});
    // The next event, or an empty object after timeoutMs.
    QJsonObject nextEvent(int timeoutMs);

private:
    bool readMessage(QByteArray* message, int timeoutMs);
    bool readBytes(qint64 count, QByteArray* bytes, int timeoutMs);
    void sendFrame(const QByteArray& payload, quint8 opcode);

    QTcpSocket socket;
    QByteArray pending;
    QList<QJsonObject> events;
    int nextId = 1;
};
