#pragma once

#include <QWebEnginePage>

class QAuthenticator;
class QWebEngineClientCertificateSelection;
class QWebEngineRegisterProtocolHandlerRequest;

// The page of every Qt view: asks the user for credentials and protocol
// handlers, decides every other request itself.
class WebPage : public QWebEnginePage
{
    Q_OBJECT

public:
    WebPage(QWebEngineProfile* profile, QObject* parent);

    // The navigation asked for next leaves without the page's own leave question.
    void leaveWithoutAsking() { leavingWithoutAsking = true; }

protected:
    bool certificateError(const QWebEngineCertificateError& error) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;

private slots:
    void handleAuthenticationRequired(const QUrl& requestUrl, QAuthenticator* auth);
    void handleFeaturePermissionRequested(const QUrl& securityOrigin, QWebEnginePage::Feature feature);
    void handleProxyAuthenticationRequired(const QUrl& requestUrl, QAuthenticator* auth, const QString& proxyHost);

private:
    void askForCredentials(const QString& title, const QString& intro, QAuthenticator* auth, const QString& kind);
    void handleRegisterProtocolHandlerRequested(QWebEngineRegisterProtocolHandlerRequest request);
    void handleSelectClientCertificate(QWebEngineClientCertificateSelection selection);

    bool leavingWithoutAsking = false;
};
