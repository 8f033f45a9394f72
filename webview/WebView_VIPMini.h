#pragma once

#include "VipMiniEngineApi.h"
#include "WebView.h"

struct VipMiniViewData;

// The view of engine mode 2: the external engine driven through its second
// interface, with an audio mute flag and whole frames copied from the
// engine's locked device context.
class WebView_VIPMini : public WebView
{
    Q_OBJECT

public:
    explicit WebView_VIPMini(TabWidget* parent);
    ~WebView_VIPMini() override;

    int engineType() const override;
    QString url() const override;
    void setUrl(const QString& url) override;
    QIcon icon() const override;
    void forward() override;
    void back() override;
    void reload() override;
    void stop() override;
    void setPageSize(const QSize& size) override;
    bool isActionEnabled(int action) const override;
    bool isMuted() const override;
    void setMuted(bool muted) override;
    void renderTo(uchar* pixels) override;
    QString title() const override;

    MiniWebView engineHandle() const;

    // Registers this view for mode 2 when the second interface is bound;
    // otherwise mode 2 stays without a view of its own.
    static bool registerIfBound();

private:
    void armCallbacks(bool armed);

    static WebView_VIPMini* viewOf(void* context);
    static void handleTitleChanged(MiniWebView, void* context, const char* title);
    static void handleUrlChanged(MiniWebView, void* context, const char* url, int);
    static int handleNavigation(MiniWebView, void*, int kind, const char* url);
    static MiniWebView handleCreateView(MiniWebView, void* context, int kind, const char* url, const void*);
    static void handleLoadingFinished(MiniWebView, void* context, void*, const char* url, int result, const char*);
    static void handlePaintUpdated(MiniWebView, void* context, MiniDeviceContext dc, int x, int y, int cx, int cy);
    static void handleFavicon(MiniWebView, void* context, const char* url, const MiniFaviconBuffer* buffer);

    VipMiniViewData* d;
};
