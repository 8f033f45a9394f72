#include "LocalHttpServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslSocket>

#include <memory>

bool LocalHttpServer::startTls(const QSslCertificate& certificate, const QSslKey& key)
{
    tls = true;
    tlsCertificate = certificate;
    tlsKey = key;
    return listen(QHostAddress::LocalHost);
}

bool LocalHttpServer::makeSelfSigned(const QString& directory, QSslCertificate* certificate, QSslKey* key)
{
    const QString keyPath = QDir(directory).filePath("key.pem"), certPath = QDir(directory).filePath("cert.pem");
    QProcess openssl;
    openssl.start("openssl", { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                               "-subj", "/CN=127.0.0.1", "-keyout", keyPath, "-out", certPath });
    if (!openssl.waitForFinished(60000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return false;
    QFile keyFile(keyPath), certFile(certPath);
    if (!keyFile.open(QIODevice::ReadOnly) || !certFile.open(QIODevice::ReadOnly))
        return false;
    *key = QSslKey(keyFile.readAll(), QSsl::Rsa);
    *certificate = QSslCertificate(certFile.readAll());
    return !key->isNull() && !certificate->isNull();
}

int LocalHttpServer::requestCount(const QByteArray& path) const
{
    return int(std::count_if(received.begin(), received.end(), [&path](const Request& request) { return request.path == path; }));
}

void LocalHttpServer::incomingConnection(qintptr descriptor)
{
    QTcpSocket* socket = nullptr;
    if (tls) {
        auto* secure = new QSslSocket(this);
        secure->setLocalCertificate(tlsCertificate);
        secure->setPrivateKey(tlsKey);
        secure->setPeerVerifyMode(askForClientCertificate ? QSslSocket::QueryPeer : QSslSocket::VerifyNone);
        socket = secure;
    } else {
        socket = new QTcpSocket(this);
    }
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] { handleReadyRead(socket, buffer.get()); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (auto* secure = qobject_cast<QSslSocket*>(socket))
        secure->startServerEncryption();
}

void LocalHttpServer::handleReadyRead(QTcpSocket* socket, QByteArray* buffer)
{
    buffer->append(socket->readAll());
    Request request;
    if (!parse(*buffer, &request))
        return;
    buffer->clear();
    received.append(request);
    socket->write(serialise(respond(request)));
    socket->disconnectFromHost();
}

bool LocalHttpServer::parse(const QByteArray& bytes, Request* request)
{
    const int headEnd = bytes.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    const QList<QByteArray> lines = bytes.left(headEnd).split('\n');
    const QList<QByteArray> start = lines.first().trimmed().split(' ');
    if (start.size() < 2)
        return false;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request->headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const int length = request->headers.value("content-length").toInt();
    if (bytes.size() < headEnd + 4 + length)
        return false;
    const QUrl target = QUrl::fromEncoded(start.at(1));
    request->path = target.path(QUrl::FullyEncoded).toLatin1();
    request->query = target.query(QUrl::FullyEncoded).toLatin1();
    return true;
}

QByteArray LocalHttpServer::serialise(const Response& response)
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    for (const auto& header : response.headers)
        bytes += header.first + ": " + header.second + "\r\n";
    bytes += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    bytes += "Connection: close\r\nCache-Control: no-store\r\n\r\n";
    return bytes + response.body;
}

LocalHttpServer::Response LocalHttpServer::respond(const Request& request) const
{
    if (routes.contains(request.path))
        return routes.value(request.path)(request);
    Response notFound = Response::html("<html><body>not found</body></html>");
    notFound.status = 404;
    return notFound;
}
