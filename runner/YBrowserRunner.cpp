#include "YBrowserRunner.h"

#include "ui_YBrowserRunner.h"

#include "BorderAdjustFilter.h"
#include "LoadSnapshot.h"
#include "LogWriter.h"
#include "PageDialogs.h"
#include "PageSizeRule.h"
#include "TabWidget.h"
#include "UrlLineEdit.h"
#include "WebView.h"
#include "YToolButtonPainters.h"

#include <QApplication>
#include <QCompleter>
#include <QEvent>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QRegExpValidator>
#include <QScreen>

namespace {

const char completerStyle[] =
    "QListView { color: #eeeeee; outline: 0px; border: 1px solid darkgray;"
    " background-color: rgb(80,80,83); selection-background-color: rgb(55,143,252); }";

const QPoint parkedPosition(-99999, -99999);
const QSize largestWindow(FrameLayout::MaxWidth, FrameLayout::MaxHeight);

} // namespace

YBrowserRunner::YBrowserRunner(const BrowserParams& params, QWidget* parent)
    : HostedRunner(parent)
    , ui(new Ui::YBrowserRunnerClass)
    , frameMemory(params.sharedMemoryKey)
{
    ui->setupUi(this);
    ui->defaultMode->hide();
    ui->defaultMode->setCurrentIndex(tabWidget()->engineMode() - 1);
    setWindowFlags(Qt::Tool | Qt::BypassWindowManagerHint | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint);
    updateParams(params);
    initFrameMemory();
    wireWidgets();
}

YBrowserRunner::~YBrowserRunner()
{
    // The tabs go after this object is gone; they must not report to it.
    tabWidget()->blockSignals(true);
}

TabWidget* YBrowserRunner::tabWidget() const
{
    return ui->tabWidget;
}

WebView* YBrowserRunner::currentView() const
{
    return tabWidget()->currentView();
}

void YBrowserRunner::updateParams(const BrowserParams& p)
{
    // The views a record replaces go with their tabs: kept, every record
    // would leave its pages and their render processes running for good.
    QList<QWidget*> replaced;
    for (int i = 0; i < tabWidget()->count(); ++i)
        replaced << tabWidget()->widget(i);
    for (QWidget* view : replaced)
        PageDialogs::closeWithin(view);
    tabWidget()->clear();
    for (QWidget* view : replaced)
        PageDialogs::deleteWhenIdle(view);
    const QSize windowSize = windowSizeFor(p);
    tabWidget()->setPageSize(frameMemory.boundedSize(p.pageSize));
    resize(windowSize);
    if (!ui->comboBox->validator())
        ui->comboBox->setValidator(new QRegExpValidator(QRegExp(PageSizeRule::pattern()), ui->comboBox));
    ui->comboBox->setCurrentText(PageSizeRule::textFor(pageSize()));
    ui->max->setChecked(p.maximized);
    for (const QString& url : p.urls) {
        if (WebView* view = tabWidget()->createTab())
            view->setUrl(url);
    }
    tabWidget()->setCurrentIndex(p.urls.indexOf(p.currentUrl));
    showSetting(!p.hidden);
}

QSize YBrowserRunner::windowSizeFor(const BrowserParams& p) const
{
    QSize size = p.windowRect.size();
    if (p.maximized) {
        if (QScreen* screen = QGuiApplication::screenAt(QPoint(1, 1)))
            size = screen->geometry().size();
    }
    return size.boundedTo(largestWindow).expandedTo(QSize(1, 1));
}

BrowserParams YBrowserRunner::params() const
{
    BrowserParams p;
    p.maximized = ui->max->isChecked();
    p.windowRect = rect();
    p.pageSize = pageSize();
    p.hidden = true;
    p.currentUrl = tabWidget()->currentUrl();
    p.urls = tabWidget()->urls();
    return p;
}

void YBrowserRunner::setUrl(const QUrl& url)
{
    if (WebView* view = currentView())
        view->setUrl(url.toString());
}

QUrl YBrowserRunner::url() const
{
    if (WebView* view = currentView())
        return QUrl(view->url());
    return QUrl();
}

