#pragma once

#include "ExLineEdit.h"

#include <QIcon>
#include <QUrl>

class TabWidget;
class UrlIconLabel;

// The URL bar: follows the current view of a tab widget with its text, its
// icon and, while it has no focus, a load-progress bar behind the text.
class UrlLineEdit : public ExLineEdit
{
    Q_OBJECT

public:
    explicit UrlLineEdit(QWidget* parent = nullptr);

    void setTabWidget(TabWidget* tabWidget);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void webViewUrlChanged(const QUrl& url);
    void webViewIconChanged(const QIcon& icon);
    void setProgress(int progess);

private:
    UrlIconLabel* iconLabel;
    int progress = 0;
    TabWidget* m_tabWidget = nullptr;
};
