#pragma once

#include "DumpSettings.h"

namespace crash {

// What each platform provides to the two entry points.
bool installPlatformHandler(const DumpSettings& settings);
void setHandlerProtection(bool on);

} // namespace crash
