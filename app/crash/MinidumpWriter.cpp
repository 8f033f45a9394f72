#include "MinidumpWriter.h"

#include "CpuContext.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace crash {

namespace {
constexpr uint32_t kHeaderAndDirectorySize = sizeof(md::Header) + 16 * sizeof(md::Directory);
}

MinidumpWriter::MinidumpWriter(int fd, const CrashSnapshot& snapshot, MemoryReader& memory)
    : file(fd)
    , snapshot(snapshot)
    , memory(memory)
{
}

bool MinidumpWriter::write(const FileStream* files, int fileCount)
{
    static_assert(kHeaderAndDirectorySize == sizeof(md::Header) + kMaxStreams * sizeof(md::Directory), "");
    file.appendZeros(kHeaderAndDirectorySize);
    writeContexts();
    writeMemoryList();
    writeThreadList();
    writeException();
    writeModuleList();
    writeSystemInfo();
    writeMiscInfo();
    for (int i = 0; i < fileCount && streamCount < kMaxStreams; ++i)
        writeFileStream(files[i]);
    writeHeader();
    return !file.failed();
}

void MinidumpWriter::writeContexts()
{
    md::ContextAmd64 context;
    for (int i = 0; i < snapshot.threadCount; ++i) {
        fillCpuContext(context, snapshot.threads[i]);
        file.alignTo(16);
        contexts[i] = {sizeof context, file.position()};
        file.append(&context, sizeof context);
    }
}

void MinidumpWriter::writeMemoryList()
{
    file.alignTo(8);
    const uint32_t listStart = file.position();
    const uint64_t listSize = 4 + uint64_t(snapshot.rangeCount) * sizeof(md::MemoryDescriptor);
    uint64_t dataRva = listStart + listSize;
    rangesWritten = 0;
    for (int i = 0; i < snapshot.rangeCount; ++i) {
        const uint64_t size = snapshot.ranges[i].end - snapshot.ranges[i].start;
        if (size > 0xFFFFFFFFull || dataRva + size >= 0xF0000000ull)
            break;
        rangeRva[i] = uint32_t(dataRva);
        dataRva += size;
        ++rangesWritten;
    }
    beginStream(md::MemoryListStream);
    const uint32_t count = uint32_t(rangesWritten);
    file.append(&count, sizeof count);
    for (int i = 0; i < rangesWritten; ++i) {
        const MemoryRange& range = snapshot.ranges[i];
        const md::MemoryDescriptor descriptor{range.start, {uint32_t(range.end - range.start), rangeRva[i]}};
        file.append(&descriptor, sizeof descriptor);
    }
    endStream();
    writeMemoryData();
}

void MinidumpWriter::writeMemoryData()
{
    for (int i = 0; i < rangesWritten; ++i) {
        const MemoryRange& range = snapshot.ranges[i];
        for (uint64_t address = range.start; address < range.end;) {
            const size_t length = range.end - address < kChunkSize ? size_t(range.end - address) : kChunkSize;
            memory.read(address, chunk, length);
            file.append(chunk, length);
            address += length;
        }
    }
}

md::MemoryDescriptor MinidumpWriter::stackOf(const ThreadRecord& thread) const
{
    for (int i = 0; i < rangesWritten; ++i) {
        const MemoryRange& range = snapshot.ranges[i];
        if (thread.stackStart >= range.start && thread.stackStart < range.end) {
            const uint64_t end = thread.stackEnd < range.end ? thread.stackEnd : range.end;
            return {thread.stackStart,
                    {uint32_t(end - thread.stackStart), rangeRva[i] + uint32_t(thread.stackStart - range.start)}};
        }
    }
    return {thread.stackStart, {0, 0}};
}

void MinidumpWriter::writeThreadList()
{
    beginStream(md::ThreadListStream);
    const uint32_t count = uint32_t(snapshot.threadCount);
    file.append(&count, sizeof count);
    for (int i = 0; i < snapshot.threadCount; ++i) {
        md::Thread thread{};
        thread.threadId = uint32_t(snapshot.threads[i].tid);
        thread.stack = stackOf(snapshot.threads[i]);
        thread.threadContext = contexts[i];
        file.append(&thread, sizeof thread);
    }
    endStream();
}

