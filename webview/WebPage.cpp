#include "WebPage.h"

#include "LogWriter.h"
#include "PageDialogs.h"
#include "YFrameDialog.h"
#include "YTipDlg.h"
#include "ui_PasswordWidget.h"

#include <QApplication>
#include <QAuthenticator>
#include <QInputDialog>
#include <QMessageBox>
#include <QStyle>
#include <QWebEngineCertificateError>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineRegisterProtocolHandlerRequest>

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
    connect(this, &QWebEnginePage::authenticationRequired, this, &WebPage::handleAuthenticationRequired);
    connect(this, &QWebEnginePage::featurePermissionRequested, this, &WebPage::handleFeaturePermissionRequested);
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this, &WebPage::handleProxyAuthenticationRequired);
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested,
            [this](QWebEngineRegisterProtocolHandlerRequest request) { handleRegisterProtocolHandlerRequested(request); });
    connect(this, &QWebEnginePage::selectClientCertificate,
            [this](QWebEngineClientCertificateSelection selection) { handleSelectClientCertificate(selection); });
    connect(this, &QWebEnginePage::loadStarted, this, [this] { leavingWithoutAsking = false; });
}

bool WebPage::certificateError(const QWebEngineCertificateError& error)
{
    return error.isOverridable();
}

// The engine's own dialogs, run where a host command can close them.
void WebPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    Q_UNUSED(securityOrigin);
    QMessageBox box(QMessageBox::Information, QStringLiteral("Javascript Alert - %1").arg(url().toString()),
                    msg.toHtmlEscaped(), QMessageBox::Ok, view());
    PageDialogs::exec(this, QStringLiteral("alert"), box);
}

bool WebPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    Q_UNUSED(securityOrigin);
    // The engine asks its leave question through here, in its own words (and
    // its own catalogue, so they are no text of ours to translate).
    static const char engineContext[] = "QWebEnginePage";
    static const char leaveQuestion[] = "Are you sure you want to leave this page? Changes that you made may not be saved.";
    if (leavingWithoutAsking && msg == QCoreApplication::translate(engineContext, leaveQuestion)) {
        log("Page dialog closed : ", QStringLiteral("leave page"));
        return true;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Javascript Confirm - %1").arg(url().toString()),
                    msg.toHtmlEscaped(), QMessageBox::Ok | QMessageBox::Cancel, view());
    return PageDialogs::exec(this, QStringLiteral("confirm"), box) == QMessageBox::Ok;
}

bool WebPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                               QString* result)
{
    Q_UNUSED(securityOrigin);
    QInputDialog dialog(view());
    dialog.setWindowTitle(QStringLiteral("Javascript Prompt - %1").arg(url().toString()));
    dialog.setLabelText(msg.toHtmlEscaped());
    dialog.setTextValue(defaultValue.toHtmlEscaped());
    const bool accepted = PageDialogs::exec(this, QStringLiteral("prompt"), dialog) == QDialog::Accepted;
    if (result)
        *result = accepted ? dialog.textValue() : QString();
    return accepted;
}

QStringList WebPage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles, const QStringList& acceptedMimeTypes)
{
    return PageDialogs::call(this, QStringLiteral("file chooser"), view(), [&] {
        return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
    });
}

void WebPage::handleAuthenticationRequired(const QUrl& requestUrl, QAuthenticator* auth)
{
    // The realm stays markup on purpose; the address is shown as text.
    const QString intro = tr("在%2输入%1的用户名和密码").arg(auth->realm()).arg(requestUrl.toString().toHtmlEscaped());
    askForCredentials(tr("要求身份验证"), intro, auth, QStringLiteral("credentials"));
}

void WebPage::handleFeaturePermissionRequested(const QUrl& securityOrigin, QWebEnginePage::Feature feature)
{
    setFeaturePermission(securityOrigin, feature, QWebEnginePage::PermissionGrantedByUser);
}

void WebPage::handleProxyAuthenticationRequired(const QUrl& requestUrl, QAuthenticator* auth, const QString& proxyHost)
{
    Q_UNUSED(requestUrl);
    const QString intro = tr("使用以下参数连接到代理\"%1\"：").arg(proxyHost.toHtmlEscaped());
    askForCredentials(tr("要求代理身份验证"), intro, auth, QStringLiteral("proxy credentials"));
}

void WebPage::askForCredentials(const QString& title, const QString& intro, QAuthenticator* auth, const QString& kind)
{
    QWidget* owner = view();
    QStyle* style = owner ? owner->style() : QApplication::style();
    auto* content = new QWidget;
    Ui::PasswordWidget form;
    form.setupUi(content);
    form.m_iconLabel->setText(QString());
    form.m_iconLabel->setPixmap(style->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, owner).pixmap(32, 32));
    form.m_infoLabel->setText(intro);
    form.m_infoLabel->setWordWrap(true);

    YFrameDialog dialog(title, content, owner, YFrameDialog::Ok | YFrameDialog::Cancel, YFrameDialog::Ok,
                        YFrameDialog::ResizeFlags(), false, RECT { 20, 26, 20, 10 });
    if (PageDialogs::exec(this, kind, dialog) == YFrameDialog::Ok) {
        auth->setUser(form.m_userNameLineEdit->text());
        auth->setPassword(form.m_passwordLineEdit->text());
    } else {
        // An empty authenticator cancels the request.
        *auth = QAuthenticator();
    }
}

void WebPage::handleRegisterProtocolHandlerRequested(QWebEngineRegisterProtocolHandlerRequest request)
{
    const QString text = tr("允许%1打开所有%2链接？").arg(request.origin().host(QUrl::FullyDecoded)).arg(request.scheme());
    YTipDlg dialog(YTipDlg::Question, tr("许可请求"), text, YFrameDialog::Yes | YFrameDialog::No, view());
    dialog.setDefaultButton(YFrameDialog::NoButton);
    if (PageDialogs::exec(this, QStringLiteral("protocol handler"), dialog) == YFrameDialog::Yes)
        request.accept();
    else
        request.reject();
}

void WebPage::handleSelectClientCertificate(QWebEngineClientCertificateSelection selection)
{
    // An empty list leaves the request without a certificate.
    const QVector<QSslCertificate> certificates = selection.certificates();
    if (!certificates.isEmpty())
        selection.select(certificates.first());
}
