#include "YEngineView.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEngineContextMenuData>

YEngineView::YEngineView(QWidget* parent)
    : QWebEngineView(parent)
{
}

void YEngineView::contextMenuEvent(QContextMenuEvent* event)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (page()->contextMenuData().linkUrl().isValid()) {
        addPageAction(menu, QWebEnginePage::OpenLinkInThisWindow, QWebEngineView::tr("打开链接"));
        addPageAction(menu, QWebEnginePage::CopyLinkToClipboard, QWebEngineView::tr("复制链接"));
        menu->addSeparator();
    }
    addPageAction(menu, QWebEnginePage::Back, QWebEngineView::tr("后退"));
    addPageAction(menu, QWebEnginePage::Forward, QWebEngineView::tr("前进"));
    addPageAction(menu, QWebEnginePage::Reload, QWebEngineView::tr("刷新"));
    menu->popup(event->globalPos());
}

QWebEngineView* YEngineView::createWindow(QWebEnginePage::WebWindowType type)
{
    return createWindowHandler ? createWindowHandler(type) : nullptr;
}

void YEngineView::addPageAction(QMenu* menu, QWebEnginePage::WebAction action, const QString& text)
{
    // The texts stay on the page's own actions afterwards.
    QAction* pageAction = page()->action(action);
    pageAction->setText(text);
    menu->addAction(pageAction);
}