QString YBrowserRunner::title() const
{
    if (WebView* view = currentView())
        return view->title();
    return QString();
}

QSize YBrowserRunner::pageSize() const
{
    return tabWidget()->pageSize();
}

void YBrowserRunner::showSetting(bool on)
{
    // Parked, nobody sees the window: its widgets need not be painted for
    // every frame the engine shows. The frames read the engine view itself.
    setUpdatesEnabled(on);
    if (!on) {
        move(parkedPosition);
        PageDialogs::placeOver(this);
        log("hide");
        return;
    }
    if (ui->max->isChecked()) {
        move(0, 0);
        showMaximized();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
    // A question the page asked while parked comes along, so the user can answer it.
    PageDialogs::placeOver(this);
    log("show");
}

bool YBrowserRunner::isMute() const
{
    if (WebView* view = currentView())
        return view->isMuted();
    return true;
}

void YBrowserRunner::setMute(bool muted)
{
    if (WebView* view = currentView())
        view->setMuted(muted);
}

void YBrowserRunner::wholeImage()
{
    startWholeFrame();
}

void YBrowserRunner::initFrameMemory()
{
    if (!frameMemory.attach())
        return;
    // A segment the host made smaller than ours holds smaller frames.
    const QSize bounded = frameMemory.boundedSize(pageSize());
    if (bounded != pageSize()) {
        tabWidget()->setPageSize(bounded);
        ui->comboBox->setCurrentText(PageSizeRule::textFor(bounded));
    }
    tabWidget()->setFrameBuffer(frameMemory.bufferA());
    frameMemory.finishSetUp(tabWidget()->engineMode() == WebView::VipMiniEngine);
}

FrameHeader* YBrowserRunner::nextFrameBuffer()
{
    return frameMemory.nextFrameBuffer(pageSize(), tabWidget()->engineMode() == WebView::VipMiniEngine);
}

void YBrowserRunner::startWholeFrame()
{
    tabWidget()->setFrameBuffer(nextFrameBuffer());
}

void YBrowserRunner::wireWidgets()
{
    TabWidget* tabs = tabWidget();
    ui->urlEdit->setTabWidget(tabs);
    shownView = tabs->currentView();
    loadSnapshot = new LoadSnapshot(tabs, this);
    connect(loadSnapshot, &LoadSnapshot::taken, this, &YBrowserRunner::loadFinished);
    connect(tabs, &TabWidget::currentViewChanged, this, &YBrowserRunner::handleCurrentViewChanged);
    connect(tabs, &TabWidget::urlChanged, this, &YBrowserRunner::vebViewChanged);
    connect(tabs, &TabWidget::loadFinished, this, &YBrowserRunner::handleLoadFinished);
    connect(tabs, &TabWidget::favIconChanged, this, &YBrowserRunner::iconChanged);
    connect(ui->urlEdit->lineEdit(), &QLineEdit::returnPressed, this, &YBrowserRunner::lineEditReturnPressed);
    connect(ui->back, &QPushButton::clicked, tabs, &TabWidget::back);
    YUILIB::setImageStrip(ui->back, QStringLiteral(":/YBrowserRunner/Resources/btn_houtui_dis_nor_hot_pre.png"));
    connect(ui->forward, &QPushButton::clicked, tabs, &TabWidget::forward);
    YUILIB::setImageStrip(ui->forward, QStringLiteral(":/YBrowserRunner/Resources/btn_qianjin_dis_nor_hot_pre.png"));
    connect(ui->reload, &QPushButton::clicked, tabs, &TabWidget::reload);
    YUILIB::setImageStrip(ui->reload, QStringLiteral(":/YBrowserRunner/Resources/btn_shuaxin2_dis_nor_hot_pre.png"));
    connect(ui->max, &QPushButton::toggled, this, &YBrowserRunner::handleMaxToggled);
    YUILIB::setCheckImageStrips(ui->max, QStringLiteral(":/YBrowserRunner/Resources/btn_zuidahua_dis_nor_hot_pre.png"),
                                QStringLiteral(":/YBrowserRunner/Resources/btn_huanyuan_dis_nor_hot_pre.png"));
    connect(ui->ok, &QPushButton::clicked, this, [this] {
        loadSnapshot->flush();
        emit settingDone();
    });
    YUILIB::setImageStrip(ui->ok, QStringLiteral(":/YBrowserRunner/Resources/btn_close_dis_nor_hot_pre.png"));
    installEventFilter(this);
    auto* borderFilter = new BorderAdjustFilter(this, ui->widget);
    borderFilter->setMaxSize(largestWindow);
    connect(ui->comboBox, &QComboBox::currentTextChanged, this, &YBrowserRunner::handlePageSizeText);
    connect(ui->defaultMode, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &YBrowserRunner::handleEngineChanged);
    connect(tabs, &TabWidget::viewUpdate, this, &YBrowserRunner::handleViewUpdate);
    connect(tabs, &TabWidget::totalUpdate, this, &YBrowserRunner::handleTotalUpdate);
    connect(tabs, &TabWidget::currentViewChanged, this, [this] { startWholeFrame(); });
}

void YBrowserRunner::handleCurrentViewChanged(WebView* view)
{
    if (shownView)
        shownView->setMuted(true);
    shownView = view;
    startWholeFrame();
    if (view)
        view->setMuted(false);
}

void YBrowserRunner::handleLoadFinished(bool ok)
{
    loadSnapshot->request(ok);
}

void YBrowserRunner::handleMaxToggled(bool checked)
{
    if (checked)
        showMaximized();
    else
        showNormal();
}

void YBrowserRunner::handlePageSizeText(const QString& text)
{
    const PageSizeRule rule(text);
    if (rule.verdict() == PageSizeRule::TooLarge) {
        QMessageBox::information(QApplication::activeWindow(), tr("提示"),
                                 tr("网站分辨率不能大于%1X%2!").arg(FrameLayout::MaxWidth).arg(FrameLayout::MaxHeight),
                                 QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    if (rule.verdict() != PageSizeRule::Accepted)
        return;
    tabWidget()->setPageSize(frameMemory.boundedSize(rule.size()));
    startWholeFrame();
}

void YBrowserRunner::handleEngineChanged(int index)
{
    const int mode = index + 1;
    if (!WebView::isRegistered(mode)) {
        log("No engine for mode, the tab keeps its engine :", QString::number(mode));
        const QSignalBlocker blocker(ui->defaultMode);
        ui->defaultMode->setCurrentIndex(tabWidget()->engineMode() - 1);
        return;
    }
    tabWidget()->setEngineMode(mode);
    const QString url = tabWidget()->currentUrl();
    tabWidget()->closeCurrentTab();
    tabWidget()->createTab();
    tabWidget()->setUrl(QUrl(url));
}

void YBrowserRunner::handleViewUpdate(int x, int y, const QImage& image)
{
    frameMemory.writeUpdate(nextFrameBuffer(), QPoint(x, y), image);
}

void YBrowserRunner::handleTotalUpdate()
{
    FrameHeader* header = nextFrameBuffer();
    if (!header)
        return;
    frameMemory.lock();
    tabWidget()->setFrameBuffer(header);
    frameMemory.unlock();
}

void YBrowserRunner::lineEditReturnPressed()
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    WebView* view = currentView();
    if (edit && view)
        view->setUrl(QUrl::fromUserInput(edit->text()).toString());
}

void YBrowserRunner::vebViewChanged(const QUrl& url)
{
    if (!url.isValid() || urlHistory.contains(url.toString()))
        return;
    urlHistory.append(url.toString());
    auto* completer = new QCompleter(urlHistory, this);
    completer->setFilterMode(Qt::MatchContains);
    if (auto* popup = qobject_cast<QListView*>(completer->popup())) {
        popup->setUniformItemSizes(true);
        popup->setStyleSheet(QString::fromLatin1(completerStyle));
    }
    ui->urlEdit->lineEdit()->setCompleter(completer);
}

bool YBrowserRunner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::WindowStateChange)
        ui->max->setChecked(isMaximized());
    return HostedRunner::eventFilter(watched, event);
}
