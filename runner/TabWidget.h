#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QStringList>
#include <QTabWidget>
#include <QUrl>

class WebView;
struct FrameHeader;

// The tabs of the runner, one WebView each. The single place that learns
// about the current view: views report to it by direct calls, and it turns
// the reports of the current view into its own signals.
class TabWidget : public QTabWidget
{
    Q_OBJECT

public:
    explicit TabWidget(QWidget* parent = nullptr);

    WebView* currentView() const;
    WebView* currentWebView() const { return currentView(); }
    WebView* webView(int index) const;
    bool isCurrentView(WebView* view) const;
    QStringList urls() const;
    QString currentUrl() const;

    QSize pageSize() const { return m_pageSize; }
    // Kept as given: the runner hands on only sizes its frame buffers hold,
    // down to 0 x 0 for a segment without room for one pixel.
    void setPageSize(const QSize& s);
    int engineMode() const { return m_engineMode; }
    void setEngineMode(int mode) { m_engineMode = mode; }

    // Starts a whole frame in a frame buffer: header for the full page, then
    // the current view renders into the pixels behind it.
    void setFrameBuffer(FrameHeader* header);
    void closeCurrentTab();

    // Reports of the views; the view passes itself.
    void viewTitleChanged(WebView* view, const QString& title);
    void viewUrlChanged(WebView* view, const QString& url);
    void viewIconChanged(WebView* view, const QIcon& icon);
    void viewLoadProgress(WebView* view, int progress);
    void viewActionChanged(WebView* view, int action, bool enable);
    WebView* newTabLike(WebView* view);

signals:
    void linkHovered(const QString& link);
    void loadProgress(int progress);
    void titleChanged(const QString& title);
    void urlChanged(const QUrl& url);
    void favIconChanged(const QIcon& icon);
    void loadFinished(bool success);
    void actionEnableChanged(int action, bool enable);
    void currentViewChanged(WebView* currentView);
    void viewUpdate(int x, int y, const QImage& image);
    void totalUpdate();

public slots:
    void setUrl(const QUrl& url);
    WebView* createTab();
    WebView* newTab(int mode);
    void closeTab(int index);
    void nextTab();
    void previousTab();
    void forward();
    void back();
    void reload();

protected:
    void tabInserted(int index) override;
    void tabRemoved(int index) override;

private slots:
    void handleCurrentChanged(int index);
    void handleContextMenuRequested(const QPoint& pos);
    void cloneTab(int index);
    void closeOtherTabs(int index);
    void reloadAllTabs();
    void reloadTab(int index);

private:
    WebView* createView(int mode);
    bool holdsFocus(WebView* view) const;

    QSize m_pageSize;
    int m_engineMode;
};
