#include "YFrameDialog.h"

#include "NonClientActivation.h"
#include "UiLibSetup.h"
#include "YEventTriggerEventFilter.h"
#include "YFrameDialogForm.h"
#include "YToolButton.h"
#include "YToolButtonPainters.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char roleProperty[] = "_button_role_";
const char standardProperty[] = "_standard_button_";

struct TitleImages
{
    QImage close, maximise, restore, unchecked, checked;
};

const TitleImages &titleImages()
{
    static const TitleImages images = [] {
        YUILIB::initialise();
        const QString root = ":/YBrowserRunner/Resources/";
        return TitleImages{QImage(root + "btn_close_dis_nor_hot_pre.png"),
                           QImage(root + "btn_zuidahua_dis_nor_hot_pre.png"),
                           QImage(root + "btn_huanyuan_dis_nor_hot_pre.png"),
                           QImage(root + "btn_notcheck_dis_nor_hot_pre.png"),
                           QImage(root + "btn_check_dis_nor_hot_pre.png")};
    }();
    return images;
}

// Corner, after-corner, edge, before-corner; plain set then selected set.
const QVector<QImage> &shadowImages()
{
    static const QVector<QImage> images = [] {
        const QString root = ":/YBrowserRunner/Resources/";
        QVector<QImage> list;
        for (const char *name : {"icon_tanyuanjiao", "icon_tanyuanjiao2", "icon_tanzhi", "icon_tanyuanjiao3",
                                 "icon_seltanyuanjiao", "icon_seltanyuanjiao2", "icon_seltanzhi",
                                 "icon_seltanyuanjiao3"})
            list << QImage(root + name + ".png");
        return list;
    }();
    return images;
}

QString loadStyleSheet()
{
    QFile file(":/YBrowserRunner/Resources/CorvaneDialog.qss");
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

YFrameDialog::YFrameDialog(QWidget *parent) : QWidget(parent), ui(new YFrameDialogForm)
{
    YUILIB::initialise();
    ui->setupUi(this);
    ui->centralFrame->setLayout(new QHBoxLayout);
    ui->centralFrame->layout()->setContentsMargins(20, 26, 20, 26);
    setStyleSheet(loadStyleSheet());

    const TitleImages &images = titleImages();
    ui->close->setFocusPolicy(Qt::NoFocus);
    ui->close->setAutoDefault(false);
    ui->close->setProperty(roleProperty, int(RejectRole));
    ui->close->setProperty(standardProperty, 0);
    YUILIB::setImageStrip(ui->close, images.close);
    connect(ui->close, &QAbstractButton::clicked, this, &YFrameDialog::slot_button_clicked);

    ui->max->setFocusPolicy(Qt::NoFocus);
    ui->max->setAutoDefault(false);
    YUILIB::setCheckImageStrips(ui->max, images.maximise, images.restore);
    ui->max->hide();
    connect(ui->max, &QAbstractButton::toggled, this, &YFrameDialog::on_max_toggled);
    YUILIB::setImageCheckBox(ui->neverNotify, images.unchecked, images.checked);

    connect(this, &QWidget::windowTitleChanged, this, &YFrameDialog::on_windowTitleChanged);
    setMouseTracking(true);
    ui->header->setMouseTracking(true);
    // Moves over a child without tracking are dropped before they could
    // propagate, which would leave the title text a dead spot for the adapter.
    ui->label->setMouseTracking(true);
    ui->centralFrame->setMouseTracking(true);
    ui->centralFrame->installEventFilter(this);
    ui->buttonGroup->installEventFilter(this);
    buttonPlacer = [this](QWidget *row, const QList<QAbstractButton *> &list) { defaultPlacer(row, list); };
    initStateMachine();
    qApp->installNativeEventFilter(this);
}

YFrameDialog::YFrameDialog(const QString &title, QWidget *centralWidget, QWidget *parent, StandardButtons buttons,
                           StandardButton defaultButton, ResizeFlags flags, bool maxEnable, const RECT &margins)
    : YFrameDialog(parent)
{
    addButtons(buttons);
    setDefaultButton(defaultButton);
    setWindowTitle(title);
    setResizeFlags(flags);
    setMargin(margins.left, margins.top, margins.right, margins.bottom);
    setCentralWidget(centralWidget, true);
    if (maxEnable)
        setMaxEnable();
}

YFrameDialog::~YFrameDialog()
{
    qApp->removeNativeEventFilter(this);
}

QDialog *YFrameDialog::wrapper() const
{
    return qobject_cast<QDialog *>(parentWidget());
}

int YFrameDialog::exec(QWidget *parent, bool noShadow)
{
    QWidget *const previousParent = parentWidget();
    if (noShadow)
        shadowWidth = 0;
    const int s = shadowWidth;
    const QSize size = this->size() + QSize(2 * s, 2 * s);

    QDialog *box = new QDialog(parent ? parent : previousParent, Qt::Dialog | Qt::FramelessWindowHint);
    box->setWindowTitle(windowTitle());
    if (!noShadow) {
        box->setAttribute(Qt::WA_TranslucentBackground);
        box->installEventFilter(this);
    }
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(s, s, s, s);
    setParent(box, Qt::Widget);
    layout->addWidget(this);
    QWidget::setVisible(true);
    box->resize(size);

    placeButtons();
    connect(box, &QDialog::finished, this, [this, box](int r) { box->setResult(refineResult(r)); });
    const int result = box->exec();

    box->removeEventFilter(this);
    layout->removeWidget(this);
    setParent(previousParent, Qt::Widget);
    hide();
    delete box;
    return result;
}

void YFrameDialog::show()
{
    setWindowFlags(Qt::FramelessWindowHint);
    placeButtons();
    QWidget::show();
}

void YFrameDialog::showFullScreen()
{
    if (QDialog *box = wrapper()) {
        box->layout()->setContentsMargins(0, 0, 0, 0);
        box->showFullScreen();
    }
}

void YFrameDialog::placeButtons()
{
    std::stable_sort(buttonList.begin(), buttonList.end(), [](QAbstractButton *a, QAbstractButton *b) {
        if (buttonRole(a) != buttonRole(b))
            return buttonRole(a) < buttonRole(b);
        return uint(standardButton(a)) < uint(standardButton(b));
    });
    if (ui->buttonGroup->isVisibleTo(this) && buttonPlacer)
        buttonPlacer(ui->buttonGroup, buttonList);
}

void YFrameDialog::defaultPlacer(QWidget *row, const QList<QAbstractButton *> &list)
{
    if (list.isEmpty()) {
        row->hide();
        return;
    }
    delete row->layout();
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 15);
    layout->setSpacing(24);
    layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    for (QAbstractButton *b : list)
        layout->addWidget(b);
    layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
}

