#include "StaticHttpServer.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTcpSocket>
#include <QUrl>

StaticHttpServer::StaticHttpServer(const QString& rootPath, QObject* parent)
    : QTcpServer(parent)
    , root(rootPath)
{
    connect(this, &QTcpServer::newConnection, this, &StaticHttpServer::onNewConnection);
}

bool StaticHttpServer::start(quint16 port)
{
    return listen(QHostAddress::LocalHost, port);
}

QString StaticHttpServer::urlFor(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(path);
}

void StaticHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            socket->setProperty("request", request);
            if (request.contains("\r\n\r\n") || request.contains("\n\n")) {
                received << request;
                emit requestReceived(request);
                socket->write(response(request));
                socket->disconnectFromHost();
            }
        });
    }
}

QByteArray StaticHttpServer::response(const QByteArray& request) const
{
    const QList<QByteArray> words = request.left(request.indexOf('\n')).split(' ');
    QString path = words.size() > 1 ? QUrl::fromPercentEncoding(words.at(1)) : QString();
    path = path.section('?', 0, 0);
    if (path.endsWith('/'))
        path += QStringLiteral("index.html");
    const QString file = QDir::cleanPath(root.absolutePath() + path);
    QFile content(file);
    if (!file.startsWith(root.absolutePath() + '/') || !content.open(QIODevice::ReadOnly))
        return "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found";
    const QByteArray body = content.readAll();
    const QByteArray type = QMimeDatabase().mimeTypeForFile(QFileInfo(file)).name().toLatin1();
    return "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
}
