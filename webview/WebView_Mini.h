#pragma once

#include "MiniViewBase.h"

// The view of engine mode 5: the external engine, driven through its first
// interface, paints into its own window; each rectangle it paints while
// this is the current tab goes to the tab widget as a partial update.
class WebView_Mini : public MiniViewBase
{
    Q_OBJECT

public:
    explicit WebView_Mini(TabWidget* parent);
    ~WebView_Mini() override;

    int engineType() const override;
    bool isActionEnabled(int action) const override;
    bool isMuted() const override;
    void setMuted(bool muted) override;
    void renderTo(uchar* pixels) override;

    // The start-up hook: binds the engine libraries, makes mode 2 available
    // when its interface is bound, and logs once what could not be bound.
    static void startEngine();

private:
    void armCallbacks(bool armed);

    static void handleTitleChanged(MiniWebView, void* context, MiniString title);
    static void handleUrlChanged(MiniWebView, void* context, MiniString url);
    static bool handleNavigation(MiniWebView, void*, int kind, MiniString url);
    static MiniWebView handleCreateView(MiniWebView, void* context, int kind, MiniString url, const void*);
    static void handleLoadingFinished(MiniWebView, void* context, MiniString url, int result, MiniString);

    const MiniEngineApi* api;
    // The volume setMuted(true) took away; NaN while nothing is taken, so
    // that an unmute without a mute before it leaves the volume alone.
    float savedVolume;
};
