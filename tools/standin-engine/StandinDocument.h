#pragma once

#include <QHash>
#include <QTextDocument>
#include <QUrl>

// Rich-text document that takes its images from bytes fetched beforehand
// instead of reading them itself.
class StandinDocument : public QTextDocument
{
    Q_OBJECT

public:
    explicit StandinDocument(QObject* parent = nullptr);

    void setResourceBytes(const QUrl& url, const QByteArray& bytes);
    bool hasResourceBytes(const QUrl& url) const;
    void clearResourceBytes();

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    QHash<QUrl, QByteArray> fetched;
};
