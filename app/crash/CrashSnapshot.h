#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <sys/user.h>

// What the process inspector found out about the crashed process, in fixed
// arrays so that it lives in memory reserved before the crash.
namespace crash {

constexpr int kMaxThreads = 1024;
constexpr int kMaxMappings = 16384;
constexpr int kMaxModules = 2048;
constexpr int kMaxRanges = kMaxMappings + 2 * kMaxThreads + 4;
constexpr size_t kPathPoolSize = 1024 * 1024;
constexpr int kMaxBuildIdSize = 64;

struct ThreadRecord {
    pid_t tid;
    user_regs_struct regs;
    user_fpregs_struct fpregs;
    uint64_t stackStart;
    uint64_t stackEnd;
};

enum MappingFlag : uint32_t { MapRead = 1, MapWrite = 2, MapExec = 4, MapPrivate = 8 };

struct MappingRecord {
    uint64_t start;
    uint64_t end;
    uint64_t offset;
    uint64_t inode;
    uint32_t flags;
    uint32_t pathOffset;
    uint32_t pathLength;
};

struct ModuleRecord {
    uint64_t base;
    uint64_t size;
    uint32_t pathOffset;
    uint32_t pathLength;
    uint32_t buildIdSize;
    uint8_t buildId[kMaxBuildIdSize];
};

struct MemoryRange {
    uint64_t start;
    uint64_t end;
};

struct ExceptionInfo {
    pid_t tid;
    int signo;
    int code;
    uint64_t faultAddress;
};

struct SystemRecord {
    int processorCount;
    uint32_t cpuVendor[3];
    uint32_t cpuVersion;
    uint32_t cpuFeatures;
    char description[512]; // "Linux <release> <version> <machine>"
    uint32_t kernelMajor;
    uint32_t kernelMinor;
    uint32_t kernelPatch;
};

struct CrashSnapshot {
    pid_t pid;
    uint32_t crashTime;
    ExceptionInfo exception;
    SystemRecord system;

    int threadCount;
    int crashingThread; // index into threads
    ThreadRecord threads[kMaxThreads];

    int mappingCount;
    MappingRecord mappings[kMaxMappings];
    char paths[kPathPoolSize];
    uint32_t pathsUsed;

    int moduleCount;
    ModuleRecord modules[kMaxModules];

    int rangeCount;
    MemoryRange ranges[kMaxRanges];
};

// Reads the crashed process's memory; a part that cannot be read comes back
// as zeros and shortens the returned count.
class MemoryReader
{
public:
    virtual size_t read(uint64_t address, void* buffer, size_t length) = 0;

protected:
    ~MemoryReader() = default;
};

} // namespace crash
