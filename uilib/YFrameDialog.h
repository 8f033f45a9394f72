#pragma once

#include "PlatformRect.h"
#include "StateMachine.h"
#include "YUiLibExport.h"

#include <QAbstractNativeEventFilter>
#include <QMap>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;
class QDialog;
class QPainter;
class QValidator;
class YFrameDialogForm;

// Frameless dialog with its own title bar, a caller's central widget and a
// row of standard buttons. exec() runs it inside a translucent wrapper whose
// margin is painted as a shadow; the mouse adapter moves and resizes it.
class YUILIB_EXPORT YFrameDialog : public QWidget, public StateMachine, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_CLASSINFO("ExtraBases", "StateMachine,QAbstractNativeEventFilter")

public:
    enum StandardButton {
        Ok = 0x00000400,
        Save = 0x00000800,
        Cancel = 0x00400000,
        Close = 0x00200000,
        Discard = 0x00800000,
        Apply = 0x02000000,
        Reset = 0x04000000,
        Help = 0x01000000,
        SaveAll = 0x00001000,
        Yes = 0x00004000,
        YesToAll = 0x00008000,
        No = 0x00010000,
        NoToAll = 0x00020000,
        Abort = 0x00040000,
        Retry = 0x00080000,
        Ignore = 0x00100000,
        NoButton = 0x00000000
    };
    Q_DECLARE_FLAGS(StandardButtons, StandardButton)
    Q_FLAG(StandardButtons)

    enum ButtonRole {
        ApplyRole = 0,
        ResetRole = 1,
        YesRole = 2,
        AcceptRole = 3,
        DestructiveRole = 4,
        NoRole = 5,
        RejectRole = 6,
        HelpRole = 7
    };

    enum ResizeFlag { ResizeLeft = 1, ResizeRight = 2, ResizeTop = 4, ResizeBottom = 8 };
    Q_DECLARE_FLAGS(ResizeFlags, ResizeFlag)

    struct StandardButtonProperty
    {
        ButtonRole role;
        QString text;
    };

    using Guardian = std::function<bool(QAbstractButton *)>;
    using ButtonPlacer = std::function<void(QWidget *, const QList<QAbstractButton *> &)>;

    explicit YFrameDialog(QWidget *parent = nullptr);
    YFrameDialog(const QString &title, QWidget *centralWidget, QWidget *parent, StandardButtons buttons,
                 StandardButton defaultButton, ResizeFlags flags, bool maxEnable, const RECT &margins);
    ~YFrameDialog() override;

    int exec(QWidget *parent = nullptr, bool noShadow = false);
    void show();
    void showFullScreen();

    QAbstractButton *button(StandardButton which);
    QList<QAbstractButton *> buttons(StandardButtons which);
    QList<QAbstractButton *> addButtons(StandardButtons which);
    QAbstractButton *addButton(StandardButton which);
    QAbstractButton *addButton(QAbstractButton *button, ButtonRole role);
    void updateButtonMask(StandardButtons mask);
    void setDefaultButton(StandardButton which);
    void setDefaultButton(QAbstractButton *button);
    void setGuardian(Guardian fn);
    void setStandardGuardian(std::function<bool(StandardButton)> fn);
    void setButtonPlacer(ButtonPlacer fn);

    void setCentralWidget(QWidget *widget, bool resizeToFit);
    void setMargin(int left, int top, int right, int bottom);
    void setFrameMargin(int left, int top, int right, int bottom);
    void setShadowWidth(int width);
    void setResizeFlags(ResizeFlags flags);
    void setHeaderVisible(bool visible);
    void setTitleStyle(const QString &styleSheet);
    void setMaxEnable();
    bool isMaximized() const;
    void setNeverNotifyVisible();
    bool getNeverNotifyResult() const;
    void setNormalGeomerty(const QRect &geometry);
    QRect normalGeometry() const;

    static ButtonRole buttonRole(const QAbstractButton *button);
    static StandardButton standardButton(const QAbstractButton *button);
    static StandardButtonProperty buttonProperty(StandardButton which);
    static const QMap<StandardButton, StandardButtonProperty> &buttonPropertyMap();

    static int getInputValue(QWidget *parent, const QString &title, const QString &label, QWidget *input,
                             const std::function<bool(QWidget *)> &checker);
    static QString getText(QWidget *parent, const QString &title, const QString &label, const QString &text,
                           const std::function<bool(const QString &)> &checker, QValidator *validator);

    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

public slots:
    void accept();
    void reject();
    void done(int result);

protected:
    void initStateMachine();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

protected slots:
    void slot_button_clicked();
    void on_max_toggled(bool checked);
    void on_windowTitleChanged(const QString &title);

private:
    QDialog *wrapper() const;
    int resultOf(int result);
    int refineResult(int result);
    void placeButtons();
    void resizeToContent(bool countButtonRow);
    void paintStandardButton(QPainter &painter, QAbstractButton *button, int state);
    void paintShadow(QDialog *wrapper);
    void noteNonClientActivation(bool active);
    void defaultPlacer(QWidget *row, const QList<QAbstractButton *> &list);

    // Mouse adapter.
    StatePtr buildRoot();
    StatePtr buildNormal();
    StatePtr buildBorder(const EventPtr &event);
    StatePtr buildHeader();
    void postZone(const QPoint &pos);
    void postNone();
    void setZoneCursor(int zone);
    QWidget *moveTarget() const;
    int targetMargin() const;
    void resizeByDrag(int zone, const QPoint &global);
    void moveByDrag(const StatePtr &header, const QPoint &global);

    std::unique_ptr<YFrameDialogForm> ui;
    QAbstractButton *defaultButton = nullptr;
    QList<QAbstractButton *> buttonList;
    Guardian guardian;
    ButtonPlacer buttonPlacer;
    QMap<StandardButton, QAbstractButton *> standardButtons;
    ResizeFlags resizeFlags = ResizeFlags(ResizeRight | ResizeBottom);
    bool ncActive = true;
    QWidget *centralWidget = nullptr;
    bool resizeToFit = false;
    int shadowWidth = 18;
    QRect savedNormalGeometry;
    StateTarget root, normal, border, header;
    bool pressed = false;
    bool dragging = false;
    QPoint pressedAt;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(YFrameDialog::StandardButtons)
Q_DECLARE_OPERATORS_FOR_FLAGS(YFrameDialog::ResizeFlags)
