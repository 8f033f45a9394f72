#include "WebView.h"

#include "TabWidget.h"

WebView::Registration::Registration(int mode, Factory factory)
{
    registerFactory(mode, std::move(factory));
}

WebView::WebView(TabWidget* parent)
    : QScrollArea(parent)
    , owner(parent)
{
}

std::map<int, WebView::Factory>& WebView::registry()
{
    static std::map<int, Factory> factories;
    return factories;
}

void WebView::registerFactory(int mode, Factory factory)
{
    registry()[mode] = std::move(factory);
}

bool WebView::isRegistered(int mode)
{
    auto found = registry().find(mode);
    return found != registry().end() && found->second;
}

WebView* WebView::create(int mode, TabWidget* tab)
{
    if (!isRegistered(mode))
        return nullptr;
    return registry()[mode](tab);
}