int YFrameDialog::resultOf(int result)
{
    if (result != 0 || buttonList.isEmpty())
        return result;
    if (buttonList.size() == 1)
        return standardButton(buttonList.first());
    if (buttonList.contains(button(Cancel)))
        return Cancel;
    for (QAbstractButton *b : qAsConst(buttonList)) {
        if (buttonRole(b) == NoRole || buttonRole(b) == RejectRole)
            return standardButton(b);
    }
    return 0;
}

int YFrameDialog::refineResult(int result)
{
    const int fallback = resultOf(result);
    if (result != 0 || buttonList.isEmpty())
        return fallback;
    QList<QAbstractButton *> visible;
    for (QAbstractButton *b : qAsConst(buttonList)) {
        if (b->isVisibleTo(this))
            visible << b;
    }
    if (visible.size() == 1)
        return standardButton(visible.first());
    if (buttonList.contains(button(Cancel)))
        return Cancel;
    for (QAbstractButton *b : qAsConst(visible)) {
        if (buttonRole(b) == NoRole || buttonRole(b) == RejectRole)
            return standardButton(b);
    }
    return fallback;
}

QAbstractButton *YFrameDialog::button(StandardButton which)
{
    if (which == NoButton)
        return nullptr;
    if (QAbstractButton *existing = standardButtons.value(which))
        return existing;
    const StandardButtonProperty property = buttonProperty(which);
    auto *b = new YUILIB::YToolButton(ui->buttonGroup);
    b->hide();
    b->setText(property.text);
    b->setFixedSize(which == Yes || which == No ? QSize(48, 26) : QSize(60, 26));
    b->setProperty(roleProperty, int(property.role));
    b->setProperty(standardProperty, int(which));
    connect(b, &QAbstractButton::clicked, this, &YFrameDialog::slot_button_clicked);
    YUILIB::setPainter(b, [this, b](QPainter &painter, int state) { paintStandardButton(painter, b, state); });
    new YEventTriggerEventFilter(b, QEvent::FocusIn, [this, b](QEvent *) {
        QAbstractButton *previous = defaultButton;
        defaultButton = b;
        if (previous)
            previous->update();
    });
    standardButtons.insert(which, b);
    return b;
}

