#pragma once

#include <cstddef>
#include <cstdint>

namespace crash {

// Buffered, append-only output of the dump with raw write(2); the offset of
// every byte is known before it is written, so records can point forward.
class DumpFile
{
public:
    explicit DumpFile(int fd);

    uint32_t position() const { return uint32_t(written + used); }
    bool failed() const { return error; }
    // Keeps the file below 4 GiB, the reach of a 32-bit offset.
    bool fits(uint64_t extra) const { return written + used + extra < 0xFFFFFFF0ull; }

    void append(const void* data, size_t length);
    void appendZeros(size_t length);
    void alignTo(uint32_t alignment);
    // Appends a length-prefixed, NUL-terminated UTF-16LE copy of UTF-8 text.
    uint32_t appendUtf16String(const char* utf8, size_t length);
    void writeAt(uint32_t offset, const void* data, size_t length);
    void flush();

private:
    static constexpr size_t kBufferSize = 64 * 1024;

    void writeAll(const uint8_t* data, size_t length);

    int fd;
    uint64_t written = 0;
    size_t used = 0;
    bool error = false;
    uint8_t buffer[kBufferSize];
};

} // namespace crash
