#pragma once

#include "BrowserParams.h"
#include "FrameMemory.h"
#include "HostedRunner.h"

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
class LoadSnapshot;
class TabWidget;
class WebView;

// The one window of the process. Parked off screen it renders the current
// page into the frame memory for the host; moved onto the screen it is the
// setting window, a small browser the user edits the source with.
class YBrowserRunner : public HostedRunner
{
    Q_OBJECT

public:
    explicit YBrowserRunner(const BrowserParams& params, QWidget* parent = nullptr);
    ~YBrowserRunner() override;

    void updateParams(const BrowserParams& p) override;
    BrowserParams params() const override;
    void setUrl(const QUrl& url) override;
    QUrl url() const override;
    QString title() const override;
    QSize pageSize() const override;
    void showSetting(bool on) override;
    bool isMute() const override;
    void setMute(bool muted) override;
    void wholeImage() override;

signals:
    void iconChanged(const QIcon& icon);

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
    LoadSnapshot* loadSnapshot = nullptr;
};