QList<QAbstractButton *> YFrameDialog::buttons(StandardButtons which)
{
    QList<QAbstractButton *> list;
    for (StandardButton key : buttonPropertyMap().keys()) {
        if (which.testFlag(key))
            list << button(key);
    }
    return list;
}

QList<QAbstractButton *> YFrameDialog::addButtons(StandardButtons which)
{
    const QList<QAbstractButton *> list = buttons(which);
    for (QAbstractButton *b : list) {
        b->setVisible(true);
        buttonList << b;
    }
    return list;
}

QAbstractButton *YFrameDialog::addButton(StandardButton which)
{
    QAbstractButton *b = button(which);
    if (b) {
        b->setVisible(true);
        buttonList << b;
    }
    return b;
}

QAbstractButton *YFrameDialog::addButton(QAbstractButton *b, ButtonRole role)
{
    if (!b)
        return nullptr;
    b->setProperty(roleProperty, int(role));
    b->setProperty(standardProperty, 0);
    buttonList << b;
    b->setStyleSheet("QPushButton:default { \t\tbackground:#2687FE; \t\tborder-radius:3px; \t\tborder:2px solid; "
                     "border-color: #73B2FE;}");
    connect(b, &QAbstractButton::clicked, this, &YFrameDialog::slot_button_clicked);
    return b;
}

void YFrameDialog::updateButtonMask(StandardButtons mask)
{
    for (QAbstractButton *b : qAsConst(buttonList))
        b->setVisible((uint(standardButton(b)) & uint(mask)) != 0);
}

void YFrameDialog::setDefaultButton(StandardButton which)
{
    setDefaultButton(button(which));
}

void YFrameDialog::setDefaultButton(QAbstractButton *b)
{
    if (!b && !buttonList.isEmpty()) {
        QList<QAbstractButton *> ordered = buttonList;
        std::stable_sort(ordered.begin(), ordered.end(), [](QAbstractButton *x, QAbstractButton *y) {
            return x->property("ROLE").toInt() < y->property("ROLE").toInt();
        });
        b = ordered.first();
    }
    if (auto *push = qobject_cast<QPushButton *>(b)) {
        push->setDefault(true);
        QAbstractButton *previous = defaultButton;
        defaultButton = push;
        if (previous)
            previous->update();
    }
}

void YFrameDialog::setGuardian(Guardian fn)
{
    guardian = std::move(fn);
}

void YFrameDialog::setStandardGuardian(std::function<bool(StandardButton)> fn)
{
    guardian = [this, fn](QAbstractButton *b) { return fn(StandardButton(resultOf(standardButton(b)))); };
}

void YFrameDialog::setButtonPlacer(ButtonPlacer fn)
{
    buttonPlacer = std::move(fn);
}

void YFrameDialog::setCentralWidget(QWidget *widget, bool fit)
{
    centralWidget = widget;
    resizeToFit = fit;
    if (fit)
        resizeToContent(!buttonList.isEmpty());
    if (widget)
        ui->centralFrame->layout()->addWidget(widget);
}

void YFrameDialog::setMargin(int left, int top, int right, int bottom)
{
    ui->centralFrame->layout()->setContentsMargins(left, top, right, bottom);
    if (resizeToFit)
        resizeToContent(true);
}

void YFrameDialog::resizeToContent(bool countButtonRow)
{
    if (!centralWidget)
        return;
    const QMargins outer = ui->verticalLayout->contentsMargins();
    const QMargins inner = ui->centralFrame->layout()->contentsMargins();
    const int width = centralWidget->width() + outer.left() + inner.left() + inner.right() + outer.right();
    const int height = centralWidget->height() + outer.top() + ui->header->height() + inner.top() + inner.bottom() +
                       (countButtonRow ? ui->buttonGroup->height() : 0) + outer.bottom();
    resize(width, height);
}

void YFrameDialog::setFrameMargin(int left, int top, int right, int bottom)
{
    ui->verticalLayout->setContentsMargins(left, top, right, bottom);
}

