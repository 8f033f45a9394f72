#pragma once

#include <cstddef>

namespace crash {

// Reads a text file line by line with raw read(2) into a fixed buffer.
// Lines longer than the buffer are cut; the rest of such a line is skipped.
class LineReader
{
public:
    explicit LineReader(int fd);

    // The next line without its newline, NUL-terminated; null at the end.
    const char* next(size_t* length);

private:
    static constexpr size_t kBufferSize = 8192;

    bool fill();
    void skipRestOfLine();

    int fd;
    size_t start = 0;
    size_t end = 0;
    bool eof = false;
    bool skipping = false;
    char buffer[kBufferSize + 1];
};

} // namespace crash
