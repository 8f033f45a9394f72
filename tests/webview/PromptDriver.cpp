#include "PromptDriver.h"

#include "YTipDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

PromptDriver::PromptDriver(Answer answer, QObject* parent)
    : QObject(parent)
    , answer(std::move(answer))
{
    connect(&timer, &QTimer::timeout, this, &PromptDriver::poll);
    timer.start(20);
}

PromptDriver::Answer PromptDriver::click(YFrameDialog::StandardButton button)
{
    return [button](YFrameDialog* dialog) { QTest::mouseClick(dialog->button(button), Qt::LeftButton); };
}

PromptDriver::Answer PromptDriver::closeByTitleBar()
{
    return [](YFrameDialog* dialog) {
        QTest::mouseClick(dialog->findChild<QAbstractButton*>("close"), Qt::LeftButton);
    };
}

PromptDriver::Answer PromptDriver::fillAndClick(const QString& user, const QString& password,
                                                YFrameDialog::StandardButton button)
{
    return [=](YFrameDialog* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>("m_userNameLineEdit"), user);
        QTest::keyClicks(dialog->findChild<QLineEdit*>("m_passwordLineEdit"), password);
        click(button)(dialog);
    };
}

void PromptDriver::poll()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = window->findChild<YFrameDialog*>();
        if (!dialog || !dialog->isVisible() || handled.contains(dialog))
            continue;
        handled.append(dialog);
        titles.append(dialog->windowTitle());
        if (auto* tip = qobject_cast<YTipDlg*>(dialog))
            texts.append(tip->text());
        else if (auto* info = dialog->findChild<QLabel*>("m_infoLabel"))
            texts.append(info->text());
        answer(dialog);
        return;
    }
}
