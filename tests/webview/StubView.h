#pragma once

#include "WebView.h"

#include <QColor>

// A view without an engine: remembers what it was asked and paints its page
// in one colour, so the tab widget can be tried without Chromium.
class StubView : public WebView
{
    Q_OBJECT

public:
    StubView(TabWidget* parent, int mode);

    int engineType() const override { return mode; }
    QString url() const override { return currentUrl; }
    void setUrl(const QString& url) override;
    QIcon icon() const override { return QIcon(); }
    void forward() override { ++forwards; }
    void back() override { ++backs; }
    void reload() override { ++reloads; }
    void stop() override {}
    void setPageSize(const QSize& size) override { pageSizes.append(size); }
    bool isActionEnabled(int) const override { return false; }
    bool isMuted() const override { return muted; }
    void setMuted(bool m) override { muted = m; }
    void renderTo(uchar* pixels) override;
    QString title() const override { return QString(); }

    int mode;
    QString currentUrl;
    QStringList loadedUrls;
    QList<QSize> pageSizes;
    int forwards = 0;
    int backs = 0;
    int reloads = 0;
    bool muted = false;
    QRgb colour = 0xff2040c0;
};
