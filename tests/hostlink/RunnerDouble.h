#pragma once

#include "HostedRunner.h"

#include <QStringList>

// Stands in for the runner window: records each operation the controller calls, in order, as text.
class RunnerDouble : public HostedRunner
{
public:
    explicit RunnerDouble(const BrowserParams& initial) : record(initial) {}

    bool isMute() const override { return muted; }
    void setMute(bool m) override { calls << QStringLiteral("setMute(%1)").arg((muted = m) ? "true" : "false"); }
    void showSetting(bool on) override { calls << QStringLiteral("showSetting(%1)").arg(on ? "true" : "false"); }
    void setUrl(const QUrl& url) override { calls << QStringLiteral("setUrl(%1)").arg(url.toString()); }
    void wholeImage() override { calls << QStringLiteral("wholeImage()"); }
    void updateParams(const BrowserParams& p) override
    {
        calls << QStringLiteral("updateParams(%1x%2,%3)").arg(p.pageSize.width()).arg(p.pageSize.height()).arg(p.urls.join('|'));
    }
    BrowserParams params() const override { return record; }
    QSize pageSize() const override { return record.pageSize; }
    QUrl url() const override { return QUrl(QStringLiteral("http://127.0.0.1/page?a=1&b=2")); }
    QString title() const override { return QStringLiteral("  \t Title with spaces \n"); }

    QStringList calls;
    BrowserParams record;
    bool muted = false;
};
