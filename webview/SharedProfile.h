#pragma once

#include <QLockFile>
#include <QString>

class QWebEngineProfile;

#include <QMap>
#include <QNetworkCookie>

// Several runners of one host share the default profile on disk, but the
// engine opens its cookie database exclusively: a second process that opened
// it too would find it locked and lose every cookie. The first runner holds
// the shared profile; a runner started while it lives works on a copy of the
// shared cookies in a folder of its own. Every runner also keeps its
// persistent cookies in a file beside the profile, written within moments of
// a change, which every runner started later takes in (so a login made in a
// running runner holds there too) and the next holder of the profile keeps
// for good. The claim is held until the process ends, after the engine has
// written its last cookies.
class SharedProfile
{
public:
    // Before the first page is created, once the application name is set.
    static void claim(QWebEngineProfile* profile);
    static bool isOwner();

    ~SharedProfile();

    static QByteArray encodeCookies(const QList<QNetworkCookie>& cookies);
    static QList<QNetworkCookie> decodeCookies(const QByteArray& bytes);

private:
    explicit SharedProfile(const QString& sharedPath);
    void useCopy(QWebEngineProfile* profile);
    void keepCookies(QWebEngineProfile* profile);
    void scheduleWrite(QObject* context);
    void writePendingCookies() const;
    void takeInPendingCookies(QWebEngineProfile* profile) const;
    void removeStaleCopies() const;
    static bool isRunning(const QString& pid);

    static constexpr int WriteDelayMs = 200;

    QString sharedPath;
    QString cookiesPath;
    QString privatePath;
    bool writeScheduled = false;
    QMap<QByteArray, QNetworkCookie> cookies;
    QLockFile lock;
};
