#include "ExLineEdit.h"

#include "YToolButtonPainters.h"

#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

ExLineEdit::ExLineEdit(QWidget* parent)
    : QFrame(parent)
    , m_lineEdit(new QLineEdit(this))
    , m_clearButton(new YUILIB::YToolButton(this))
    , m_hintLabel(new QLabel(this))
{
    setFocusPolicy(m_lineEdit->focusPolicy());
    setSizePolicy(m_lineEdit->sizePolicy());
    setBackgroundRole(m_lineEdit->backgroundRole());
    setPalette(m_lineEdit->palette());
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(true);
    setAcceptDrops(true);
    setAttribute(Qt::WA_MacShowFocusRect, true);

    QPalette clearBase = m_lineEdit->palette();
    clearBase.setBrush(QPalette::Base, QBrush(Qt::transparent));
    m_lineEdit->setFrame(false);
    m_lineEdit->setFocusProxy(this);
    m_lineEdit->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_lineEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_lineEdit->setTextMargins(25, 0, 0, 0);
    m_lineEdit->setPalette(clearBase);

    m_hintLabel->setPalette(clearBase);
    m_hintLabel->setText(tr("按Enter键结束输入"));
    m_hintLabel->setAlignment(Qt::AlignCenter);
    m_hintLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_hintLabel->setAttribute(Qt::WA_TranslucentBackground);
    m_hintLabel->setStyleSheet(QStringLiteral("color : gray"));

    YUILIB::setImageStrip(m_clearButton, QStringLiteral(":/YBrowserRunner/Resources/btn_cachu_dis_nor_hot_pre.png"));
    m_clearButton->setFixedSize(20, 20);
    m_clearButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_clearButton->setToolTip(tr("清除"));
    connect(m_clearButton, &QPushButton::clicked, m_lineEdit, &QLineEdit::clear);
}

void ExLineEdit::setLeftWidget(QWidget* widget)
{
    m_leftWidget = widget;
    updateGeometries();
}

QSize ExLineEdit::sizeHint() const
{
    m_lineEdit->setFrame(true);
    const QSize hint = m_lineEdit->sizeHint();
    m_lineEdit->setFrame(false);
    return hint;
}

QVariant ExLineEdit::inputMethodQuery(Qt::InputMethodQuery property) const
{
    return m_lineEdit->inputMethodQuery(property);
}

bool ExLineEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride)
        return m_lineEdit->event(event);
    return QFrame::event(event);
}

void ExLineEdit::keyPressEvent(QKeyEvent* event)
{
    m_lineEdit->event(event);
    event->accept();
}

void ExLineEdit::focusInEvent(QFocusEvent* event)
{
    m_lineEdit->event(event);
    QFrame::focusInEvent(event);
}

void ExLineEdit::focusOutEvent(QFocusEvent* event)
{
    m_lineEdit->event(event);
    // The line edit lets go of its completer when it loses the focus; the
    // frame keeps it answering, since the focus stays with the frame's popup.
    if (QCompleter* completer = m_lineEdit->completer()) {
        connect(completer, SIGNAL(activated(QString)), m_lineEdit, SLOT(setText(QString)), Qt::UniqueConnection);
        connect(completer, SIGNAL(highlighted(QString)), m_lineEdit, SLOT(_q_completionHighlighted(QString)), Qt::UniqueConnection);
    }
    QFrame::focusOutEvent(event);
}

void ExLineEdit::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
}

void ExLineEdit::resizeEvent(QResizeEvent* event)
{
    const QRect r = rect();
    const int w = width();
    m_lineEdit->setGeometry(r.adjusted(4, 0, -24, 0));
    m_clearButton->setGeometry(r.adjusted(w - 24, 4, 0, -4));
    updateGeometries();
    QFrame::resizeEvent(event);
}

void ExLineEdit::inputMethodEvent(QInputMethodEvent* event)
{
    m_lineEdit->event(event);
}

void ExLineEdit::initContentsOption(QStyleOptionFrame* option) const
{
    option->initFrom(this);
    option->rect = contentsRect();
    option->lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, option, this);
    option->midLineWidth = 0;
    option->state |= QStyle::State_Sunken;
    if (m_lineEdit->isReadOnly())
        option->state |= QStyle::State_ReadOnly;
    option->features = QStyleOptionFrame::None;
}

QRect ExLineEdit::lineEditContents() const
{
    QStyleOptionFrame option;
    initContentsOption(&option);
    return style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
}

void ExLineEdit::updateGeometries()
{
    const QRect cr = lineEditContents();
    int leftEnd = 0;
    int leftWidth = 0;
    if (m_leftWidget) {
        m_leftWidget->move(cr.x() + 8, cr.y() + (cr.height() - m_leftWidget->height()) / 2);
        leftEnd = m_leftWidget->x() + m_leftWidget->width();
        leftWidth = m_leftWidget->width();
    }
    const QRect region(leftEnd, 0, cr.width() - height() - leftWidth, height());
    m_hintLabel->setGeometry(region.right() - 120, region.top(), 120, region.height());
}
