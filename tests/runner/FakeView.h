#pragma once

#include "TabWidget.h"
#include "WebView.h"

// A view whose page is one colour that changes with every render, so a test can tell which render reached which buffer.
class FakeView : public WebView
{
    Q_OBJECT

public:
    explicit FakeView(TabWidget* tab) : WebView(tab), id(++lastId()) {}
    static int& lastId() { static int id = 0; return id; }
    static QRgb colourOf(int viewId, int render) { return qRgba(render, viewId, 0x80, 0xff); }

    int engineType() const override { return QtEngine; }
    QString url() const override { return m_url; }
    void setUrl(const QString& url) override { loads << url, report(url); }
    QIcon icon() const override { return QIcon(); }
    void forward() override { actions << "forward"; }
    void back() override { actions << "back"; }
    void reload() override { actions << "reload"; }
    void stop() override {}
    void setPageSize(const QSize& size) override { sizes << size; }
    bool isActionEnabled(int) const override { return true; }
    bool isMuted() const override { return m_muted; }
    void setMuted(bool muted) override { mutes << (m_muted = muted); }
    QString title() const override { return QString(); }
    bool reportsPaints() const override { return paintsReported; }
    void renderTo(uchar* pixels) override
    {
        const QSize size = tabWidget()->pageSize();
        std::fill_n(reinterpret_cast<QRgb*>(pixels), qint64(size.width()) * size.height(), colourOf(id, ++renders));
    }
    void report(const QString& url) { tabWidget()->viewUrlChanged(this, m_url = url); }

    const int id;
    int renders = 0;
    bool paintsReported = false;
    QStringList loads, actions;
    QList<QSize> sizes;
    QList<bool> mutes;

private:
    QString m_url;
    bool m_muted = false;
};
