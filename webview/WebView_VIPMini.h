#pragma once

#include "MiniViewBase.h"
#include "VipMiniEngineApi.h"

// The view of engine mode 2: the external engine driven through its second
// interface, with an audio mute flag and whole frames copied from the
// engine's locked device context.
class WebView_VIPMini : public MiniViewBase
{
    Q_OBJECT

public:
    explicit WebView_VIPMini(TabWidget* parent);
    ~WebView_VIPMini() override;

    int engineType() const override;
    bool isActionEnabled(int action) const override;
    bool isMuted() const override;
    void setMuted(bool muted) override;
    void renderTo(uchar* pixels) override;

    // Registers this view for mode 2 when the second interface is bound;
    // otherwise mode 2 stays without a view of its own.
    static bool registerIfBound();

private:
    void armCallbacks(bool armed);

    static void handleTitleChanged(MiniWebView, void* context, const char* title);
    static void handleUrlChanged(MiniWebView, void* context, const char* url, int);
    static int handleNavigation(MiniWebView, void*, int kind, const char* url);
    static MiniWebView handleCreateView(MiniWebView, void* context, int kind, const char* url, const void*);
    static void handleLoadingFinished(MiniWebView, void* context, void*, const char* url, int result, const char*);

    const VipMiniEngineApi* api;
};
