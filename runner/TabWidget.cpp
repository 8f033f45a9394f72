#include "TabWidget.h"

#include "FrameHeader.h"
#include "LogWriter.h"
#include "PageDialogs.h"
#include "WebView.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QTabBar>

namespace {

const char tabBarStyle[] =
    "QTabBar { background: #ffffff; padding-left: 10px; }"
    "QTabBar::tab { color: #333333; font-size: 14px; font-weight: normal;"
    " background: transparent; border: 0px; border-radius: 11px; min-height: 24px;"
    " margin-right: 1px; margin-top: 5px; margin-bottom: 5px;"
    " padding-left: 15px; padding-right: 8px; }"
    "QTabBar::tab:selected, QTabBar::tab:hover { background: #f5f5f5; }";

} // namespace

TabWidget::TabWidget(QWidget* parent)
    : QTabWidget(parent)
    , m_pageSize(-1, -1)
    , m_engineMode(WebView::QtEngine)
{
    QTabBar* bar = tabBar();
    bar->setStyleSheet(QString::fromLatin1(tabBarStyle));
    // Captions are drawn in the style sheet's 14 px, but the bar sizes and
    // elides them with its own font: give it the same size.
    QFont captionFont = bar->font();
    captionFont.setPixelSize(14);
    bar->setFont(captionFont);
    bar->setTabsClosable(false);
    bar->setSelectionBehaviorOnRemove(QTabBar::SelectPreviousTab);
    bar->setMovable(true);
    bar->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(bar, &QTabBar::customContextMenuRequested, this, &TabWidget::handleContextMenuRequested);
    connect(bar, &QTabBar::tabCloseRequested, this, &TabWidget::closeTab);
    connect(bar, &QTabBar::tabBarDoubleClicked, this, [this](int index) {
        if (index == -1)
            newTab(m_engineMode);
    });
    connect(this, &QTabWidget::currentChanged, this, &TabWidget::handleCurrentChanged);

    setDocumentMode(true);
    setElideMode(Qt::ElideRight);
}

WebView* TabWidget::currentView() const
{
    return currentIndex() < 0 ? nullptr : webView(currentIndex());
}

WebView* TabWidget::webView(int index) const
{
    return qobject_cast<WebView*>(widget(index));
}

bool TabWidget::isCurrentView(WebView* view) const
{
    return view && currentView() == view;
}

QStringList TabWidget::urls() const
{
    QStringList list;
    for (int i = 0; i < count(); ++i) {
        if (WebView* view = webView(i))
            list.append(view->url());
    }
    return list;
}

QString TabWidget::currentUrl() const
{
    if (WebView* view = currentView())
        return view->url();
    return QString();
}

void TabWidget::setPageSize(const QSize& s)
{
    m_pageSize = s;
    for (int i = 0; i < count(); ++i) {
        if (WebView* view = webView(i))
            view->setPageSize(m_pageSize);
    }
}

void TabWidget::setFrameBuffer(FrameHeader* header)
{
    if (!header)
        return;
    header->consumed = 0;
    header->wholeFrame = 1;
    header->dirtyX = 0;
    header->dirtyY = 0;
    header->dirtyWidth = header->width = m_pageSize.width();
    header->dirtyHeight = header->height = m_pageSize.height();
    if (WebView* view = currentView())
        view->renderTo(header->pixels());
}

void TabWidget::closeCurrentTab()
{
    WebView* view = currentView();
    if (!view)
        return;
    const QSignalBlocker blocker(this);
    const bool hadFocus = holdsFocus(view);
    removeTab(currentIndex());
    if (hadFocus && currentView())
        currentView()->setFocus();
    PageDialogs::closeWithin(view);
    PageDialogs::deleteWhenIdle(view);
}

void TabWidget::viewTitleChanged(WebView* view, const QString& title)
{
    const int index = indexOf(view);
    if (index < 0)
        return;
    setTabText(index, title);
    setTabToolTip(index, title);
    if (isCurrentView(view))
        emit titleChanged(title);
}

void TabWidget::viewUrlChanged(WebView* view, const QString& url)
{
    const int index = indexOf(view);
    if (index < 0)
        return;
    tabBar()->setTabData(index, url);
    if (isCurrentView(view))
        emit urlChanged(QUrl(url));
}

void TabWidget::viewIconChanged(WebView* view, const QIcon& icon)
{
    const int index = indexOf(view);
    if (index < 0)
        return;
    setTabIcon(index, icon);
    if (isCurrentView(view))
        emit favIconChanged(icon);
}

