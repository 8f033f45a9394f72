#include "RealPageCorpus.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>

RealPageCorpus::RealPageCorpus(const QString& folder, QObject* parent)
    : QObject(parent)
    , folder(folder)
    , http(folder)
    , chat(QStringLiteral("chat"), QWebSocketServer::NonSecureMode)
{
    connect(&chat, &QWebSocketServer::newConnection, this, &RealPageCorpus::onChatConnection);
    connect(&feed, &QTimer::timeout, this, &RealPageCorpus::sendChatLine);
    feed.setInterval(400);
}

QString RealPageCorpus::defaultFolder()
{
    return QStringLiteral(YBR_REALPAGES_DIR);
}

static QJsonObject readJson(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

QString RealPageCorpus::missing() const
{
    QStringList absent;
    const QJsonObject pinned = readJson(folder + "/package.json").value("dependencies").toObject();
    if (pinned.isEmpty())
        absent << folder + "/package.json";
    for (auto it = pinned.begin(); it != pinned.end(); ++it) {
        const QString installed = readJson(folder + "/node_modules/" + it.key() + "/package.json").value("version").toString();
        if (installed != it.value().toString())
            absent << QStringLiteral("%1@%2 (found %3)").arg(it.key(), it.value().toString(), installed.isEmpty() ? "none" : installed);
    }
    if (!QFile::exists(folder + "/media/clip.webm"))
        absent << "media/clip.webm";
    if (absent.isEmpty())
        return {};
    return QStringLiteral("the real pages are not set up in %1, missing: %2. Run tools/setup.sh (npm ci and the ffmpeg clip).")
        .arg(folder, absent.join(", "));
}

bool RealPageCorpus::start()
{
    if (!http.start() || !chat.listen(QHostAddress::LocalHost))
        return false;
    feed.start();
    return true;
}

QStringList RealPageCorpus::pageNames() const
{
    QStringList names;
    for (const QString& file : QDir(folder + "/pages").entryList({ "*.html" }, QDir::Files, QDir::Name))
        names << file.chopped(5);
    return names;
}

QString RealPageCorpus::url(const QString& page) const
{
    QString url = http.urlFor("pages/" + page + ".html");
    if (page == QLatin1String("chat"))
        url += "?ws=" + QString::number(chat.serverPort());
    return url;
}

void RealPageCorpus::onChatConnection()
{
    while (QWebSocket* socket = chat.nextPendingConnection()) {
        clients << socket;
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            clients.removeOne(socket);
            socket->deleteLater();
        });
    }
}

void RealPageCorpus::sendChatLine()
{
    static const char* const users[][2] = {
        { "streamfan_42", "#ff7f50" }, { "pixelpusher", "#9acd32" }, { "night_owl", "#1e90ff" },
        { "framecounter", "#daa520" }, { "modbot", "#b22222" },
    };
    static const char* const texts[] = {
        "hello chat!", "that frame rate though", "PogChamp", "is this rendered off screen?",
        "first time here, love the overlay", "gg", "can you show the settings again?", "lol",
    };
    const auto& user = users[lines % 5];
    const QJsonObject line {
        { "user", QString::fromLatin1(user[0]) },
        { "colour", QString::fromLatin1(user[1]) },
        { "text", QString::fromLatin1(texts[lines % 8]) + QStringLiteral(" (%1)").arg(lines) },
    };
    ++lines;
    const QString text = QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact));
    for (QWebSocket* socket : qAsConst(clients))
        socket->sendTextMessage(text);
}