void MinidumpWriter::writeException()
{
    beginStream(md::ExceptionStream);
    md::Exception exception{};
    exception.threadId = uint32_t(snapshot.exception.tid);
    exception.exceptionRecord.exceptionCode = uint32_t(snapshot.exception.signo);
    exception.exceptionRecord.exceptionFlags = uint32_t(snapshot.exception.code);
    exception.exceptionRecord.exceptionAddress = snapshot.exception.faultAddress;
    exception.threadContext = contexts[snapshot.crashingThread];
    file.append(&exception, sizeof exception);
    endStream();
}

void MinidumpWriter::writeModuleList()
{
    for (int i = 0; i < snapshot.moduleCount; ++i) {
        const ModuleRecord& module = snapshot.modules[i];
        moduleNameRva[i] = file.appendUtf16String(pathOf(module.pathOffset), module.pathLength);
        file.alignTo(4);
        moduleCodeView[i] = {4 + module.buildIdSize, file.position()};
        file.append(&md::kCodeViewElfBuildId, 4);
        file.append(module.buildId, module.buildIdSize);
    }
    beginStream(md::ModuleListStream);
    const uint32_t count = uint32_t(snapshot.moduleCount);
    file.append(&count, sizeof count);
    for (int i = 0; i < snapshot.moduleCount; ++i) {
        md::Module module{};
        module.baseOfImage = snapshot.modules[i].base;
        module.sizeOfImage = uint32_t(snapshot.modules[i].size);
        module.moduleNameRva = moduleNameRva[i];
        module.cvRecord = moduleCodeView[i];
        file.append(&module, sizeof module);
    }
    endStream();
}

void MinidumpWriter::writeSystemInfo()
{
    const SystemRecord& system = snapshot.system;
    const uint32_t description = file.appendUtf16String(system.description, strnlen(system.description, sizeof system.description));
    beginStream(md::SystemInfoStream);
    md::SystemInfo info{};
    info.processorArchitecture = processorArchitecture();
    info.processorLevel = uint16_t((system.cpuVersion >> 8) & 0xF);
    info.processorRevision = uint16_t(system.cpuVersion & 0xFF);
    info.numberOfProcessors = uint8_t(system.processorCount > 255 ? 255 : system.processorCount);
    info.majorVersion = system.kernelMajor;
    info.minorVersion = system.kernelMinor;
    info.buildNumber = system.kernelPatch;
    info.platformId = md::kPlatformLinux;
    info.csdVersionRva = description;
    std::memcpy(info.vendorId, system.cpuVendor, sizeof info.vendorId);
    info.versionInformation = system.cpuVersion;
    info.featureInformation = system.cpuFeatures;
    file.append(&info, sizeof info);
    endStream();
}

void MinidumpWriter::writeMiscInfo()
{
    beginStream(md::MiscInfoStream);
    md::MiscInfo info{};
    info.sizeOfInfo = sizeof info;
    info.flags1 = md::kMiscProcessId;
    info.processId = uint32_t(snapshot.pid);
    file.append(&info, sizeof info);
    endStream();
}

void MinidumpWriter::writeFileStream(const FileStream& stream)
{
    const int fd = open(stream.path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    beginStream(stream.type);
    for (;;) {
        const ssize_t got = read(fd, chunk, kChunkSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !file.fits(uint64_t(got)))
            break;
        file.append(chunk, size_t(got));
    }
    close(fd);
    endStream();
}

void MinidumpWriter::beginStream(uint32_t type)
{
    file.alignTo(4);
    directory[streamCount] = {type, {0, file.position()}};
}

void MinidumpWriter::endStream()
{
    md::Directory& entry = directory[streamCount++];
    entry.location.dataSize = file.position() - entry.location.rva;
}

void MinidumpWriter::writeHeader()
{
    file.flush();
    md::Header header{};
    header.signature = md::kSignature;
    header.version = md::kVersion;
    header.numberOfStreams = uint32_t(streamCount);
    header.streamDirectoryRva = sizeof header;
    header.timeDateStamp = snapshot.crashTime;
    file.writeAt(0, &header, sizeof header);
    file.writeAt(sizeof header, directory, sizeof(md::Directory) * size_t(streamCount));
}

} // namespace crash
