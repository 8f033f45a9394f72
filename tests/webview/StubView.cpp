#include "StubView.h"

#include "TabWidget.h"

StubView::StubView(TabWidget* parent, int mode)
    : WebView(parent)
    , mode(mode)
{
}

void StubView::setUrl(const QString& url)
{
    currentUrl = url;
    loadedUrls.append(url);
}

void StubView::renderTo(uchar* pixels)
{
    const QSize size = tabWidget()->pageSize();
    auto* out = reinterpret_cast<QRgb*>(pixels);
    for (qint64 i = 0; i < qint64(size.width()) * size.height(); ++i)
        out[i] = colour;
}
