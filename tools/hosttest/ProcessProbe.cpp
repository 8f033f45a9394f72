#include "ProcessProbe.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

struct Stat {
    pid_t parent = -1;
    double cpuSeconds = 0;
};

Stat readStat(pid_t pid)
{
    Stat stat;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return stat;
    char buffer[1024] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    buffer[n] = 0;
    // The command name may hold spaces and parentheses: fields restart after the last ')'.
    const char* close = std::strrchr(buffer, ')');
    if (!close)
        return stat;
    char state = 0;
    int parent = -1;
    unsigned long long user = 0;
    unsigned long long system = 0;
    if (std::sscanf(close + 1, " %c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &parent, &user,
                    &system) == 4) {
        static const double ticks = double(sysconf(_SC_CLK_TCK));
        stat.parent = parent;
        stat.cpuSeconds = double(user + system) / ticks;
    }
    return stat;
}

int countEntries(const std::string& path)
{
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return 0;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    closedir(dir);
    return count;
}

} // namespace

ProcessProbe::ProcessProbe(pid_t root)
    : rootPid(root)
{
}

ProcessProbe::Usage ProcessProbe::read(pid_t pid)
{
    Usage usage;
    const std::string base = "/proc/" + std::to_string(pid);
    FILE* file = std::fopen((base + "/status").c_str(), "r");
    if (!file)
        return usage;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            usage.rssKb = std::atol(line + 6);
        else if (std::strncmp(line, "RssAnon:", 8) == 0)
            usage.anonKb = std::atol(line + 8);
        else if (std::strncmp(line, "RssShmem:", 9) == 0)
            usage.shmemKb = std::atol(line + 9);
        else if (std::strncmp(line, "Threads:", 8) == 0)
            usage.threads = std::atoi(line + 8);
    }
    std::fclose(file);
    usage.fds = countEntries(base + "/fd");
    usage.cpuSeconds = readStat(pid).cpuSeconds;
    usage.processes = 1;
    return usage;
}

ProcessProbe::Usage ProcessProbe::root() const
{
    return read(rootPid);
}

std::vector<pid_t> ProcessProbe::descendants() const
{
    std::multimap<pid_t, pid_t> children;
    DIR* dir = opendir("/proc");
    if (!dir)
        return {};
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid > 0 && end && *end == 0)
            children.emplace(readStat(pid_t(pid)).parent, pid_t(pid));
    }
    closedir(dir);
    std::vector<pid_t> found;
    std::vector<pid_t> pending { rootPid };
    while (!pending.empty()) {
        const pid_t parent = pending.back();
        pending.pop_back();
        const auto range = children.equal_range(parent);
        for (auto it = range.first; it != range.second; ++it) {
            found.push_back(it->second);
            pending.push_back(it->second);
        }
    }
    return found;
}

ProcessProbe::Usage ProcessProbe::helpers() const
{
    Usage sum;
    for (pid_t pid : descendants())
        sum += read(pid);
    return sum;
}

ProcessProbe::Usage ProcessProbe::whole() const
{
    Usage sum = root();
    sum += helpers();
    return sum;
}

ProcessProbe::Usage& ProcessProbe::Usage::operator+=(const Usage& other)
{
    rssKb += other.rssKb;
    anonKb += other.anonKb;
    shmemKb += other.shmemKb;
    cpuSeconds += other.cpuSeconds;
    fds += other.fds;
    threads += other.threads;
    processes += other.processes;
    return *this;
}

ProcessProbe::Memory ProcessProbe::readMemory(pid_t pid)
{
    Memory memory;
    FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/smaps_rollup").c_str(), "r");
    if (!file)
        return memory;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        long kb = 0;
        char name[64] = {};
        if (std::sscanf(line, "%63[^:]: %ld kB", name, &kb) != 2)
            continue;
        if (std::strcmp(name, "Private_Clean") == 0 || std::strcmp(name, "Private_Dirty") == 0)
            memory.privateKb += kb;
        else if (std::strcmp(name, "Shared_Clean") == 0 || std::strcmp(name, "Shared_Dirty") == 0)
            memory.sharedKb += kb;
        else if (std::strcmp(name, "Pss") == 0)
            memory.pssKb = kb;
    }
    std::fclose(file);
    return memory;
}

ProcessProbe::Memory ProcessProbe::memory() const
{
    Memory sum = readMemory(rootPid);
    for (pid_t pid : descendants()) {
        const Memory one = readMemory(pid);
        sum.privateKb += one.privateKb;
        sum.sharedKb += one.sharedKb;
        sum.pssKb += one.pssKb;
    }
    return sum;
}
