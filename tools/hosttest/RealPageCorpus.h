#pragma once

#include "StaticHttpServer.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <QWebSocketServer>

class QWebSocket;

// The real pages on 127.0.0.1: pages/ with the npm packages and the video
// clip that tools/setup.sh lays beside it, and the chat feed the chat page
// reads over a WebSocket. Nothing is fetched while it serves.
class RealPageCorpus : public QObject
{
    Q_OBJECT

public:
    explicit RealPageCorpus(const QString& folder = defaultFolder(), QObject* parent = nullptr);

    static QString defaultFolder();

    // Empty when every pinned package and the clip are in place; otherwise
    // what is missing, and how to get it.
    QString missing() const;
    bool start();

    // The pages' file names without ".html", sorted.
    QStringList pageNames() const;
    QString url(const QString& page) const;
    int chatClients() const { return clients.size(); }

private:
    void onChatConnection();
    void sendChatLine();

    QString folder;
    StaticHttpServer http;
    QWebSocketServer chat;
    QList<QWebSocket*> clients;
    QTimer feed;
    int lines = 0;
};
