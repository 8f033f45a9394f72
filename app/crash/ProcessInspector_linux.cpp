#include "ProcessInspector.h"

#include "CpuContext.h"
#include "LineReader.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <elf.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

namespace crash {

namespace {

constexpr uint64_t kRedZone = 128;
constexpr uint64_t kStackLimit = 256 * 1024;
constexpr uint64_t kOverflowReach = 64 * 1024;
constexpr uint64_t kCodeAround = 256;
constexpr uint64_t kDataAround = 1024;
constexpr uint64_t kFullMemoryBudget = 3500ull * 1024 * 1024;
constexpr uint64_t kPageSize = 4096;

const char* parseHex(const char* text, uint64_t* value)
{
    uint64_t result = 0;
    for (;; ++text) {
        const char c = *text;
        if (c >= '0' && c <= '9')
            result = result * 16 + uint64_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            result = result * 16 + uint64_t(c - 'a' + 10);
        else
            break;
    }
    *value = result;
    return text;
}

const char* parseDecimal(const char* text, uint64_t* value)
{
    uint64_t result = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        result = result * 10 + uint64_t(*text - '0');
    *value = result;
    return text;
}

const char* skipSpaces(const char* text)
{
    while (*text == ' ')
        ++text;
    return text;
}

bool isNumber(const char* text)
{
    if (!*text)
        return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9')
            return false;
    return true;
}

void copyText(char* target, size_t size, size_t& used, const char* text)
{
    while (*text && used + 1 < size)
        target[used++] = *text++;
    target[used] = '\0';
}

} // namespace

ProcessInspector::ProcessInspector(CrashSnapshot& snapshot, pid_t pid)
    : snapshot(snapshot)
    , pid(pid)
{
    snapshot.pid = pid;
    snapshot.threadCount = 0;
    snapshot.mappingCount = 0;
    snapshot.pathsUsed = 0;
    snapshot.moduleCount = 0;
    snapshot.rangeCount = 0;
}

void ProcessInspector::procPath(char (&buffer)[kProcPathSize], pid_t pid, const char* leaf)
{
    char digits[16];
    int count = 0;
    for (unsigned value = unsigned(pid); count == 0 || value > 0; value /= 10)
        digits[count++] = char('0' + value % 10);
    size_t used = 0;
    copyText(buffer, sizeof buffer, used, "/proc/");
    while (count > 0 && used + 1 < sizeof buffer)
        buffer[used++] = digits[--count];
    copyText(buffer, sizeof buffer, used, "/");
    copyText(buffer, sizeof buffer, used, leaf);
}

void ProcessInspector::recordCrash(pid_t tid, const siginfo_t& info, const ucontext_t& context)
{
    snapshot.exception.tid = tid;
    snapshot.exception.signo = info.si_signo;
    snapshot.exception.code = info.si_code;
    // Only a fault raised by the kernel carries an address.
    snapshot.exception.faultAddress = info.si_code > 0 ? uint64_t(info.si_addr) : 0;
    ThreadRecord& thread = snapshot.threads[0];
    std::memset(&thread, 0, sizeof thread);
    thread.tid = tid;
    readSignalRegisters(thread, context);
    snapshot.crashingThread = 0;
    snapshot.threadCount = 1;
}

bool ProcessInspector::attachOtherThreads()
{
    char path[kProcPathSize];
    procPath(path, pid, "task");
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool refused = false;
    alignas(8) char entries[4096];
    for (;;) {
        const long got = syscall(SYS_getdents64, fd, entries, sizeof entries);
        if (got <= 0)
            break;
        for (long offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + offset);
            offset += entry->d_reclen;
            if (!isNumber(entry->d_name) || snapshot.threadCount >= kMaxThreads)
                continue;
            uint64_t tid;
            parseDecimal(entry->d_name, &tid);
            if (pid_t(tid) == snapshot.exception.tid)
                continue;
            // A thread that is just ending refuses too; the others still count.
            if (attachThread(pid_t(tid), snapshot.threads[snapshot.threadCount]))
                ++snapshot.threadCount;
            else
                refused = true;
        }
    }
    close(fd);
    return !refused;
}

bool ProcessInspector::attachThread(pid_t tid, ThreadRecord& thread)
{
    if (ptrace(PTRACE_ATTACH, tid, nullptr, nullptr) != 0)
        return false;
    attached[attachedCount++] = tid;
    int status = 0;
    while (waitpid(tid, &status, __WALL) < 0 && errno == EINTR) {
    }
    std::memset(&thread, 0, sizeof thread);
    thread.tid = tid;
    if (!readStoppedRegisters(tid, thread))
        return errno = ESRCH, false;
    return true;
}

