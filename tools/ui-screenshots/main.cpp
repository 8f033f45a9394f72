#include "HookLists.h"
#include "UiLibSetup.h"
#include "YFrameDialog.h"
#include "YTipDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#ifdef YBR_SETTING_WINDOW_SHOT
#include "SettingWindowShot.h"
#endif

namespace {

// Grabs the modal wrapper over a light backdrop so the shadow shows, saves
// it and closes the dialog with its title-bar button.
void grabWhenShown(const QString &file)
{
    QTimer::singleShot(300, [file] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        box->activateWindow();
        QEventLoop wait;
        QTimer::singleShot(300, &wait, &QEventLoop::quit);
        wait.exec();
        const QImage dialog = box->grab().toImage();
        QImage shot(dialog.size() + QSize(40, 40), QImage::Format_RGB32);
        shot.fill(QColor("#d9dde3"));
        QPainter(&shot).drawImage(20, 20, dialog);
        shot.save(file);
        if (auto *close = box->findChild<QAbstractButton *>("close"))
            close->click();
    });
}

QWidget *credentialsForm()
{
    auto *form = new QWidget;
    form->resize(330, 70);
    auto *layout = new QFormLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setVerticalSpacing(10);
    auto *user = new QLineEdit(QStringLiteral("admin"));
    auto *password = new QLineEdit(QStringLiteral("secret"));
    password->setEchoMode(QLineEdit::Password);
    layout->addRow(QString::fromUtf8("用户名："), user);
    layout->addRow(QString::fromUtf8("密码："), password);
    return form;
}

} // namespace

int main(int argc, char *argv[])
{
    // Only pages of its own making are shown, so the sandbox (refused to root) may go.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    runHooks(startupHooks());
    YUILIB::initialise();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("docs"));
    QDir().mkpath(out.path());

    grabWhenShown(out.filePath("tip-dialog.png"));
    YTipDlg::question(nullptr, QString::fromUtf8("提示"),
                      QString::fromUtf8("网页请求使用您的麦克风，是否允许？\nThe page asks to use your microphone."),
                      YFrameDialog::Yes | YFrameDialog::No, YFrameDialog::Yes);

    RECT margins{20, 26, 20, 26};
    YFrameDialog dialog(QString::fromUtf8("需要身份验证"), credentialsForm(), nullptr,
                        YFrameDialog::Ok | YFrameDialog::Cancel, YFrameDialog::Ok,
                        YFrameDialog::ResizeRight | YFrameDialog::ResizeBottom, true, margins);
    dialog.setNeverNotifyVisible();
    grabWhenShown(out.filePath("frame-dialog.png"));
    dialog.exec(nullptr, false);

#ifdef YBR_SETTING_WINDOW_SHOT
    if (!grabSettingWindow(out.filePath("setting-tabs.png")))
        return 1;
#endif
    return 0;
}
