#pragma once

#include "MiniEngineApi.h"
#include "WebView.h"

struct MiniViewData;

// The view of engine mode 5: the external engine, driven through its first
// interface, paints into its own window; each rectangle it paints while
// this is the current tab goes to the tab widget as a partial update.
class WebView_Mini : public WebView
{
    Q_OBJECT

public:
    explicit WebView_Mini(TabWidget* parent);
    ~WebView_Mini() override;

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

    // The start-up hook: binds the engine libraries, makes mode 2 available
    // when its interface is bound, and logs once what could not be bound.
    static void startEngine();

private:
    void armCallbacks(bool armed);
    void syncEngineSize(const QSize& size);

    static WebView_Mini* viewOf(void* context);
    static void handleTitleChanged(MiniWebView, void* context, MiniString title);
    static void handleUrlChanged(MiniWebView, void* context, MiniString url);
    static bool handleNavigation(MiniWebView, void*, int kind, MiniString url);
    static MiniWebView handleCreateView(MiniWebView, void* context, int kind, MiniString url, const void*);
    static void handleLoadingFinished(MiniWebView, void* context, MiniString url, int result, MiniString);
    static void handlePaintUpdated(MiniWebView, void* context, MiniDeviceContext dc, int x, int y, int cx, int cy);
    static void handleFavicon(MiniWebView, void* context, const char* url, const MiniFaviconBuffer* buffer);

    MiniViewData* d;
};
