#pragma once

#include <QDir>
#include <QTcpServer>

// Serves the files of one directory on 127.0.0.1, so demo and test pages
// need no network. One request per connection.
class StaticHttpServer : public QTcpServer
{
    Q_OBJECT

public:
    explicit StaticHttpServer(const QString& root, QObject* parent = nullptr);

    bool start(quint16 port = 0);
    QString urlFor(const QString& path) const;

    // Every request's head as received, for tests that check what a page sent.
    QList<QByteArray> requests() const { return received; }

signals:
    void requestReceived(const QByteArray& head);

private:
    void onNewConnection();
    QByteArray response(const QByteArray& request) const;

    QDir root;
    QList<QByteArray> received;
};
