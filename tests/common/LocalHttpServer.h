#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests: one response per
// connection, plain or TLS, routes by path, and a record of every request.
// As a proxy it sees absolute request targets; routes still match their path.
class LocalHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray path;
        QByteArray query;
        QMap<QByteArray, QByteArray> headers; // names in lower case
    };

    struct Response
    {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;

        static Response html(const QByteArray& body) { return content("text/html; charset=utf-8", body); }
        static Response content(const QByteArray& contentType, const QByteArray& body) { return Response { 200, { { "Content-Type", contentType } }, body }; }
        Response& header(const QByteArray& name, const QByteArray& value) { return headers.append({ name, value }), *this; }
    };

    using Handler = std::function<Response(const Request&)>;

    explicit LocalHttpServer(QObject* parent = nullptr) : QTcpServer(parent) {}

    bool start() { return listen(QHostAddress::LocalHost); }
    bool startTls(const QSslCertificate& certificate, const QSslKey& key);
    // TLS only: ask every client for a certificate without requiring one.
    void setAskForClientCertificate(bool ask) { askForClientCertificate = ask; }
    // A fresh self-signed identity for 127.0.0.1, made by the openssl tool in
    // directory; false when the tool is missing or fails.
    static bool makeSelfSigned(const QString& directory, QSslCertificate* certificate, QSslKey* key);

    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const
    {
        return QUrl(QString("%1://127.0.0.1:%2%3").arg(tls ? "https" : "http").arg(serverPort()).arg(pathAndQuery));
    }
    void route(const QByteArray& path, Handler handler) { routes.insert(path, std::move(handler)); }
    void servePage(const QByteArray& path, const QByteArray& html) { serveContent(path, "text/html; charset=utf-8", html); }
    void serveContent(const QByteArray& path, const QByteArray& contentType, const QByteArray& body)
    {
        route(path, [contentType, body](const Request&) { return Response::content(contentType, body); });
    }

    QList<Request> requests() const { return received; }
    int requestCount(const QByteArray& path) const;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void handleReadyRead(QTcpSocket* socket, QByteArray* buffer);
    static bool parse(const QByteArray& bytes, Request* request);
    static QByteArray serialise(const Response& response);
    Response respond(const Request& request) const;

    QMap<QByteArray, Handler> routes;
    QList<Request> received;
    bool tls = false;
    bool askForClientCertificate = false;
    QSslCertificate tlsCertificate;
    QSslKey tlsKey;
};
