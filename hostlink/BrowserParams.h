#pragma once

#include <QDataStream>
#include <QMetaType>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// The record host and runner exchange about one web source: what to render,
// where to deliver frames and how the setting window looks.
struct BrowserParams
{
    BrowserParams();

    QSize pageSize;
    QRect windowRect;
    bool maximized;
    QStringList urls;
    QString currentUrl;
    QString sharedMemoryKey;
    bool hidden;

    static BrowserParams fromBase64String(const QString& text);
    QString toBase64String() const;

    static const char* const DefaultUrl;

    bool operator==(const BrowserParams& other) const;
    bool operator!=(const BrowserParams& other) const { return !(*this == other); }
};

// Stream order differs from the declaration order: pageSize travels last.
QDataStream& operator<<(QDataStream& stream, const BrowserParams& params);
QDataStream& operator>>(QDataStream& stream, BrowserParams& params);

Q_DECLARE_METATYPE(BrowserParams)
