#pragma once

#include "BrowserParams.h"
#include "FrameMemory.h"

#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <memory>

namespace Ui {
class YBrowserRunnerClass;
}
class TabWidget;
class WebView;

// The one window of the process. Parked off screen it renders the current
// page into the frame memory for the host; moved onto the screen it is the
// setting window, a small browser the user edits the source with.
class YBrowserRunner : public QWidget
{
    Q_OBJECT

public:
    explicit YBrowserRunner(const BrowserParams& params, QWidget* parent = nullptr);
    ~YBrowserRunner() override;

    void updateParams(const BrowserParams& p);
    BrowserParams params() const;
    void setUrl(const QUrl& url);
    QUrl url() const;
    QString title() const;
    QSize pageSize() const;
    void showSetting(bool on);
    bool isMute() const;
    void setMute(bool muted);
    void wholeImage();

signals:
    void loadFinished(bool ok, const QImage& image);
    void iconChanged(const QIcon& icon);
    void settingDone();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void lineEditReturnPressed();
    void vebViewChanged(const QUrl& url);
    void handleCurrentViewChanged(WebView* view);
    void handleLoadFinished(bool ok);
    void handleMaxToggled(bool checked);
    void handlePageSizeText(const QString& text);
    void handleEngineChanged(int index);
    void handleViewUpdate(int x, int y, const QImage& image);
    void handleTotalUpdate();

private:
    void initFrameMemory();
    FrameHeader* nextFrameBuffer();
    void startWholeFrame();
    void wireWidgets();
    QSize windowSizeFor(const BrowserParams& p) const;
    TabWidget* tabWidget() const;
    WebView* currentView() const;

    std::unique_ptr<Ui::YBrowserRunnerClass> ui;
    QStringList urlHistory;
    FrameMemory frameMemory;
    QPointer<WebView> shownView;
};
