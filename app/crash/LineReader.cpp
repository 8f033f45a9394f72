#include "LineReader.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace crash {

LineReader::LineReader(int fd)
    : fd(fd)
{
}

bool LineReader::fill()
{
    if (start > 0) {
        std::memmove(buffer, buffer + start, end - start);
        end -= start;
        start = 0;
    }
    while (!eof && end < kBufferSize) {
        const ssize_t got = read(fd, buffer + end, kBufferSize - end);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            eof = true;
            break;
        }
        end += size_t(got);
        if (std::memchr(buffer + end - size_t(got), '\n', size_t(got)))
            return true;
    }
    return end > start;
}

void LineReader::skipRestOfLine()
{
    skipping = false;
    for (;;) {
        if (char* newline = static_cast<char*>(std::memchr(buffer + start, '\n', end - start))) {
            start = size_t(newline - buffer) + 1;
            return;
        }
        start = end;
        if (!fill())
            return;
    }
}

const char* LineReader::next(size_t* length)
{
    if (skipping)
        skipRestOfLine();
    char* newline = static_cast<char*>(std::memchr(buffer + start, '\n', end - start));
    if (!newline && fill())
        newline = static_cast<char*>(std::memchr(buffer + start, '\n', end - start));
    if (start == end)
        return nullptr;
    char* line = buffer + start;
    if (newline) {
        *newline = '\0';
        *length = size_t(newline - line);
        start = size_t(newline - buffer) + 1;
        return line;
    }
    // The last line lacks its newline, or the line is longer than the buffer.
    buffer[end] = '\0';
    *length = end - start;
    skipping = !eof;
    start = end;
    return line;
}

} // namespace crash
