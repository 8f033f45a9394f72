#include "MiniEngineBinder.h"

#include "YConfiger.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <cstring>

namespace {

struct EntryPoint
{
    const char* name;
    size_t offset;
};

const EntryPoint miniEntryPoints[] = {
#define MINI_ENTRY(result, name, parameters) { #name, offsetof(MiniEngineApi, name) },
    MINI_ENGINE_ENTRY_POINTS(MINI_ENTRY)
#undef MINI_ENTRY
};

const EntryPoint vipEntryPoints[] = {
#define VIP_ENTRY(result, name, parameters) { #name, offsetof(VipMiniEngineApi, name) },
    VIP_ENGINE_ENTRY_POINTS(VIP_ENTRY)
#undef VIP_ENTRY
};

template<size_t N>
MiniEngineBinder::Result bindTable(const QString& file, const EntryPoint (&entryPoints)[N], void* table,
                                   size_t tableSize)
{
    MiniEngineBinder::Result result;
    result.file = file;
    std::memset(table, 0, tableSize);
    // The loader's own message names the last variant of the name it tried.
    if (!QFileInfo::exists(file)) {
        result.error = QStringLiteral("%1 does not exist").arg(file);
        return result;
    }
    QLibrary library(file);
    if (!library.load()) {
        result.error = library.errorString();
        return result;
    }
    for (const EntryPoint& entry : entryPoints) {
        const QFunctionPointer function = library.resolve(entry.name);
        if (!function)
            result.missing << QString::fromLatin1(entry.name);
        std::memcpy(static_cast<char*>(table) + entry.offset, &function, sizeof(function));
    }
    result.bound = result.missing.isEmpty();
    if (!result.bound)
        std::memset(table, 0, tableSize);
    return result;
}

struct Bindings
{
    bool tried = false;
    MiniEngineApi mini {};
    VipMiniEngineApi vip {};
    MiniEngineBinder::Result miniResult;
    MiniEngineBinder::Result vipResult;
};

Bindings& bindings()
{
    static Bindings instance;
    if (!instance.tried) {
        instance.tried = true;
        instance.miniResult = MiniEngineBinder::bindMini(
            MiniEngineBinder::configuredFile(QStringLiteral("MiniEngine/Library")), &instance.mini);
        instance.vipResult = MiniEngineBinder::bindVip(
            MiniEngineBinder::configuredFile(QStringLiteral("MiniEngine/VipLibrary")), &instance.vip);
    }
    return instance;
}

} // namespace

MiniEngineBinder::Result MiniEngineBinder::bindMini(const QString& file, MiniEngineApi* api)
{
    return bindTable(file, miniEntryPoints, api, sizeof(*api));
}

MiniEngineBinder::Result MiniEngineBinder::bindVip(const QString& file, VipMiniEngineApi* api)
{
    return bindTable(file, vipEntryPoints, api, sizeof(*api));
}

const MiniEngineApi* MiniEngineBinder::mini()
{
    Bindings& b = bindings();
    return b.miniResult.bound ? &b.mini : nullptr;
}

const VipMiniEngineApi* MiniEngineBinder::vip()
{
    Bindings& b = bindings();
    return b.vipResult.bound ? &b.vip : nullptr;
}

MiniEngineBinder::Result MiniEngineBinder::miniResult()
{
    return bindings().miniResult;
}

MiniEngineBinder::Result MiniEngineBinder::vipResult()
{
    return bindings().vipResult;
}

void MiniEngineBinder::reset()
{
    bindings() = Bindings {};
}

const char* MiniEngineBinder::defaultLibraryName()
{
    return "libybrminiengine.so";
}

QString MiniEngineBinder::configuredFile(const QString& key)
{
    const YConfiger* config = YConfiger::instance();
    QString name = config->readString(key);
    if (name.isEmpty())
        name = QString::fromLatin1(defaultLibraryName());
    if (name.contains(QLatin1Char('/')))
        return name;
    QString directory = config->readString(QStringLiteral("MiniEngine/SearchPath"));
    if (directory.isEmpty())
        directory = QCoreApplication::applicationDirPath();
    return QDir(directory).filePath(name);
}

QString MiniEngineBinder::describe(const Result& result)
{
    if (result.bound)
        return result.file;
    if (!result.error.isEmpty())
        return result.error;
    return QStringLiteral("%1 lacks %2").arg(result.file, result.missing.join(QLatin1Char(' ')));
}