void YFrameDialog::setShadowWidth(int width)
{
    shadowWidth = width;
}

void YFrameDialog::setResizeFlags(ResizeFlags flags)
{
    resizeFlags = flags;
}

void YFrameDialog::setHeaderVisible(bool visible)
{
    ui->header->setVisible(visible);
}

void YFrameDialog::setTitleStyle(const QString &styleSheet)
{
    ui->label->setStyleSheet(styleSheet);
}

void YFrameDialog::setMaxEnable()
{
    ui->max->show();
}

bool YFrameDialog::isMaximized() const
{
    return ui->max->isChecked();
}

void YFrameDialog::setNeverNotifyVisible()
{
    ui->notifyFrame->show();
}

bool YFrameDialog::getNeverNotifyResult() const
{
    return ui->neverNotify->isChecked();
}

void YFrameDialog::setNormalGeomerty(const QRect &geometry)
{
    savedNormalGeometry = geometry;
}

QRect YFrameDialog::normalGeometry() const
{
    return savedNormalGeometry;
}

YFrameDialog::ButtonRole YFrameDialog::buttonRole(const QAbstractButton *b)
{
    return b ? ButtonRole(b->property(roleProperty).toInt()) : ButtonRole(0);
}

YFrameDialog::StandardButton YFrameDialog::standardButton(const QAbstractButton *b)
{
    return b ? StandardButton(b->property(standardProperty).toInt()) : NoButton;
}

YFrameDialog::StandardButtonProperty YFrameDialog::buttonProperty(StandardButton which)
{
    return buttonPropertyMap().value(which, StandardButtonProperty{ButtonRole(0), QString()});
}

const QMap<YFrameDialog::StandardButton, YFrameDialog::StandardButtonProperty> &YFrameDialog::buttonPropertyMap()
{
    static const QMap<StandardButton, StandardButtonProperty> map = {
        {Ok, {AcceptRole, tr("确认")}},        {Save, {AcceptRole, tr("保存")}},
        {Cancel, {RejectRole, tr("取消")}},    {Close, {RejectRole, tr("关闭")}},
        {Discard, {DestructiveRole, tr("放弃")}}, {Apply, {ApplyRole, tr("应用")}},
        {Reset, {ResetRole, tr("重置")}},      {Help, {HelpRole, tr("帮助")}},
        {SaveAll, {AcceptRole, tr("全部保存")}}, {Yes, {YesRole, tr("是")}},
        {YesToAll, {YesRole, tr("全是")}},     {No, {NoRole, tr("否")}},
        {NoToAll, {NoRole, tr("全否")}},       {Abort, {RejectRole, tr("退出")}},
        {Retry, {AcceptRole, tr("重试")}},     {Ignore, {AcceptRole, tr("忽略")}},
    };
    return map;
}

int YFrameDialog::getInputValue(QWidget *parent, const QString &title, const QString &label, QWidget *input,
                                const std::function<bool(QWidget *)> &checker)
{
    auto *container = new QWidget;
    container->resize(360, 40);
    auto *layout = new QHBoxLayout(container);
    layout->setSpacing(10);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addItem(new QSpacerItem(60, 30));
    layout->addWidget(new QLabel(label));
    layout->addWidget(input);
    layout->addItem(new QSpacerItem(60, 30));

    std::unique_ptr<YFrameDialog> dialog(new YFrameDialog(parent));
    dialog->addButtons(Ok | Cancel);
    dialog->setCentralWidget(container, true);
    dialog->setDefaultButton(Ok);
    dialog->setWindowTitle(title);
    dialog->setResizeFlags(ResizeFlags());
    if (checker) {
        dialog->setGuardian([checker, input](QAbstractButton *b) {
            return standardButton(b) == Ok && checker(input);
        });
    }
    const int result = dialog->exec(nullptr, false);
    layout->removeWidget(input);
    input->setParent(nullptr);
    return result;
}

QString YFrameDialog::getText(QWidget *parent, const QString &title, const QString &label, const QString &text,
                              const std::function<bool(const QString &)> &checker, QValidator *validator)
{
    QLineEdit edit(text);
    if (validator)
        edit.setValidator(validator);
    std::function<bool(QWidget *)> check;
    if (checker)
        check = [checker, &edit](QWidget *) { return checker(edit.text()); };
    const int result = getInputValue(parent, title, label, &edit, check);
    return result == Ok ? edit.text() : QString();
}

