#include "CrashHandler.h"

#include "crash/CrashPlatform.h"
#include "crash/DumpFileName.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace {

bool copyInto(char (&target)[crash::kPathBufferSize], const char* text)
{
    const size_t length = text ? std::strlen(text) : 0;
    if (length >= sizeof target)
        return false;
    std::memcpy(target, text ? text : "", length + 1);
    return true;
}

// The longest name a crash can give: the widest time stamp.
bool dumpPathFits(const crash::DumpSettings& settings)
{
    char path[crash::kPathBufferSize];
    return crash::formatDumpPath(path, sizeof path, settings.dumpDirectory, settings.dumpTag,
                                 crash::CivilTime{9999, 12, 31, 23, 59, 59});
}

} // namespace

void OpenUnhandledException(bool fullMemory, const char* dumpDirectory, const char* dumpTag)
{
    static crash::DumpSettings settings;
    settings.fullMemory = fullMemory;
    if (!copyInto(settings.dumpDirectory, dumpDirectory) || !copyInto(settings.dumpTag, dumpTag)
        || !dumpPathFits(settings)) {
        std::fprintf(stderr, "Crash handler not installed: the dump path would exceed %zu bytes\n",
                     crash::kPathBufferSize - 1);
        return;
    }
    std::set_terminate([] { std::exit(1); });
    if (!crash::installPlatformHandler(settings))
        std::fprintf(stderr, "Crash handler not installed: no memory for it\n");
}

void CloseUnhandledException()
{
    crash::setHandlerProtection(false);
}