void TabWidget::viewLoadProgress(WebView* view, int progress)
{
    if (isCurrentView(view))
        emit loadProgress(progress);
}

void TabWidget::viewActionChanged(WebView* view, int action, bool enable)
{
    if (isCurrentView(view))
        emit actionEnableChanged(action, enable);
}

WebView* TabWidget::newTabLike(WebView* view)
{
    return view ? newTab(view->engineType()) : nullptr;
}

void TabWidget::setUrl(const QUrl& url)
{
    if (WebView* view = currentView()) {
        view->setUrl(url.toString());
        view->setFocus();
    }
}

WebView* TabWidget::createTab()
{
    return newTab(m_engineMode);
}

WebView* TabWidget::newTab(int mode)
{
    WebView* view = createView(mode);
    if (!view)
        return nullptr;
    addTab(view, tr("新建标签"));
    setCurrentWidget(view);
    return view;
}

void TabWidget::closeTab(int index)
{
    WebView* view = webView(index);
    if (!view)
        return;
    const bool hadFocus = holdsFocus(view);
    removeTab(index);
    if (hadFocus && currentView())
        currentView()->setFocus();
    if (count() == 0)
        newTab(m_engineMode);
    PageDialogs::closeWithin(view);
    PageDialogs::deleteWhenIdle(view);
}

void TabWidget::nextTab()
{
    if (count() > 0)
        setCurrentIndex((currentIndex() + 1) % count());
}

void TabWidget::previousTab()
{
    if (count() > 0)
        setCurrentIndex((currentIndex() - 1 + count()) % count());
}

void TabWidget::forward()
{
    if (WebView* view = currentView())
        view->forward();
}

void TabWidget::back()
{
    if (WebView* view = currentView())
        view->back();
}

void TabWidget::reload()
{
    if (WebView* view = currentView())
        view->reload();
}

void TabWidget::tabInserted(int index)
{
    QTabWidget::tabInserted(index);
    setTabsClosable(count() != 1);
}

void TabWidget::tabRemoved(int index)
{
    QTabWidget::tabRemoved(index);
    setTabsClosable(count() != 1);
}

void TabWidget::handleCurrentChanged(int index)
{
    emit currentViewChanged(webView(index));
    emit loadFinished(true);
}

void TabWidget::handleContextMenuRequested(const QPoint& pos)
{
    QMenu menu;
    QAction* add = menu.addAction(tr("添加新标签页(&T)"), this, [this] { newTab(m_engineMode); });
    add->setShortcut(QKeySequence::AddTab);
    const int index = tabBar()->tabAt(pos);
    if (index < 0) {
        menu.addSeparator();
    } else {
        menu.addAction(tr("克隆标签页"), this, [this, index] { cloneTab(index); });
        if (count() > 1) {
            menu.addSeparator();
            QAction* close = menu.addAction(tr("关闭标签页(&C)"), this, [this, index] { closeTab(index); });
            close->setShortcut(QKeySequence::Close);
            menu.addAction(tr("关闭其他标签页(&O)"), this, [this, index] { closeOtherTabs(index); });
        }
        menu.addSeparator();
        QAction* reload = menu.addAction(tr("重新加载"), this, [this, index] { reloadTab(index); });
        reload->setShortcut(QKeySequence::Refresh);
    }
    menu.addAction(tr("重新加载所有标签页"), this, &TabWidget::reloadAllTabs);
    menu.exec(QCursor::pos());
}

void TabWidget::cloneTab(int index)
{
    if (WebView* view = webView(index)) {
        if (WebView* copy = newTab(m_engineMode))
            copy->setUrl(view->url());
    }
}

void TabWidget::closeOtherTabs(int index)
{
    QWidget* kept = widget(index);
    if (!kept)
        return;
    for (int i = count() - 1; i >= 0; --i) {
        if (widget(i) != kept)
            closeTab(i);
    }
}

void TabWidget::reloadAllTabs()
{
    for (int i = 0; i < count(); ++i) {
        if (WebView* view = webView(i))
            view->reload();
    }
}

void TabWidget::reloadTab(int index)
{
    if (WebView* view = webView(index))
        view->reload();
}

WebView* TabWidget::createView(int mode)
{
    if (WebView::isRegistered(mode))
        return WebView::create(mode, this);
    const QByteArray line = "No web view for engine mode " + QByteArray::number(mode) + ", using mode 1";
    log(line.constData());
    return WebView::create(WebView::QtEngine, this);
}

bool TabWidget::holdsFocus(WebView* view) const
{
    return view->hasFocus() || view->isAncestorOf(QApplication::focusWidget());
}
