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
// shared cookies (so logins made earlier still hold) in a folder of its own,
// and leaves its persistent cookies in a file beside the profile, which the
// next runner that holds the profile takes in. The claim is held until the
// process ends, after the engine has written its last cookies.
class SharedProfile
{
public:
    // Before the first page is created.
    static void claim(QWebEngineProfile* profile);
    static bool isOwner();

    ~SharedProfile();

    static QByteArray encodeCookies(const QList<QNetworkCookie>& cookies);
    static QList<QNetworkCookie> decodeCookies(const QByteArray& bytes);

private:
    explicit SharedProfile(const QString& sharedPath);
    void useCopy(QWebEngineProfile* profile);
    void keepCookies(QWebEngineProfile* profile);
    void writePendingCookies() const;
    void takeInPendingCookies(QWebEngineProfile* profile) const;
    void removeStaleCopies() const;
    static bool isRunning(const QString& pid);

    QString sharedPath;
    QString privatePath;
    QMap<QByteArray, QNetworkCookie> cookies;
    QLockFile lock;
};