void YFrameDialog::accept()
{
    if (QDialog *box = wrapper())
        box->accept();
}

void YFrameDialog::reject()
{
    if (QDialog *box = wrapper())
        box->reject();
}

void YFrameDialog::done(int result)
{
    if (QDialog *box = wrapper())
        box->done(result);
}

void YFrameDialog::slot_button_clicked()
{
    auto *b = qobject_cast<QAbstractButton *>(sender());
    if (!b || (guardian && guardian(b)))
        return;
    if (QDialog *box = wrapper())
        box->done(standardButton(b));
    else
        close();
}

void YFrameDialog::on_max_toggled(bool checked)
{
    QDialog *box = wrapper();
    if (!box)
        return;
    if (checked) {
        ui->max->setToolTip(tr("还原"));
        box->layout()->setContentsMargins(0, 0, 0, 0);
        savedNormalGeometry = box->normalGeometry();
        box->showMaximized();
    } else {
        ui->max->setToolTip(tr("最大化"));
        const int s = shadowWidth;
        box->layout()->setContentsMargins(s, s, s, s);
        box->showNormal();
        box->setGeometry(savedNormalGeometry);
    }
}

void YFrameDialog::on_windowTitleChanged(const QString &title)
{
    ui->label->setText(title);
}

bool YFrameDialog::eventFilter(QObject *watched, QEvent *event)
{
    QDialog *box = wrapper();
    if (box && watched == box) {
        if (event->type() == QEvent::Paint)
            paintShadow(box);
        else if (event->type() == QEvent::Show && ui->max->isChecked()) {
            box->layout()->setContentsMargins(0, 0, 0, 0);
            box->showMaximized();
        } else if (event->type() == QEvent::ActivationChange && !box->isActiveWindow())
            noteNonClientActivation(false);
    } else if ((watched == ui->centralFrame || watched == ui->buttonGroup) && event->type() == QEvent::Leave) {
        postNone();
    }
    return QWidget::eventFilter(watched, event);
}

bool YFrameDialog::nativeEventFilter(const QByteArray &eventType, void *message, long *)
{
    bool active = false;
    if (decodeNonClientActivation(eventType, message, &active)) {
        QDialog *box = wrapper();
        if (box && box->isActiveWindow())
            noteNonClientActivation(active);
    }
    return false;
}

// Where the window system reports non-client deactivation before the
// application's own (as Windows does), the wrapper still counts as active at
// that moment; without such a message the wrapper's deactivation stands in.
void YFrameDialog::noteNonClientActivation(bool active)
{
    ncActive = active;
    if (QDialog *box = wrapper())
        box->update();
}

void YFrameDialog::paintEvent(QPaintEvent *)
{
    const QWidget *owner = isWindow() ? this : parentWidget();
    const bool active = owner && QApplication::activeWindow() == owner;
    QPainter painter(this);
    painter.fillRect(rect(), QColor(active ? "#3472c0" : "#54545a"));
}

void YFrameDialog::paintShadow(QDialog *box)
{
    const int s = shadowWidth;
    if (s <= 0)
        return;
    const bool selected = QApplication::activeWindow() == box && !ncActive;
    const QVector<QImage> &images = shadowImages();
    const int first = selected ? 4 : 0;
    QPainter painter(box);
    for (int side = 0; side < 4; ++side) {
        const int length = side % 2 == 0 ? box->width() : box->height();
        painter.drawImage(QRect(0, 0, s, s), images.at(first));
        painter.drawImage(QRect(s, 0, s, s), images.at(first + 1));
        if (length > 4 * s)
            painter.fillRect(QRect(2 * s, 0, length - 4 * s, s), QBrush(images.at(first + 2)));
        painter.drawImage(QRect(length - 2 * s, 0, s, s), images.at(first + 3));
        painter.translate(length, 0);
        painter.rotate(90);
    }
}

void YFrameDialog::paintStandardButton(QPainter &painter, QAbstractButton *b, int state)
{
    YUILIB::paintButtonBackground(painter, b->rect(), state, b == defaultButton);
    painter.setPen(Qt::white);
    YUILIB::paintButtonCaption(painter, b, state);
    if (state & YUILIB::YToolButton::Focus) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 255, 255, 182), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(b->rect()).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
        painter.restore();
    }
}
