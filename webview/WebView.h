#pragma once

#include <QIcon>
#include <QScrollArea>
#include <QSize>
#include <QString>

#include <functional>
#include <map>

class TabWidget;

// The page view every tab holds. Engines derive from it and register a
// factory for their engine mode from a static initialiser:
//   static WebView::Registration registration(WebView::QtEngine,
//       [](TabWidget* tab) -> WebView* { return new MyView(tab); });
class WebView : public QScrollArea
{
    Q_OBJECT

public:
    enum EngineMode { QtEngine = 1, VipMiniEngine = 2, MiniEngine = 5 };
    enum Action { ForwardAction = 0, BackAction = 1, ReloadAction = 2, StopAction = 3 };

    using Factory = std::function<WebView*(TabWidget*)>;

    struct Registration
    {
        Registration(int mode, Factory factory);
    };

    explicit WebView(TabWidget* parent);

    virtual int engineType() const = 0;
    virtual QString url() const = 0;
    virtual void setUrl(const QString& url) = 0;
    virtual QIcon icon() const = 0;
    virtual void forward() = 0;
    virtual void back() = 0;
    virtual void reload() = 0;
    virtual void stop() = 0;
    virtual void setPageSize(const QSize& size) = 0;
    virtual bool isActionEnabled(int action) const = 0;
    virtual bool isMuted() const = 0;
    virtual void setMuted(bool muted) = 0;
    // Writes exactly pageSize().width() * pageSize().height() * 4 bytes:
    // ARGB32, rows top to bottom, stride width * 4, at the tab widget's page size.
    virtual void renderTo(uchar* pixels) = 0;
    virtual QString title() const = 0;
    // Whether the view sends painted() for each scene its engine paints.
    virtual bool reportsPaints() const { return false; }

    TabWidget* tabWidget() const { return owner; }

    // The engine registry: inserting a mode again replaces its factory.
    static void registerFactory(int mode, Factory factory);
    static bool isRegistered(int mode);
    // Null when no factory is registered for the mode.
    static WebView* create(int mode, TabWidget* tab);

signals:
    void painted();

private:
    static std::map<int, Factory>& registry();

    TabWidget* owner;
};
