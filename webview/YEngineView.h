#pragma once

#include <QWebEngineView>

#include <functional>

// The engine view inside a YWebView_Qt. New windows are decided by its
// owner through createWindowHandler; the context menu keeps to navigation.
class YEngineView : public QWebEngineView
{
public:
    using CreateWindowHandler = std::function<QWebEngineView*(QWebEnginePage::WebWindowType)>;

    explicit YEngineView(QWidget* parent = nullptr);

    void setCreateWindowHandler(CreateWindowHandler handler) { createWindowHandler = std::move(handler); }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    QWebEngineView* createWindow(QWebEnginePage::WebWindowType type) override;

private:
    void addPageAction(QMenu* menu, QWebEnginePage::WebAction action, const QString& text);

    CreateWindowHandler createWindowHandler;
};
