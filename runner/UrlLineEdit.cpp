#include "UrlLineEdit.h"

#include "TabWidget.h"
#include "UrlIconLabel.h"
#include "WebView.h"

#include <QLineEdit>
#include <QPainter>

namespace {

const char urlEditStyle[] =
    "QLabel,QPushButton,QLineEdit { background: transparent; color: #333333; border: 0px; }"
    ".UrlLineEdit { background: #ffffff; border-radius: 3px; border: 1px solid #b6b6b6; }";

} // namespace

UrlLineEdit::UrlLineEdit(QWidget* parent)
    : ExLineEdit(parent)
    , iconLabel(new UrlIconLabel(this))
{
    setFrameShape(QFrame::NoFrame);
    setObjectName(QStringLiteral("UrlLineEdit"));
    setStyleSheet(QString::fromLatin1(urlEditStyle));
    iconLabel->setFixedSize(16, 16);
    iconLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setLeftWidget(iconLabel);
}

void UrlLineEdit::setTabWidget(TabWidget* tabWidget)
{
    m_tabWidget = tabWidget;
    connect(tabWidget, &TabWidget::loadProgress, this, &UrlLineEdit::setProgress);
    connect(tabWidget, &TabWidget::urlChanged, this, &UrlLineEdit::webViewUrlChanged);
    connect(tabWidget, &TabWidget::favIconChanged, this, &UrlLineEdit::webViewIconChanged);
    connect(tabWidget, &TabWidget::loadProgress, this, [this] { update(); });
    connect(tabWidget, &TabWidget::currentViewChanged, this, [this](WebView* view) {
        if (view) {
            lineEdit()->setText(view->url());
            iconLabel->setPixmap(view->icon().pixmap(16, 16));
        }
    });
    if (WebView* view = tabWidget->currentView()) {
        lineEdit()->setText(view->url());
        iconLabel->setPixmap(view->icon().pixmap(16, 16));
    }
    iconLabel->setTabWidget(tabWidget);
}

void UrlLineEdit::webViewUrlChanged(const QUrl& url)
{
    lineEdit()->setText(url.toDisplayString());
    lineEdit()->setCursorPosition(0);
}

void UrlLineEdit::webViewIconChanged(const QIcon& icon)
{
    iconLabel->setPixmap(icon.pixmap(16, 16));
}

void UrlLineEdit::setProgress(int progess)
{
    progress = qBound(0, progess, 100);
}

void UrlLineEdit::focusOutEvent(QFocusEvent* event)
{
    if (lineEdit()->text().isEmpty() && m_tabWidget) {
        if (WebView* view = m_tabWidget->currentView())
            lineEdit()->setText(view->url());
    }
    ExLineEdit::focusOutEvent(event);
}

void UrlLineEdit::paintEvent(QPaintEvent* event)
{
    ExLineEdit::paintEvent(event);
    if (hasFocus())
        return;
    const QRect cr = lineEditContents();
    const int barWidth = int(float(cr.width()) / 100.0 * progress);
    QPainter painter(this);
    painter.setPen(Qt::transparent);
    painter.setBrush(QColor(QStringLiteral("#F1F9FF")));
    painter.drawRect(QRect(cr.topLeft(), QSize(barWidth, cr.height())));
}
