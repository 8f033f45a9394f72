#pragma once

#include <QLabel>
#include <QPoint>

class TabWidget;

// The page icon at the left of the URL bar; dragging it carries the
// current page's URL away.
class UrlIconLabel : public QLabel
{
    Q_OBJECT

public:
    explicit UrlIconLabel(QWidget* parent = nullptr);

    void setTabWidget(TabWidget* tabWidget) { m_tabWidget = tabWidget; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    TabWidget* m_tabWidget = nullptr;
    QPoint dragStartPos;
};
