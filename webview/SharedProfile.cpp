#include "SharedProfile.h"

#include "HookLists.h"
#include "LogWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <memory>

namespace {
std::unique_ptr<SharedProfile>& instance()
{
    static std::unique_ptr<SharedProfile> profile;
    return profile;
}

HookRegistration claimHook(startupHooks(), [] { SharedProfile::claim(QWebEngineProfile::defaultProfile()); });

const QString CopyMarker = QStringLiteral("-runner-");
const QString PendingSuffix = QStringLiteral(".cookies");

QByteArray cookieKey(const QNetworkCookie& cookie)
{
    return cookie.domain().toUtf8() + '\t' + cookie.path().toUtf8() + '\t' + cookie.name();
}
}

SharedProfile::SharedProfile(const QString& shared)
    : sharedPath(QDir::cleanPath(shared))
    , lock(sharedPath + QStringLiteral(".lock"))
{
    lock.setStaleLockTime(0);
}

SharedProfile::~SharedProfile()
{
    if (!privatePath.isEmpty())
        QDir(privatePath).removeRecursively();
}

void SharedProfile::claim(QWebEngineProfile* profile)
{
    if (profile->isOffTheRecord() || instance())
        return;
    instance().reset(new SharedProfile(profile->persistentStoragePath()));
    SharedProfile& self = *instance();
    QDir().mkpath(QFileInfo(self.sharedPath).absolutePath());
    if (self.lock.tryLock(0)) {
        self.takeInPendingCookies(profile);
        self.removeStaleCopies();
        return;
    }
    self.useCopy(profile);
    self.keepCookies(profile);
}

bool SharedProfile::isOwner()
{
    return instance() && instance()->lock.isLocked();
}

void SharedProfile::useCopy(QWebEngineProfile* profile)
{
    privatePath = sharedPath + CopyMarker + QString::number(QCoreApplication::applicationPid());
    QDir(privatePath).removeRecursively();
    QDir().mkpath(privatePath);
    for (const QString& name : { QStringLiteral("Cookies"), QStringLiteral("Cookies-journal") })
        QFile::copy(QDir(sharedPath).filePath(name), QDir(privatePath).filePath(name));
    profile->setPersistentStoragePath(privatePath);
    log("Profile in use by another runner, working on a copy : ", privatePath);
}

void SharedProfile::keepCookies(QWebEngineProfile* profile)
{
    QWebEngineCookieStore* store = profile->cookieStore();
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, store, [this](const QNetworkCookie& cookie) {
        if (cookie.isSessionCookie())
            return;
        cookies.insert(cookieKey(cookie), cookie);
        writePendingCookies();
    });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, store, [this](const QNetworkCookie& cookie) {
        if (cookies.remove(cookieKey(cookie)))
            writePendingCookies();
    });
}

void SharedProfile::writePendingCookies() const
{
    QSaveFile file(privatePath + PendingSuffix);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(encodeCookies(cookies.values()));
    file.commit();
}

void SharedProfile::takeInPendingCookies(QWebEngineProfile* profile) const
{
    const QFileInfo shared(sharedPath);
    const QStringList files = shared.dir().entryList({ shared.fileName() + CopyMarker + "*" + PendingSuffix }, QDir::Files);
    for (const QString& name : files) {
        const QString pid = name.mid(shared.fileName().size() + CopyMarker.size()).chopped(PendingSuffix.size());
        if (isRunning(pid))
            continue;
        QFile file(shared.dir().filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QNetworkCookie& cookie : decodeCookies(file.readAll()))
            profile->cookieStore()->setCookie(cookie);
        file.remove();
    }
}

QByteArray SharedProfile::encodeCookies(const QList<QNetworkCookie>& list)
{
    QByteArray bytes;
    for (const QNetworkCookie& cookie : list)
        bytes += cookie.toRawForm(QNetworkCookie::Full).toBase64() + '\n';
    return bytes;
}

QList<QNetworkCookie> SharedProfile::decodeCookies(const QByteArray& bytes)
{
    QList<QNetworkCookie> list;
    for (const QByteArray& line : bytes.split('\n'))
        list += QNetworkCookie::parseCookies(QByteArray::fromBase64(line));
    return list;
}

bool SharedProfile::isRunning(const QString& pid)
{
    bool ok = false;
    pid.toLongLong(&ok);
    return ok && QFileInfo::exists(QStringLiteral("/proc/") + pid);
}

void SharedProfile::removeStaleCopies() const
{
    // Copies left by runners that did not end normally; the owner is the only
    // one that knows no other runner of this profile is starting.
    const QFileInfo shared(sharedPath);
    const QStringList copies = shared.dir().entryList({ shared.fileName() + CopyMarker + "*" }, QDir::Dirs);
    for (const QString& name : copies) {
        if (!isRunning(name.mid(shared.fileName().size() + CopyMarker.size())))
            QDir(shared.dir().filePath(name)).removeRecursively();
    }
}
