#pragma once

// The process-wide crash reporter. Exported from the executable under these
// plain names so modules loaded later can reach it.
extern "C" {
__attribute__((visibility("default"))) void OpenUnhandledException(bool fullMemory, const char* dumpDirectory,
                                                                    const char* dumpTag);
__attribute__((visibility("default"))) void CloseUnhandledException();
}
