#pragma once

#include "WebView.h"

#include <QList>
#include <QStringList>

// A view whose page is one colour that changes with every render, so a test
// can tell which render reached which buffer.
class FakeView : public WebView
{
    Q_OBJECT

public:
    explicit FakeView(TabWidget* tab);

    static QRgb colourOf(int viewId, int render) { return qRgba(render, viewId, 0x80, 0xff); }

    int engineType() const override { return QtEngine; }
    QString url() const override { return m_url; }
    void setUrl(const QString& url) override;
    QIcon icon() const override { return m_icon; }
    void forward() override { actions << "forward"; }
    void back() override { actions << "back"; }
    void reload() override { actions << "reload"; }
    void stop() override { actions << "stop"; }
    void setPageSize(const QSize& size) override { sizes << size; }
    bool isActionEnabled(int) const override { return true; }
    bool isMuted() const override { return m_muted; }
    void setMuted(bool muted) override;
    void renderTo(uchar* pixels) override;
    QString title() const override { return m_title; }

    void report(const QString& url, const QIcon& icon);

    int id;
    int renders = 0;
    QStringList loads;
    QStringList actions;
    QList<QSize> sizes;
    QList<bool> mutes;
    QString m_title;

private:
    QString m_url;
    QIcon m_icon;
    bool m_muted = false;
};

QIcon solidIcon(const QColor& colour);
