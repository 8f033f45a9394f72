#include "StandinView.h"

#include "StandinDocument.h"
#include "StandinWindow.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextFrame>
#include <QTimer>

#include <cstring>
#include <memory>

namespace {

constexpr int MaxWidth = 7680;
constexpr int MaxHeight = 4320;

QSize boundedSize(const QSize& size)
{
    return QSize(qBound(1, size.width(), MaxWidth), qBound(1, size.height(), MaxHeight));
}

MiniString engineString(const QByteArray& text)
{
    return reinterpret_cast<MiniString>(const_cast<QByteArray*>(&text));
}

bool isLocalHost(const QUrl& url)
{
    const QString host = url.host();
    return host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost");
}

// Bounding rectangle of the pixels that differ between two equal-sized images.
QRect changedRect(const QImage& before, const QImage& after)
{
    if (before.size() != after.size())
        return after.rect();
    int left = after.width(), right = -1, top = after.height(), bottom = -1;
    for (int y = 0; y < after.height(); ++y) {
        const auto* a = reinterpret_cast<const quint32*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const quint32*>(after.constScanLine(y));
        if (std::memcmp(a, b, size_t(after.width()) * 4) == 0)
            continue;
        top = qMin(top, y);
        bottom = y;
        int first = 0;
        while (a[first] == b[first])
            ++first;
        int last = after.width() - 1;
        while (a[last] == b[last])
            --last;
        left = qMin(left, first);
        right = qMax(right, last);
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

StandinView::StandinView(const QSize& size)
    : document(new StandinDocument(this))
    , network(new QNetworkAccessManager(this))
{
    network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    frameRecord.frame = quintptr(this);
    viewSize = boundedSize(size);
    pixels = QImage(viewSize, QImage::Format_RGB32);
    pixels.fill(Qt::white);
    descriptor = MiniSurface { MINI_SURFACE_MAGIC, pixels.width(), pixels.height(),
                               int(pixels.bytesPerLine()), pixels.constBits() };
    QTimer::singleShot(0, this, [this] { firePaint(pixels.rect()); });
}

StandinView::~StandinView()
{
    delete window;
}

StandinView* StandinView::from(MiniWebView view)
{
    return reinterpret_cast<StandinView*>(view);
}

void StandinView::show()
{
    nativeWindow();
    window->show();
}

MiniNativeWindow StandinView::nativeWindow()
{
    if (!window) {
        window = new StandinWindow(this);
        window->resize(pixels.size());
    }
    return MiniNativeWindow(window->winId());
}

void StandinView::resize(const QSize& size)
{
    const QSize bounded = boundedSize(size);
    if (bounded == viewSize)
        return;
    viewSize = bounded;
    if (window)
        window->resize(bounded);
    render();
}

void StandinView::load(const QString& text)
{
    navigate(QUrl(text.trimmed()), MINI_NAVIGATION_OTHER, true);
}

void StandinView::goBack()
{
    if (!canGoBack())
        return;
    --historyIndex;
    navigate(history.at(historyIndex), MINI_NAVIGATION_BACK_FORWARD, false);
}

void StandinView::goForward()
{
    if (!canGoForward())
        return;
    ++historyIndex;
    navigate(history.at(historyIndex), MINI_NAVIGATION_BACK_FORWARD, false);
}

void StandinView::reload()
{
    if (historyIndex >= 0)
        navigate(history.at(historyIndex), MINI_NAVIGATION_RELOAD, false);
}

void StandinView::stop()
{
    if (!loading)
        return;
    ++loadSerial;
    loading = false;
    if (pendingReply)
        pendingReply->abort();
    const QByteArray url = loadingUrl.toEncoded();
    QTimer::singleShot(0, this, [this, url] { fireLoadingFinished(url, MINI_LOAD_CANCELED, "canceled"); });
}

void StandinView::navigate(const QUrl& url, int kind, bool addToHistory)
{
    if (!allowNavigation(kind, url.toEncoded()))
        return;
    if (addToHistory) {
        while (history.size() > historyIndex + 1)
            history.removeLast();
        history.append(url);
        historyIndex = history.size() - 1;
    }
    start(url);
}

void StandinView::start(const QUrl& url)
{
    const int serial = ++loadSerial;
    if (pendingReply)
        pendingReply->abort();
    loading = true;
    loadingUrl = url;
    const bool blank = url.isEmpty() || url.toString() == QLatin1String("about:blank");
    if (!blank && !url.isLocalFile() && !(url.scheme() == QLatin1String("http") && isLocalHost(url))) {
        QTimer::singleShot(0, this, [this, url, serial] {
            if (serial == loadSerial)
                fail(url, "unsupported URL");
        });
        return;
    }
    fetch(blank ? QUrl() : url, [this, url, serial](bool ok, const QByteArray& bytes) {
        if (serial != loadSerial)
            return;
        if (ok)
            commit(url, bytes, serial);
        else
            fail(url, bytes);
    });
}

void StandinView::fetch(const QUrl& url, std::function<void(bool ok, const QByteArray& bytes)> done)
{
    if (!url.isValid() || url.isLocalFile()) {
        QTimer::singleShot(0, this, [url, done] {
            if (!url.isValid())
                return done(true, QByteArray());
            QFile file(url.toLocalFile());
            if (!file.open(QIODevice::ReadOnly))
                return done(false, file.errorString().toUtf8());
            done(true, file.readAll());
        });
        return;
    }
    if (!isLocalHost(url) || url.scheme() != QLatin1String("http")) {
        QTimer::singleShot(0, this, [done] { done(false, "unsupported URL"); });
        return;
    }
    QNetworkReply* reply = network->get(QNetworkRequest(url));
    if (url == loadingUrl)
        pendingReply = reply;
    connect(reply, &QNetworkReply::finished, this, [reply, done] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::OperationCanceledError)
            return;
        if (reply->error() != QNetworkReply::NoError)
            return done(false, reply->errorString().toUtf8());
        done(true, reply->readAll());
    });
}

void StandinView::fail(const QUrl& url, const QByteArray& reason)
{
    loading = false;
    fireLoadingFinished(url.toEncoded(), MINI_LOAD_FAILED, reason);
}

void StandinView::commit(const QUrl& url, const QByteArray& body, int serial)
{
    urlText = url.toEncoded();
    if (mini.url)
        mini.url(handle(), contexts.url, engineString(urlText));
    if (vip.url)
        vip.url(handle(), contexts.url, urlText.constData(), canGoBack());
    if (serial != loadSerial)
        return;
    pageText = QTextCodec::codecForHtml(body, QTextCodec::codecForName("UTF-8"))->toUnicode(body);
    document->clearResourceBytes();
    document->setBaseUrl(url);
    document->setHtml(pageText);
    titleText = document->metaInformation(QTextDocument::DocumentTitle).toUtf8();
    fetchImages(serial);
}

void StandinView::fetchImages(int serial)
{
    static const QRegularExpression source(QStringLiteral("<img[^>]*\\ssrc\\s*=\\s*[\"']?([^\"'\\s>]+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QList<QUrl> wanted;
    auto matches = source.globalMatch(pageText);
    while (matches.hasNext()) {
        const QUrl url = document->baseUrl().resolved(QUrl(matches.next().captured(1)));
        if (!wanted.contains(url))
            wanted << url;
    }
    pendingImages = wanted.size();
    if (wanted.isEmpty())
        return finish(serial);
    for (const QUrl& url : wanted) {
        fetch(url, [this, url, serial](bool ok, const QByteArray& bytes) {
            if (serial != loadSerial)
                return;
            if (ok)
                document->setResourceBytes(url, bytes);
            if (--pendingImages == 0)
                finish(serial);
        });
    }
}

void StandinView::finish(int serial)
{
    loading = false;
    // Images known only now: lay the page out again with them.
    document->setHtml(pageText);
    if (mini.title)
        mini.title(handle(), contexts.title, engineString(titleText));
    if (vip.title)
        vip.title(handle(), contexts.title, titleText.constData());
    if (serial != loadSerial)
        return;
    render();
    if (mini.documentReady)
        mini.documentReady(handle(), contexts.other);
    fireLoadingFinished(urlText, MINI_LOAD_SUCCEEDED, QByteArray());
}

void StandinView::render()
{
    const QSize size = viewSize;
    QImage next(size, QImage::Format_RGB32);
    next.fill(Qt::white);
    {
        QPainter painter(&next);
        const QBrush background = document->rootFrame()->frameFormat().background();
        if (background.style() != Qt::NoBrush)
            painter.fillRect(next.rect(), background);
        document->setTextWidth(size.width());
        document->drawContents(&painter, QRectF(0, 0, size.width(), size.height()));
    }
    const QRect changed = changedRect(pixels, next);
    pixels = next;
    descriptor = MiniSurface { MINI_SURFACE_MAGIC, pixels.width(), pixels.height(),
                               int(pixels.bytesPerLine()), pixels.constBits() };
    if (window)
        window->update();
    if (!changed.isEmpty())
        firePaint(changed);
}

void StandinView::paintInto(void* bits, int pitch) const
{
    if (!bits)
        return;
    const int rowBytes = pixels.width() * 4;
    const int stride = pitch > 0 ? pitch : rowBytes;
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(static_cast<uchar*>(bits) + size_t(y) * stride, pixels.constScanLine(y), size_t(rowBytes));
}

QUrl StandinView::faviconUrl() const
{
    static const QRegularExpression link(
        QStringLiteral("<link[^>]*rel\\s*=\\s*[\"']?(?:shortcut )?icon[\"']?[^>]*href\\s*=\\s*[\"']?([^\"'\\s>]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = link.match(pageText);
    if (match.hasMatch())
        return document->baseUrl().resolved(QUrl(match.captured(1)));
    const QUrl page = document->baseUrl();
    if (page.scheme() == QLatin1String("http"))
        return page.resolved(QUrl(QStringLiteral("/favicon.ico")));
    return QUrl();
}

void StandinView::requestFavicon(MiniFaviconCallback callback, void* context)
{
    if (!callback)
        return;
    const QUrl iconUrl = faviconUrl();
    if (!iconUrl.isValid()) {
        QTimer::singleShot(0, this, [this, callback, context] { callback(handle(), context, url(), nullptr); });
        return;
    }
    fetch(iconUrl, [this, callback, context](bool ok, const QByteArray& bytes) {
        MiniFaviconBuffer buffer {};
        buffer.data = bytes.constData();
        buffer.length = uint32_t(bytes.size());
        callback(handle(), context, url(), ok && !bytes.isEmpty() ? &buffer : nullptr);
    });
}

void StandinView::requestNewWindow(int kind, const QString& text)
{
    const QByteArray url = QUrl(text).toEncoded();
    MiniWebView opened = nullptr;
    if (mini.createView)
        opened = mini.createView(handle(), contexts.createView, kind, engineString(url), nullptr);
    if (vip.createView)
        opened = vip.createView(handle(), contexts.createView, kind, url.constData(), nullptr);
    if (!opened && !newWindowEnabled)
        navigate(QUrl(text), kind, true);
}

void StandinView::clickAt(const QPoint& position)
{
    const QString anchor = document->documentLayout()->anchorAt(position);
    if (!anchor.isEmpty())
        navigate(document->baseUrl().resolved(QUrl(anchor)), MINI_NAVIGATION_LINK, true);
}

bool StandinView::allowNavigation(int kind, const QByteArray& url)
{
    bool allowed = true;
    if (mini.navigation)
        allowed = mini.navigation(handle(), contexts.navigation, kind, engineString(url)) && allowed;
    if (vip.navigation)
        allowed = vip.navigation(handle(), contexts.navigation, kind, url.constData()) != 0 && allowed;
    return allowed;
}

void StandinView::fireLoadingFinished(const QByteArray& url, int result, const QByteArray& reason)
{
    if (mini.loadingFinished)
        mini.loadingFinished(handle(), contexts.loadingFinished, engineString(url), result, engineString(reason));
    if (vip.loadingFinished)
        vip.loadingFinished(handle(), contexts.loadingFinished, &frameRecord, url.constData(), result,
                            reason.constData());
}

void StandinView::firePaint(const QRect& rect)
{
    if (mini.paint)
        mini.paint(handle(), contexts.paint, deviceContext(), rect.x(), rect.y(), rect.width(), rect.height());
    if (vip.paint)
        vip.paint(handle(), contexts.paint, deviceContext(), rect.x(), rect.y(), rect.width(), rect.height());
}
