#pragma once

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

inline QByteArray pngOf(const QColor& color, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The local pages the mini suites load, most with a red 50 x 30 image.
struct MiniPages
{
    QTemporaryDir dir;

    bool write() const
    {
        const QByteArray image = "<img src=\"red.png\" width=50 height=30>";
        const QList<QPair<QString, QByteArray>> files {
            { "red.png", pngOf(Qt::red, QSize(50, 30)) },
            { "start.html", "<html><head><title>Start</title></head><body>" + image + "</body></html>" },
            { "a.html", "<html><head><title>A page</title></head><body>a</body></html>" } };
        for (const auto& file : files) {
            QFile out(dir.filePath(file.first));
            if (!out.open(QIODevice::WriteOnly) || out.write(file.second) != file.second.size())
                return false;
        }
        return true;
    }
    QString url(const QString& name) const { return QUrl::fromLocalFile(dir.filePath(name)).toString(); }
};
