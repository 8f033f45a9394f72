#pragma once

#include "YFrameDialog.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Waits in the event loop for frame dialogs to show, records what each one
// says and answers it the way a user would: by clicking.
class PromptDriver : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(YFrameDialog*)>;

    explicit PromptDriver(Answer answer, QObject* parent = nullptr);

    static Answer click(YFrameDialog::StandardButton button);
    static Answer closeByTitleBar();
    static Answer fillAndClick(const QString& user, const QString& password, YFrameDialog::StandardButton button);

    QStringList titles;
    QStringList texts; // the tip text, or the credentials form's intro

private:
    void poll();

    Answer answer;
    QTimer timer;
    QList<QPointer<YFrameDialog>> handled;
};
