#pragma once

#include "MiniEngineApi.h"
#include "VipMiniEngineApi.h"

#include <QString>
#include <QStringList>

// Binds the engine interfaces from the engine library at run time. Which file
// is loaded comes from the configuration:
//   [MiniEngine]
//   Library=libybrminiengine.so      ; first interface
//   VipLibrary=libybrminiengine.so   ; second interface
//   SearchPath=<directory>           ; default: the executable's directory
// A name with a directory part is used as it stands. An interface counts as
// bound only when every one of its entry points resolved.
class MiniEngineBinder
{
public:
    struct Result
    {
        bool bound = false;
        QString file;
        QString error;
        QStringList missing;
    };

    static Result bindMini(const QString& file, MiniEngineApi* api);
    static Result bindVip(const QString& file, VipMiniEngineApi* api);

    // The interfaces of this process, bound from the configuration on first
    // use; null while unbound.
    static const MiniEngineApi* mini();
    static const VipMiniEngineApi* vip();
    static Result miniResult();
    static Result vipResult();
    // Forgets the bindings so that the next use binds again.
    static void reset();

    static QString configuredFile(const QString& key);
    // One line for the log saying why an interface is unbound.
    static QString describe(const Result& result);

    static const char* defaultLibraryName();
};
