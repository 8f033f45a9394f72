#include "CrashPlatform.h"

#include "CrashReporter.h"
#include "CrashSignals.h"

namespace crash {

bool installPlatformHandler(const DumpSettings& settings)
{
    if (!CrashReporter::prepare(settings) || !CrashSignals::install(&CrashReporter::handleCrash))
        return false;
    CrashSignals::setProtected(true);
    return true;
}

void setHandlerProtection(bool on)
{
    CrashSignals::setProtected(on);
}

} // namespace crash
