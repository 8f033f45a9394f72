#include "CrashHandler.h"

// Placeholder until the crash reporter lands.
void OpenUnhandledException(bool, const char*, const char*) {}
void CloseUnhandledException() {}
