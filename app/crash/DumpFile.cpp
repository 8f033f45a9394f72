#include "DumpFile.h"

#include "Utf8Decoder.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace crash {

DumpFile::DumpFile(int fd)
    : fd(fd)
{
}

void DumpFile::append(const void* data, size_t length)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        if (used == kBufferSize)
            flush();
        const size_t chunk = length < kBufferSize - used ? length : kBufferSize - used;
        std::memcpy(buffer + used, bytes, chunk);
        used += chunk;
        bytes += chunk;
        length -= chunk;
    }
}

void DumpFile::appendZeros(size_t length)
{
    static const uint8_t zeros[256] = {};
    while (length > 0) {
        const size_t chunk = length < sizeof zeros ? length : sizeof zeros;
        append(zeros, chunk);
        length -= chunk;
    }
}

void DumpFile::alignTo(uint32_t alignment)
{
    const uint32_t rest = position() % alignment;
    if (rest != 0)
        appendZeros(alignment - rest);
}

uint32_t DumpFile::appendUtf16String(const char* utf8, size_t length)
{
    alignTo(4);
    const uint32_t rva = position();
    uint32_t units = 0;
    for (Utf8Decoder decoder(utf8, length); !decoder.atEnd();)
        units += decoder.next() > 0xFFFF ? 2 : 1;
    const uint32_t byteLength = units * 2;
    append(&byteLength, sizeof byteLength);
    for (Utf8Decoder decoder(utf8, length); !decoder.atEnd();) {
        uint32_t codePoint = decoder.next();
        uint16_t pair[2];
        size_t count = 1;
        if (codePoint > 0xFFFF) {
            codePoint -= 0x10000;
            pair[0] = uint16_t(0xD800 + (codePoint >> 10));
            pair[1] = uint16_t(0xDC00 + (codePoint & 0x3FF));
            count = 2;
        } else {
            pair[0] = uint16_t(codePoint);
        }
        append(pair, count * 2);
    }
    appendZeros(2);
    return rva;
}

void DumpFile::writeAt(uint32_t offset, const void* data, size_t length)
{
    flush();
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0 && !error) {
        const ssize_t done = pwrite(fd, bytes, length, off_t(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            error = true;
            return;
        }
        bytes += done;
        offset += uint32_t(done);
        length -= size_t(done);
    }
}

void DumpFile::flush()
{
    writeAll(buffer, used);
    written += used;
    used = 0;
}

void DumpFile::writeAll(const uint8_t* data, size_t length)
{
    while (length > 0 && !error) {
        const ssize_t done = ::write(fd, data, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            error = true;
            return;
        }
        data += done;
        length -= size_t(done);
    }
}

} // namespace crash