void ProcessInspector::release()
{
    for (int i = 0; i < attachedCount; ++i)
        ptrace(PTRACE_DETACH, attached[i], nullptr, nullptr);
    attachedCount = 0;
    for (int& fd : ownPipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void ProcessInspector::readMappings()
{
    char path[kProcPathSize];
    procPath(path, pid, "maps");
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    LineReader lines(fd);
    size_t length = 0;
    while (const char* line = lines.next(&length)) {
        if (snapshot.mappingCount >= kMaxMappings)
            break;
        if (parseMapping(line, length, snapshot.mappings[snapshot.mappingCount]))
            ++snapshot.mappingCount;
    }
    close(fd);
}

void ProcessInspector::findStacks()
{
    for (int i = 0; i < snapshot.threadCount; ++i)
        findStack(snapshot.threads[i]);
}

bool ProcessInspector::parseMapping(const char* line, size_t length, MappingRecord& mapping)
{
    const char* text = parseHex(line, &mapping.start);
    if (*text != '-')
        return false;
    text = parseHex(text + 1, &mapping.end);
    text = skipSpaces(text);
    if (std::strlen(text) < 4)
        return false;
    mapping.flags = (text[0] == 'r' ? MapRead : 0u) | (text[1] == 'w' ? MapWrite : 0u) | (text[2] == 'x' ? MapExec : 0u)
        | (text[3] == 'p' ? MapPrivate : 0u);
    text = parseHex(skipSpaces(text + 4), &mapping.offset);
    uint64_t device;
    text = parseHex(skipSpaces(text), &device); // major
    if (*text == ':')
        text = parseHex(text + 1, &device); // minor
    text = parseDecimal(skipSpaces(text), &mapping.inode);
    text = skipSpaces(text);
    const size_t pathLength = length - size_t(text - line);
    if (snapshot.pathsUsed + pathLength + 1 > kPathPoolSize)
        return false;
    mapping.pathOffset = snapshot.pathsUsed;
    mapping.pathLength = uint32_t(pathLength);
    std::memcpy(snapshot.paths + snapshot.pathsUsed, text, pathLength);
    snapshot.paths[snapshot.pathsUsed + pathLength] = '\0';
    snapshot.pathsUsed += uint32_t(pathLength) + 1;
    return mapping.end > mapping.start;
}

const MappingRecord* ProcessInspector::mappingAt(uint64_t address) const
{
    for (int i = 0; i < snapshot.mappingCount; ++i) {
        const MappingRecord& mapping = snapshot.mappings[i];
        if (address >= mapping.start && address < mapping.end)
            return &mapping;
    }
    return nullptr;
}

// A thread that overflowed its stack has its stack pointer just below it,
// in a gap or in the guard pages.
const MappingRecord* ProcessInspector::stackAbove(uint64_t address) const
{
    for (int i = 0; i < snapshot.mappingCount; ++i) {
        const MappingRecord& mapping = snapshot.mappings[i];
        if (mapping.start > address)
            return mapping.start - address <= kOverflowReach ? &mapping : nullptr;
    }
    return nullptr;
}

void ProcessInspector::findStack(ThreadRecord& thread)
{
    const uint64_t sp = stackPointer(thread);
    thread.stackStart = thread.stackEnd = sp;
    const MappingRecord* mapping = mappingAt(sp);
    if (!mapping || !(mapping->flags & MapRead))
        mapping = stackAbove(sp);
    if (!mapping || !(mapping->flags & MapRead))
        return;
    thread.stackStart = sp - kRedZone >= mapping->start && sp >= kRedZone ? sp - kRedZone : mapping->start;
    thread.stackEnd = mapping->end - sp > kStackLimit ? sp + kStackLimit : mapping->end;
}

void ProcessInspector::findModules()
{
    for (int i = 0; i < snapshot.mappingCount && snapshot.moduleCount < kMaxModules; ++i) {
        const MappingRecord& first = snapshot.mappings[i];
        if (first.offset != 0 || !(first.flags & MapRead) || snapshot.paths[first.pathOffset] != '/')
            continue;
        unsigned char magic[SELFMAG];
        if (read(first.start, magic, SELFMAG) != SELFMAG || std::memcmp(magic, ELFMAG, SELFMAG) != 0)
            continue;
        int last = i;
        while (last + 1 < snapshot.mappingCount && snapshot.mappings[last + 1].inode == first.inode
               && snapshot.mappings[last + 1].pathLength == first.pathLength
               && std::memcmp(snapshot.paths + snapshot.mappings[last + 1].pathOffset, snapshot.paths + first.pathOffset,
                              first.pathLength) == 0)
            ++last;
        ModuleRecord& module = snapshot.modules[snapshot.moduleCount++];
        module.base = first.start;
        module.size = snapshot.mappings[last].end - first.start;
        module.pathOffset = first.pathOffset;
        module.pathLength = first.pathLength;
        readBuildId(module);
        i = last;
    }
}

void ProcessInspector::readBuildId(ModuleRecord& module)
{
    module.buildIdSize = 0;
    Elf64_Ehdr header;
    if (read(module.base, &header, sizeof header) != sizeof header || header.e_ident[EI_CLASS] != ELFCLASS64
        || header.e_phentsize != sizeof(Elf64_Phdr))
        return;
    Elf64_Phdr programHeaders[64];
    const size_t count = header.e_phnum < 64 ? header.e_phnum : 64;
    if (read(module.base + header.e_phoff, programHeaders, count * sizeof(Elf64_Phdr)) != count * sizeof(Elf64_Phdr))
        return;
    // Where the file's addresses were moved to: its first loaded segment sits at the base.
    uint64_t bias = module.base;
    for (size_t i = 0; i < count; ++i) {
        if (programHeaders[i].p_type == PT_LOAD) {
            bias = module.base - (programHeaders[i].p_vaddr - programHeaders[i].p_offset);
            break;
        }
    }
    for (size_t i = 0; i < count && module.buildIdSize == 0; ++i) {
        if (programHeaders[i].p_type == PT_NOTE)
            findBuildIdNote(bias + programHeaders[i].p_vaddr, programHeaders[i].p_memsz, module);
    }
}

void ProcessInspector::findBuildIdNote(uint64_t address, uint64_t size, ModuleRecord& module)
{
    alignas(4) uint8_t notes[1024];
    const size_t length = size < sizeof notes ? size_t(size) : sizeof notes;
    read(address, notes, length);
    for (size_t offset = 0; offset + sizeof(Elf64_Nhdr) <= length;) {
        const auto* entry = reinterpret_cast<const Elf64_Nhdr*>(notes + offset);
        const size_t name = offset + sizeof(Elf64_Nhdr);
        const size_t descriptor = name + ((entry->n_namesz + 3) & ~3u);
        if (descriptor + entry->n_descsz > length)
            return;
        if (entry->n_type == NT_GNU_BUILD_ID && entry->n_namesz == 4 && std::memcmp(notes + name, "GNU", 4) == 0
            && entry->n_descsz <= kMaxBuildIdSize) {
            module.buildIdSize = entry->n_descsz;
            std::memcpy(module.buildId, notes + descriptor, entry->n_descsz);
            return;
        }
        offset = descriptor + ((entry->n_descsz + 3) & ~3u);
    }
}

void ProcessInspector::planMemory(bool fullMemory)
{
    snapshot.rangeCount = 0;
    uint64_t budget = kFullMemoryBudget;
    for (int i = 0; i < snapshot.threadCount; ++i) {
        const ThreadRecord& thread = snapshot.threads[i];
        addRange(thread.stackStart, thread.stackEnd);
        budget -= budget > thread.stackEnd - thread.stackStart ? thread.stackEnd - thread.stackStart : budget;
    }
    const ThreadRecord& crashed = snapshot.threads[snapshot.crashingThread];
    addAround(instructionPointer(crashed), kCodeAround, kCodeAround);
    if (snapshot.exception.faultAddress)
        addAround(snapshot.exception.faultAddress, kDataAround, kDataAround);
    for (int i = 0; fullMemory && i < snapshot.mappingCount; ++i) {
        const MappingRecord& mapping = snapshot.mappings[i];
        const char* path = snapshot.paths + mapping.pathOffset;
        const bool readable = (mapping.flags & MapRead) && (mapping.flags & MapPrivate);
        const bool special = std::strcmp(path, "[vvar]") == 0 || std::strcmp(path, "[vsyscall]") == 0;
        const uint64_t size = mapping.end - mapping.start;
        if (!readable || special || size > budget)
            continue;
        addRange(mapping.start, mapping.end);
        budget -= size;
    }
    sortAndMergeRanges();
}

void ProcessInspector::addRange(uint64_t start, uint64_t end)
{
    if (end > start && snapshot.rangeCount < kMaxRanges)
        snapshot.ranges[snapshot.rangeCount++] = {start, end};
}

void ProcessInspector::addAround(uint64_t address, uint64_t before, uint64_t after)
{
    const MappingRecord* mapping = mappingAt(address);
    if (!mapping || !(mapping->flags & MapRead))
        return;
    const uint64_t start = address - mapping->start > before ? address - before : mapping->start;
    const uint64_t end = mapping->end - address > after ? address + after : mapping->end;
    addRange(start, end);
}

void ProcessInspector::sortAndMergeRanges()
{
    MemoryRange* ranges = snapshot.ranges;
    for (int i = 1; i < snapshot.rangeCount; ++i) {
        const MemoryRange key = ranges[i];
        int j = i - 1;
        for (; j >= 0 && ranges[j].start > key.start; --j)
            ranges[j + 1] = ranges[j];
        ranges[j + 1] = key;
    }
    int merged = 0;
    for (int i = 0; i < snapshot.rangeCount; ++i) {
        if (merged > 0 && ranges[i].start <= ranges[merged - 1].end) {
            if (ranges[i].end > ranges[merged - 1].end)
                ranges[merged - 1].end = ranges[i].end;
        } else {
            ranges[merged++] = ranges[i];
        }
    }
    snapshot.rangeCount = merged;
}

void ProcessInspector::readSystem()
{
    SystemRecord& system = snapshot.system;
    std::memset(&system, 0, sizeof system);
    cpu_set_t cpus;
    system.processorCount = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
    readProcessorIdentity(system);
    struct utsname name;
    if (uname(&name) != 0)
        return;
    size_t used = 0;
    copyText(system.description, sizeof system.description, used, "Linux ");
    copyText(system.description, sizeof system.description, used, name.release);
    copyText(system.description, sizeof system.description, used, " ");
    copyText(system.description, sizeof system.description, used, name.version);
    copyText(system.description, sizeof system.description, used, " ");
    copyText(system.description, sizeof system.description, used, name.machine);
    uint64_t major = 0, minor = 0, patch = 0;
    const char* text = parseDecimal(name.release, &major);
    if (*text == '.')
        text = parseDecimal(text + 1, &minor);
    if (*text == '.')
        parseDecimal(text + 1, &patch);
    system.kernelMajor = uint32_t(major), system.kernelMinor = uint32_t(minor), system.kernelPatch = uint32_t(patch);
}

size_t ProcessInspector::read(uint64_t address, void* buffer, size_t length)
{
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    size_t good = 0;
    while (done < length) {
        const uint64_t pageEnd = ((address + done) | (kPageSize - 1)) + 1;
        const size_t piece = pageEnd - (address + done) < length - done ? size_t(pageEnd - (address + done)) : length - done;
        const ssize_t got = readPiece(address + done, bytes + done, length - done);
        if (got > 0) {
            done += size_t(got);
            good += size_t(got);
            continue;
        }
        std::memset(bytes + done, 0, piece);
        done += piece;
    }
    return good;
}

ssize_t ProcessInspector::readPiece(uint64_t address, uint8_t* buffer, size_t length)
{
    const iovec local{buffer, length};
    const iovec remote{reinterpret_cast<void*>(address), length};
    if (!readingOwnCopy) {
        const ssize_t got = process_vm_readv(pid, &local, 1, &remote, 1, 0);
        if (got >= 0 || (errno != EPERM && errno != ESRCH && errno != ENOSYS))
            return got;
        // Not allowed into the crashed process: our own copy of its memory,
        // taken when the helper started, is the next best thing.
        readingOwnCopy = true;
    }
    if (!ownReadsThroughPipe) {
        const ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
        if (got >= 0 || (errno != ENOSYS && errno != EPERM))
            return got;
        ownReadsThroughPipe = true;
    }
    return readThroughPipe(address, buffer, length);
}

// Without process_vm_readv: a pipe takes our own memory and answers EFAULT
// instead of a fault where it is not readable.
ssize_t ProcessInspector::readThroughPipe(uint64_t address, uint8_t* buffer, size_t length)
{
    if (ownPipe[0] < 0 && pipe2(ownPipe, O_CLOEXEC) != 0)
        return -1;
    const uint64_t pageEnd = (address | (kPageSize - 1)) + 1;
    const size_t piece = pageEnd - address < length ? size_t(pageEnd - address) : length;
    const ssize_t put = write(ownPipe[1], reinterpret_cast<const void*>(address), piece);
    if (put <= 0)
        return -1;
    for (ssize_t taken = 0; taken < put;) {
        const ssize_t got = ::read(ownPipe[0], buffer + taken, size_t(put - taken));
        if (got <= 0)
            return taken > 0 ? taken : -1;
        taken += got;
    }
    return put;
}

} // namespace crash
