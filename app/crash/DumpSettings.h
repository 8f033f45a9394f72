#pragma once

#include <cstddef>

namespace crash {

constexpr size_t kPathBufferSize = 1024;

struct DumpSettings {
    bool fullMemory = false;
    char dumpDirectory[kPathBufferSize] = {};
    char dumpTag[kPathBufferSize] = {};
};

} // namespace crash
