#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QStyleOptionFrame;

namespace YUILIB {
class YToolButton;
}

// A frame that holds the keyboard focus and lends it to an inner line edit,
// with room for a widget at the left, a fixed hint and a clear button.
class ExLineEdit : public QFrame
{
    Q_OBJECT

public:
    explicit ExLineEdit(QWidget* parent = nullptr);

    QLineEdit* lineEdit() const { return m_lineEdit; }
    QWidget* leftWidget() const { return m_leftWidget; }
    void setLeftWidget(QWidget* widget);

    QSize sizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery property) const override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

    void initContentsOption(QStyleOptionFrame* option) const;
    QRect lineEditContents() const;

private:
    void updateGeometries();

    QWidget* m_leftWidget = nullptr;
    QLineEdit* m_lineEdit;
    YUILIB::YToolButton* m_clearButton;
    QLabel* m_hintLabel;
};
