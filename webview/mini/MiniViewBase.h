#pragma once

#include "MiniEngineApi.h"
#include "WebView.h"

class QWindow;

// The entry points both engine interfaces offer alike; each view fills the
// table from its own interface.
struct MiniEntryPoints
{
    ymini_create_view_fn createView;
    ymini_show_view_fn showView;
    ymini_native_window_fn nativeWindow;
    ymini_resize_fn resize;
    ymini_set_new_window_enabled_fn setNewWindowEnabled;
    ymini_get_url_fn getUrl;
    ymini_load_url_fn loadUrl;
    ymini_go_forward_fn goForward;
    ymini_go_back_fn goBack;
    ymini_reload_fn reload;
    ymini_stop_loading_fn stopLoading;
    ymini_get_title_fn getTitle;
    ymini_request_favicon_fn requestFavicon;
};

// What the two views over the external engine share: the engine window
// embedded in the scroll area, the operations both interfaces answer the
// same way, the favicon and paint callbacks, and the registry of live views
// through which late callbacks find out whether their view still exists.
class MiniViewBase : public WebView
{
    Q_OBJECT

public:
    QString url() const override;
    void setUrl(const QString& url) override;
    QIcon icon() const override;
    void forward() override;
    void back() override;
    void reload() override;
    void stop() override;
    void setPageSize(const QSize& size) override;
    QString title() const override;

    MiniWebView engineHandle() const { return handle; }

protected:
    MiniViewBase(TabWidget* parent, const MiniEntryPoints& entries, int windowKind);
    ~MiniViewBase() override;

    // What callbacks are registered with, and how they find their view again.
    void* context() { return static_cast<MiniViewBase*>(this); }
    template <class View>
    static View* liveView(void* context)
    {
        return qobject_cast<View*>(registered(context));
    }

    void syncEngineSize(const QSize& size);
    // Clears a whole frame at the page size and returns that size; an empty
    // size when there is nothing to render.
    QSize clearFrame(uchar* pixels) const;
    void requestFavicon();

    static void handlePaintUpdated(MiniWebView, void* context, MiniDeviceContext dc, int x, int y, int cx, int cy);

private:
    static MiniViewBase* registered(void* context);
    static void handleFavicon(MiniWebView, void* context, const char* url, const MiniFaviconBuffer* buffer);

    const MiniEntryPoints entries;
    MiniWebView handle = nullptr;
    QWindow* engineWindow = nullptr;
    QSize engineSize;
    QIcon favicon;
};
