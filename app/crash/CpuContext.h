#pragma once

#include "CrashSnapshot.h"
#include "MinidumpFormat.h"

namespace crash {

// The thread's registers as the dump's CPU context record.
void fillCpuContext(md::ContextAmd64& context, const ThreadRecord& thread);

} // namespace crash
