#include "YConfiger.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

#include <unistd.h>

#include <mutex>

YConfiger* YConfiger::instance()
{
    // Never deleted: settings may be read from exit hooks and static destructors.
    static YConfiger* configer = nullptr;
    static std::once_flag once;
    std::call_once(once, [] { configer = new YConfiger; });
    return configer;
}

QString YConfiger::defaultConfigPath()
{
    // loadConfig() runs before any QCoreApplication exists, so the
    // executable's directory comes from the kernel, not from Qt.
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return QStringLiteral("YConfig.ini");
    const QString exe = QString::fromLocal8Bit(buffer, int(n));
    return QFileInfo(exe).absolutePath() + QStringLiteral("/YConfig.ini");
}

void YConfiger::loadConfig()
{
    const QByteArray fromEnvironment = qgetenv("YCONFIG_FILE");
    path = fromEnvironment.isEmpty() ? defaultConfigPath() : QString::fromLocal8Bit(fromEnvironment);
    loaded = true;
    entries.clear();
    if (!QFileInfo(path).isReadable())
        return;
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return;
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys)
        entries.insert(key, Entry { settings.value(key), {} });
}

QVariant YConfiger::value(const QString& key) const
{
    const auto it = entries.constFind(key);
    if (it == entries.constEnd())
        return {};
    return it->producer ? it->producer() : it->value;
}

void YConfiger::setValue(const QString& key, const QVariant& value)
{
    entries.insert(key, Entry { value, {} });
}

void YConfiger::setProducer(const QString& key, const Producer& producer)
{
    entries.insert(key, Entry { {}, producer });
}
