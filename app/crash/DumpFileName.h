#pragma once

#include "CivilTime.h"

#include <cstddef>

namespace crash {

// "<directory>/<tag>_YYYYMMDDhhmmss.dmp" into a fixed buffer, without stdio.
// Returns false, leaving an empty text, when the path does not fit.
bool formatDumpPath(char* buffer, size_t size, const char* directory, const char* tag, const CivilTime& time);

} // namespace crash
