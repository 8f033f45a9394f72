#include "PageServer.h"

#include <QTcpSocket>

PageServer::PageServer(QObject* parent)
    : QTcpServer(parent)
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection())
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
    });
}

void PageServer::setPage(const QByteArray& path, const QByteArray& body, const QByteArray& type)
{
    pages.insert(path, { type, body });
}

QString PageServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
}

void PageServer::answer(QTcpSocket* socket)
{
    const QByteArray request = socket->readAll();
    if (!request.contains("\r\n\r\n"))
        return;
    const QByteArray path = request.split(' ').value(1);
    requests << path;
    if (path == held)
        return;
    const auto page = pages.constFind(path);
    QByteArray response;
    if (page == pages.constEnd()) {
        response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    } else {
        response = "HTTP/1.1 200 OK\r\nContent-Type: " + page->first
            + "\r\nContent-Length: " + QByteArray::number(page->second.size())
            + "\r\nConnection: close\r\n\r\n" + page->second;
    }
    socket->write(response);
    socket->disconnectFromHost();
}
