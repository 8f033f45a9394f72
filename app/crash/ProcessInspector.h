#pragma once

#include "CrashSnapshot.h"

#include <csignal>
#include <ucontext.h>

namespace crash {

// Finds out everything about a crashed Linux process that a dump holds:
// threads with registers, mappings, modules with build ids, the memory worth
// keeping. Run from a helper process it stops the crashed threads through
// ptrace; where attaching is refused it keeps the crashing thread alone.
// Reserved before the crash; nothing here allocates.
class ProcessInspector : public MemoryReader
{
public:
    ProcessInspector(CrashSnapshot& snapshot, pid_t pid);

    void recordCrash(pid_t tid, const siginfo_t& info, const ucontext_t& context);
    // Stops and reads every other thread; false when the system forbids it.
    bool attachOtherThreads();
    // Lets the stopped threads go and closes what reading opened.
    void release();
    void readMappings();
    void findStacks();
    void findModules();
    void planMemory(bool fullMemory);
    void readSystem();

    size_t read(uint64_t address, void* buffer, size_t length) override;

    static constexpr size_t kProcPathSize = 64;
    // "/proc/<pid>/<leaf>"
    static void procPath(char (&buffer)[kProcPathSize], pid_t pid, const char* leaf);

private:
    const MappingRecord* mappingAt(uint64_t address) const;
    const MappingRecord* stackAbove(uint64_t address) const;
    ssize_t readPiece(uint64_t address, uint8_t* buffer, size_t length);
    ssize_t readThroughPipe(uint64_t address, uint8_t* buffer, size_t length);
    bool attachThread(pid_t tid, ThreadRecord& thread);
    void findStack(ThreadRecord& thread);
    void addRange(uint64_t start, uint64_t end);
    void addAround(uint64_t address, uint64_t before, uint64_t after);
    void sortAndMergeRanges();
    void readBuildId(ModuleRecord& module);
    void findBuildIdNote(uint64_t address, uint64_t size, ModuleRecord& module);
    bool parseMapping(const char* line, size_t length, MappingRecord& mapping);

    CrashSnapshot& snapshot;
    pid_t pid;
    bool readingOwnCopy = false;
    bool ownReadsThroughPipe = false;
    int ownPipe[2] = {-1, -1};
    int attachedCount = 0;
    pid_t attached[kMaxThreads];
};

} // namespace crash
