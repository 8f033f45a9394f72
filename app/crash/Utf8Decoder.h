#pragma once

#include <cstddef>
#include <cstdint>

namespace crash {

// Walks UTF-8 text code point by code point; a malformed sequence yields
// U+FFFD for its first byte and decoding goes on with the next.
class Utf8Decoder
{
public:
    Utf8Decoder(const char* text, size_t length);

    bool atEnd() const { return position >= length; }
    uint32_t next();

private:
    const uint8_t* text;
    size_t length;
    size_t position = 0;
};

} // namespace crash
