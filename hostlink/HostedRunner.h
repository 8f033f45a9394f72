#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QWidget>

#include "BrowserParams.h"

// What the host connection controller needs of the runner window: one
// operation per host message and the two events it reports back. The runner
// window implements it; tests and fuzzers put a recording double in its place.
class HostedRunner : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    virtual bool isMute() const = 0;
    virtual void setMute(bool muted) = 0;
    virtual void showSetting(bool on) = 0;
    virtual void setUrl(const QUrl& url) = 0;
    virtual void wholeImage() = 0;
    virtual void updateParams(const BrowserParams& params) = 0;
    virtual BrowserParams params() const = 0;
    virtual QSize pageSize() const = 0;
    virtual QUrl url() const = 0;
    virtual QString title() const = 0;

signals:
    void loadFinished(bool ok, const QImage& image);
    void settingDone();
};
