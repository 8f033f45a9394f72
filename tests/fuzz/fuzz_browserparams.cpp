// A parameter record as base64 text or raw stream: whatever decodes must encode and decode to itself.
#include "BrowserParams.h"

#include <QByteArray>
#include <QDataStream>

#include <cstdint>
#include <cstdlib>

namespace {
void checkRoundTrip(const BrowserParams& params)
{
    if (BrowserParams::fromBase64String(params.toBase64String()) != params)
        std::abort();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));

    checkRoundTrip(BrowserParams::fromBase64String(QString::fromLatin1(bytes)));
    checkRoundTrip(BrowserParams::fromBase64String(QString::fromUtf8(bytes)));

    QDataStream stream(bytes);
    BrowserParams params;
    stream >> params;
    if (stream.status() != QDataStream::Ok)
        return 0;
    checkRoundTrip(params);
    return 0;
}
