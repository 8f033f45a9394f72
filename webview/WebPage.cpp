#include "WebPage.h"

#include <QAuthenticator>
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
}

bool WebPage::certificateError(const QWebEngineCertificateError& error)
{
    return error.isOverridable();
}

void WebPage::handleAuthenticationRequired(const QUrl& requestUrl, QAuthenticator* auth)
{
    Q_UNUSED(requestUrl);
    *auth = QAuthenticator();
}

void WebPage::handleFeaturePermissionRequested(const QUrl& securityOrigin, QWebEnginePage::Feature feature)
{
    setFeaturePermission(securityOrigin, feature, QWebEnginePage::PermissionGrantedByUser);
}

void WebPage::handleProxyAuthenticationRequired(const QUrl& requestUrl, QAuthenticator* auth, const QString& proxyHost)
{
    Q_UNUSED(requestUrl);
    Q_UNUSED(proxyHost);
    *auth = QAuthenticator();
}

void WebPage::handleRegisterProtocolHandlerRequested(QWebEngineRegisterProtocolHandlerRequest request)
{
    request.reject();
}

void WebPage::handleSelectClientCertificate(QWebEngineClientCertificateSelection selection)
{
    // An empty list leaves the request without a certificate.
    const QVector<QSslCertificate> certificates = selection.certificates();
    if (!certificates.isEmpty())
        selection.select(certificates.first());
}
