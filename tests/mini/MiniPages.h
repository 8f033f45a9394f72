#pragma once

#include "LocalHttpServer.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// The pages every mini suite loads: local files with a red 50 x 30 image,
// and served pages, one of them with a green icon on a blue background.
namespace MiniPages {

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

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline bool writeLocalPages(const QDir& dir)
{
    return writeFile(dir.filePath("red.png"), pngOf(Qt::red, QSize(50, 30)))
        && writeFile(dir.filePath("start.html"), "<html><head><title>Start</title></head>"
                                                 "<body><img src=\"red.png\" width=50 height=30></body></html>")
        && writeFile(dir.filePath("link.html"), "<html><head><title>Link</title></head><body>"
                                                "<a href=\"start.html\"><img src=\"red.png\" width=50 height=30></a>"
                                                "</body></html>")
        && writeFile(dir.filePath("a.html"), "<html><head><title>A page</title></head><body>a</body></html>");
}

inline QString localUrl(const QDir& dir, const QString& name)
{
    return QUrl::fromLocalFile(dir.filePath(name)).toString();
}

// The served pages, and "/slow" on a second server that takes the connection
// and never answers.
class Server
{
public:
    Server()
    {
        http.start();
        silent.listen(QHostAddress::LocalHost);
        http.servePage("/a", "<html><head><title>A page</title></head><body>a</body></html>");
        http.servePage("/b", "<html><head><title>B page</title><link rel=\"icon\" href=\"/icon.png\"></head>"
                             "<body style=\"background-color: #0000ff\">b</body></html>");
        http.serveContent("/icon.png", "image/png", pngOf(Qt::green, QSize(16, 16)));
        http.serveContent("/blue.png", "image/png", pngOf(Qt::blue, QSize(20, 10)));
        http.servePage("/img", "<html><body><p><img src=\"/blue.png\"></p></body></html>");
    }

    bool isListening() const { return http.isListening() && silent.isListening(); }
    QString url(const QString& path) const
    {
        return path == QLatin1String("/slow") ? QStringLiteral("http://127.0.0.1:%1/slow").arg(silent.serverPort())
                                              : http.url(path).toString();
    }
    // Whether a load of "/slow" has connected since the last forgetSlow().
    bool slowRequested()
    {
        while (silent.nextPendingConnection())
            slow = true;
        return slow;
    }
    void forgetSlow() { slow = false; }

private:
    LocalHttpServer http;
    QTcpServer silent;
    bool slow = false;
};

} // namespace MiniPages
