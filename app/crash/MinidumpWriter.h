#pragma once

#include "CrashSnapshot.h"
#include "DumpFile.h"
#include "MinidumpFormat.h"

namespace crash {

// A text file of the crashed process copied verbatim into a stream of its own.
struct FileStream {
    uint32_t type;
    const char* path;
};

// Lays a snapshot out as a minidump: header, stream directory, then the
// streams, every record pointing at its data by file offset. Lives in memory
// reserved before the crash; write() neither allocates nor locks.
class MinidumpWriter
{
public:
    MinidumpWriter(int fd, const CrashSnapshot& snapshot, MemoryReader& memory);

    bool write(const FileStream* files, int fileCount);

private:
    static constexpr int kMaxStreams = 16;
    static constexpr size_t kChunkSize = 64 * 1024;

    void writeContexts();
    void writeMemoryList();
    void writeMemoryData();
    void writeThreadList();
    void writeException();
    void writeModuleList();
    void writeSystemInfo();
    void writeMiscInfo();
    void writeFileStream(const FileStream& file);
    void writeHeader();

    md::MemoryDescriptor stackOf(const ThreadRecord& thread) const;
    void beginStream(uint32_t type);
    void endStream();
    const char* pathOf(uint32_t offset) const { return snapshot.paths + offset; }

    DumpFile file;
    const CrashSnapshot& snapshot;
    MemoryReader& memory;

    md::Directory directory[kMaxStreams];
    int streamCount = 0;
    md::LocationDescriptor contexts[kMaxThreads];
    uint32_t rangeRva[kMaxRanges];
    int rangesWritten = 0;
    uint32_t moduleNameRva[kMaxModules];
    md::LocationDescriptor moduleCodeView[kMaxModules];
    uint8_t chunk[kChunkSize];
};

} // namespace crash
