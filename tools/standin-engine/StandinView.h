#pragma once

#include "MiniEngineApi.h"
#include "MiniSurface.h"
#include "VipMiniEngineApi.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class StandinDocument;
class StandinWindow;

// One web window of the stand-in engine. It stands in for the real engine so
// that the views have something to drive here; it is not a browser. It lays
// out a page with Qt's rich-text engine (title, text, colours, tables,
// images), loads file: URLs and http: URLs on this machine, keeps a history,
// a media volume and a mute flag, and reports through the callbacks of both
// engine interfaces whatever it does. Callbacks never run inside the call
// that caused them: they come from the event loop, as an engine's would.
class StandinView : public QObject
{
    Q_OBJECT

public:
    StandinView(const QSize& size);
    ~StandinView() override;

    static StandinView* from(MiniWebView view);
    MiniWebView handle() { return reinterpret_cast<MiniWebView>(this); }

    // The first interface's callbacks, by role, and the second's.
    struct MiniCallbacks
    {
        MiniTitleChangedCallback title = nullptr;
        MiniUrlChangedCallback url = nullptr;
        MiniNavigationCallback navigation = nullptr;
        MiniCreateViewCallback createView = nullptr;
        MiniDocumentReadyCallback documentReady = nullptr;
        MiniConfirmBoxCallback confirmBox = nullptr;
        MiniLoadingFinishedCallback loadingFinished = nullptr;
        MiniDownloadCallback download = nullptr;
        MiniHostObjectCallback hostObject = nullptr;
        MiniWindowClosingCallback windowClosing = nullptr;
        MiniPaintUpdatedCallback paint = nullptr;
    };
    struct VipCallbacks
    {
        VipTitleChangedCallback title = nullptr;
        VipUrlChangedCallback url = nullptr;
        VipNavigationCallback navigation = nullptr;
        VipCreateViewCallback createView = nullptr;
        VipLoadingFinishedCallback loadingFinished = nullptr;
        VipPaintUpdatedCallback paint = nullptr;
    };
    MiniCallbacks mini;
    VipCallbacks vip;
    // Every callback of a view gets the context given with its registration.
    struct Contexts
    {
        void* title = nullptr;
        void* url = nullptr;
        void* navigation = nullptr;
        void* createView = nullptr;
        void* loadingFinished = nullptr;
        void* paint = nullptr;
        void* other = nullptr;
    } contexts;

    void show();
    MiniNativeWindow nativeWindow();
    void resize(const QSize& size);
    void setNewWindowEnabled(bool enabled) { newWindowEnabled = enabled; }

    void load(const QString& text);
    void goBack();
    void goForward();
    void reload();
    void stop();
    bool canGoBack() const { return historyIndex > 0; }
    bool canGoForward() const { return historyIndex + 1 < history.size(); }

    const char* url() const { return urlText.constData(); }
    const char* title() const { return titleText.constData(); }
    float volume() const { return mediaVolume; }
    void setVolume(float volume) { mediaVolume = volume; }
    bool isMuted() const { return muted; }
    void setMuted(bool on) { muted = on; }

    const QImage& surface() const { return pixels; }
    MiniDeviceContext deviceContext() { return reinterpret_cast<MiniDeviceContext>(&descriptor); }
    void paintInto(void* bits, int pitch) const;
    const MiniFrameRecord* mainFrame() const { return &frameRecord; }
    bool isMainFrame(uint64_t frame) const { return frame == frameRecord.frame; }
    void requestFavicon(MiniFaviconCallback callback, void* context);

    // The page asks for a new window (a link with a target, a script).
    void requestNewWindow(int kind, const QString& url);
    void clickAt(const QPoint& position);

private:
    void navigate(const QUrl& url, int kind, bool addToHistory);
    void start(const QUrl& url);
    void fail(const QUrl& url, const QByteArray& reason);
    void commit(const QUrl& url, const QByteArray& body, int serial);
    void fetchImages(int serial);
    void finish(int serial);
    void render();
    void fetch(const QUrl& url, std::function<void(bool ok, const QByteArray& bytes)> done);
    QUrl faviconUrl() const;
    bool allowNavigation(int kind, const QByteArray& url);
    void fireLoadingFinished(const QByteArray& url, int result, const QByteArray& reason);
    void firePaint(const QRect& rect);

    StandinDocument* document;
    StandinWindow* window = nullptr;
    QNetworkAccessManager* network;
    QPointer<QNetworkReply> pendingReply;
    QImage pixels;
    MiniSurface descriptor {};
    MiniFrameRecord frameRecord {};
    QList<QUrl> history;
    int historyIndex = -1;
    int loadSerial = 0;
    bool loading = false;
    QUrl loadingUrl;
    int pendingImages = 0;
    QByteArray urlText;
    QByteArray titleText;
    QString pageText;
    QSize viewSize;
    float mediaVolume = 1.0f;
    bool muted = false;
    bool newWindowEnabled = false;
};
