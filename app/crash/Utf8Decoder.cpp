#include "Utf8Decoder.h"

namespace crash {

namespace {
constexpr uint32_t kReplacement = 0xFFFD;
}

Utf8Decoder::Utf8Decoder(const char* text, size_t length)
    : text(reinterpret_cast<const uint8_t*>(text))
    , length(length)
{
}

uint32_t Utf8Decoder::next()
{
    const uint8_t lead = text[position];
    int extra = 0;
    uint32_t codePoint = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        ++position;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, codePoint = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, codePoint = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        ++position;
        return kReplacement;
    }
    if (position + size_t(extra) >= length) {
        ++position;
        return kReplacement;
    }
    for (int i = 1; i <= extra; ++i) {
        const uint8_t byte = text[position + size_t(i)];
        if ((byte & 0xC0) != 0x80) {
            ++position;
            return kReplacement;
        }
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        ++position;
        return kReplacement;
    }
    position += size_t(extra) + 1;
    return codePoint;
}

} // namespace crash
