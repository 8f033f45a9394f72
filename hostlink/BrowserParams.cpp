#include "BrowserParams.h"

#include <QByteArray>

const char* const BrowserParams::DefaultUrl = "https://www.example.com/";

BrowserParams::BrowserParams()
    : pageSize(1920, 1080)
    , windowRect(0, 0, 960, 570)
    , maximized(false)
    , urls { QString::fromLatin1(DefaultUrl) }
    , currentUrl(QString::fromLatin1(DefaultUrl))
    , sharedMemoryKey(QStringLiteral("default"))
    , hidden(true)
{
}

bool BrowserParams::operator==(const BrowserParams& other) const
{
    return pageSize == other.pageSize && windowRect == other.windowRect && maximized == other.maximized
        && urls == other.urls && currentUrl == other.currentUrl
        && sharedMemoryKey == other.sharedMemoryKey && hidden == other.hidden;
}

QDataStream& operator<<(QDataStream& stream, const BrowserParams& params)
{
    return stream << params.windowRect << params.maximized << params.urls << params.currentUrl
                  << params.sharedMemoryKey << params.hidden << params.pageSize;
}

QDataStream& operator>>(QDataStream& stream, BrowserParams& params)
{
    // A failed read leaves zero/empty/false, which is what a short record
    // must give. The list is read by hand: QDataStream's own reader reserves
    // the announced count up front, and a hostile count would allocate
    // gigabytes before the first entry fails.
    stream >> params.windowRect >> params.maximized;
    params.urls.clear();
    quint32 count = 0;
    stream >> count;
    for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        QString url;
        stream >> url;
        if (stream.status() != QDataStream::Ok) {
            params.urls.clear();
            break;
        }
        params.urls.append(url);
    }
    return stream >> params.currentUrl >> params.sharedMemoryKey >> params.hidden >> params.pageSize;
}

BrowserParams BrowserParams::fromBase64String(const QString& text)
{
    const QByteArray bytes = QByteArray::fromBase64(text.toLocal8Bit());
    QDataStream stream(bytes);
    BrowserParams params;
    stream >> params;
    return params;
}

QString BrowserParams::toBase64String() const
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << *this;
    return QString::fromLocal8Bit(bytes.toBase64());
}
