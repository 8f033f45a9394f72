#pragma once

// The process-wide crash reporter. Exported from the executable under these
// plain names so modules loaded later can reach it.
//
// OpenUnhandledException: from now on the first crash of any thread writes
// one minidump "<dumpDirectory>/<dumpTag>_YYYYMMDDhhmmss.dmp" (local time;
// with fullMemory, every readable private mapping) and ends the process with
// status 0; other code can no longer replace the crash signal handlers.
// Installs nothing, with a line on stderr, when the path would not fit in
// 1023 bytes. CloseUnhandledException lifts that guard; the handlers stay.
extern "C" {
__attribute__((visibility("default"))) void OpenUnhandledException(bool fullMemory, const char* dumpDirectory,
                                                                    const char* dumpTag);
__attribute__((visibility("default"))) void CloseUnhandledException();
}
