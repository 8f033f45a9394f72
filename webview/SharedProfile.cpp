#include "SharedProfile.h"

#include "LogWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <memory>

namespace {
std::unique_ptr<SharedProfile>& instance()
{
    static std::unique_ptr<SharedProfile> profile;
    return profile;
}

const QString CopyMarker = QStringLiteral("-runner-");
const QString PendingSuffix = QStringLiteral(".cookies");

QByteArray cookieKey(const QNetworkCookie& cookie)
{
    return cookie.domain().toUtf8() + '\t' + cookie.path().toUtf8() + '\t' + cookie.name();
}
}

SharedProfile::SharedProfile(const QString& shared)
    : sharedPath(QDir::cleanPath(shared))
    , cookiesPath(sharedPath + CopyMarker + QString::number(QCoreApplication::applicationPid()) + PendingSuffix)
    , lock(sharedPath + QStringLiteral(".lock"))
{
    lock.setStaleLockTime(0);
}

SharedProfile::~SharedProfile()
{
    if (writeScheduled)
        writePendingCookies();
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
        log("Profile held by this runner : ", self.sharedPath);
        self.removeStaleCopies();
    } else {
        self.useCopy(profile);
    }
    self.takeInPendingCookies(profile);
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
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, store, [this, store](const QNetworkCookie& cookie) {
        if (cookie.isSessionCookie())
            return;
        cookies.insert(cookieKey(cookie), cookie);
        scheduleWrite(store);
    });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, store, [this, store](const QNetworkCookie& cookie) {
        if (cookies.remove(cookieKey(cookie)))
            scheduleWrite(store);
    });
}

// The engine's own store writes to disk only every half minute or so; this
// file is how a runner started meanwhile learns of a new login.
void SharedProfile::scheduleWrite(QObject* context)
{
    if (writeScheduled)
        return;
    writeScheduled = true;
    QTimer::singleShot(WriteDelayMs, context, [this] {
        writeScheduled = false;
        writePendingCookies();
    });
}

void SharedProfile::writePendingCookies() const
{
    QSaveFile file(cookiesPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(encodeCookies(cookies.values()));
    file.commit();
}

// Every runner's persistent cookies, oldest file first so the newest login
// wins. Files of runners still alive stay for the next runner; those of ended
// runners stay until the holder of the profile has taken them in for good.
void SharedProfile::takeInPendingCookies(QWebEngineProfile* profile) const
{
    const QFileInfo shared(sharedPath);
    const QStringList files = shared.dir().entryList({ shared.fileName() + CopyMarker + "*" + PendingSuffix }, QDir::Files,
                                                     QDir::Time | QDir::Reversed);
    for (const QString& name : files) {
        const QString pid = name.mid(shared.fileName().size() + CopyMarker.size()).chopped(PendingSuffix.size());
        QFile file(shared.dir().filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QNetworkCookie& cookie : decodeCookies(file.readAll()))
            profile->cookieStore()->setCookie(cookie);
        if (privatePath.isEmpty() && !isRunning(pid))
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
