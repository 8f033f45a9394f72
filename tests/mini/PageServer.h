#pragma once

#include <QByteArray>
#include <QHash>
#include <QTcpServer>

// Serves fixed pages over HTTP on 127.0.0.1. A path registered as held is
// accepted and never answered.
class PageServer : public QTcpServer
{
    Q_OBJECT

public:
    explicit PageServer(QObject* parent = nullptr);

    void setPage(const QByteArray& path, const QByteArray& body, const QByteArray& type = "text/html");
    void holdPath(const QByteArray& path) { held = path; }
    QString url(const QString& path) const;
    QList<QByteArray> requests;

private:
    void answer(QTcpSocket* socket);

    QHash<QByteArray, QPair<QByteArray, QByteArray>> pages;
    QByteArray held;
};
