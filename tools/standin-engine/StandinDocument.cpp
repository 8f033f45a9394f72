#include "StandinDocument.h"

#include <QImage>

StandinDocument::StandinDocument(QObject* parent)
    : QTextDocument(parent)
{
    setDocumentMargin(0);
}

void StandinDocument::setResourceBytes(const QUrl& url, const QByteArray& bytes)
{
    fetched.insert(url, bytes);
}

bool StandinDocument::hasResourceBytes(const QUrl& url) const
{
    return fetched.contains(url);
}

void StandinDocument::clearResourceBytes()
{
    fetched.clear();
}

QVariant StandinDocument::loadResource(int type, const QUrl& name)
{
    const QUrl url = baseUrl().resolved(name);
    const auto found = fetched.constFind(url);
    if (type != QTextDocument::ImageResource || found == fetched.constEnd())
        return {};
    const QImage image = QImage::fromData(*found);
    return image.isNull() ? QVariant() : QVariant(image);
}
